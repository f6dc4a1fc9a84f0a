#include "rtfproc.h"

#include "rtftemplatecache.h"
#include "singlebytecharset.h"

#include "globals.h"
#include "proccommand.h"
#include "stagedfile.h"
#include "status.h"

#include <QFile>
#include <QTextCodec>
#include <QTextStream>
#include <QVector>

namespace {

// Paragraph and row marks; the look-ahead keeps \pard, \rowd and the like out.
const QLatin1String patPar("\\\\par(?=[\\s\\{\\}\\\\])");
const QLatin1String patRow("\\\\row(?=[\\s\\{\\}\\\\])");
const QLatin1String patParRow("(\\\\par|\\\\row)(?=[\\s\\{\\}\\\\])");
// End of a cell; \cellx (a cell boundary in the row definition) does not match.
const QLatin1String patCell("\\\\cell(?=[\\s\\{\\}\\\\])");
// An ignorable destination such as a bookmark start, up to its first closing
// brace (matched minimally).
const QLatin1String patRtfSkipBlock("\\{\\\\\\*\\\\[a-z]+.*\\}");
// A control word with an optional unsigned number.
const QLatin1String patRtfCommand("\\\\[a-z]+[0-9]*");

const QLatin1String rowMark("\\row");

QRegExp makeRegExp(const QString& pattern, Qt::CaseSensitivity cs = Qt::CaseSensitive,
                   bool minimal = false)
{
    QRegExp rx(pattern, cs, QRegExp::RegExp);
    rx.setMinimal(minimal);
    return rx;
}

// A string with the given brace parity: what stands in for a dropped or
// replaced piece of template so that the groups around it stay balanced.
QString bracesFor(int parity)
{
    return parity > 0 ? QString(parity, QLatin1Char('{')) : QString(-parity, QLatin1Char('}'));
}

// Closes (or reopens) what a cut-out fragment leaves open, so that it can be
// written any number of times.
void balance(QString& fragment)
{
    fragment += bracesFor(-braceParity(fragment));
}

// The first unescaped brace at or after from, or -1.
int nextBrace(const QString& text, int from)
{
    const QChar* data = text.constData();
    for (int i = from; i < text.size(); ++i) {
        const ushort c = data[i].unicode();
        if (c == '\\')
            ++i;
        else if (c == '{' || c == '}')
            return i;
    }
    return -1;
}

// The RTF escape of one UTF-16 code unit: \uN with N signed, then the one
// fallback character that readers without Unicode support show instead.
void appendUnicodeEscape(QString& out, QChar unit, QChar fallback)
{
    out += QLatin1String("\\u");
    out += QString::number(static_cast<qint16>(unit.unicode()));
    out += fallback;
}

// The Windows code page a codec writes ("windows-1251" gives 1251), 0 for others.
int windowsCodePage(const QTextCodec* codec)
{
    const QByteArray name = codec->name().toLower();
    return name.startsWith("windows-") ? name.mid(8).toInt() : 0;
}

// Whether the template's header declares the given code page (\ansicpgN).
// The header's control words come before its first group.
bool declaresCodePage(const QString& text, int codePage)
{
    if (codePage == 0)
        return false;
    const int firstGroup = text.indexOf(QLatin1Char('{'), 1);
    const QRegExp ansiCodePage(QStringLiteral("\\\\ansicpg(\\d+)"));
    const int found = ansiCodePage.indexIn(text.left(firstGroup < 0 ? text.size() : firstGroup));
    return found >= 0 && ansiCodePage.cap(1).toInt() == codePage;
}

bool isAsciiLetter(ushort c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(ushort c)
{
    return c >= '0' && c <= '9';
}

// True when the text ends in a control word (with or without its number)
// that has no delimiter yet, so that text written next could become part of it.
bool endsInOpenControlWord(const QStringRef& text)
{
    int i = text.size();
    while (i > 0 && isAsciiDigit(text.at(i - 1).unicode()))
        --i;
    if (i < text.size() && i > 0 && text.at(i - 1) == QLatin1Char('-'))
        --i;
    const int lettersEnd = i;
    while (i > 0 && isAsciiLetter(text.at(i - 1).unicode()))
        --i;
    if (i == lettersEnd || i == 0 || text.at(i - 1) != QLatin1Char('\\'))
        return false;
    // An even run of backslashes is escaped backslashes followed by letters.
    int backslashes = 0;
    for (int k = i - 1; k >= 0 && text.at(k) == QLatin1Char('\\'); --k)
        ++backslashes;
    return backslashes % 2 == 1;
}

// Whether a character written right after an open control word would be read
// as part of it (a space would be taken as its delimiter and vanish).
bool continuesControlWord(QChar c)
{
    const ushort u = c.unicode();
    return isAsciiLetter(u) || isAsciiDigit(u) || u == '-' || u == ' ';
}

bool needsDelimiter(const QStringRef& before, const QStringRef& next)
{
    return !next.isEmpty() && continuesControlWord(next.at(0)) && endsInOpenControlWord(before);
}

} // namespace

// Writes the pieces of the result to the text stream. Where two pieces meet
// that were not neighbours in the template (a cut, a query result, a copy of
// a repeated block), a control word at the end of the first could swallow the
// start of the second; a delimiting space is put between them then.
class RtfWriter
{
public:
    explicit RtfWriter(QTextStream& stream) : stream(stream) {}

    RtfWriter& operator<<(const QStringRef& piece)
    {
        if (piece.isEmpty())
            return *this;
        if (needsDelimiter(QStringRef(&tail), piece))
            stream << QLatin1Char(' ');
        stream << piece;
        // Enough to see a whole control word with its number.
        const int keep = 64;
        if (piece.size() >= keep)
            tail = piece.right(keep).toString();
        else
            tail = (tail + piece).right(keep);
        return *this;
    }
    RtfWriter& operator<<(const QString& piece) { return *this << QStringRef(&piece); }

private:
    QTextStream& stream;
    QString tail;
};

int braceParity(const QString& text)
{
    return braceParity(text, 0, text.size());
}

int braceParity(const QString& text, int start, int end)
{
    start = qMax(start, 0);
    end = qMin(end, text.size());
    const QChar* data = text.constData();
    int parity = 0;
    for (int i = start; i < end; ++i) {
        const ushort c = data[i].unicode();
        if (c == '\\')
            ++i; // \{, \} and \\ are characters, not group marks
        else if (c == '{')
            ++parity;
        else if (c == '}')
            --parity;
    }
    return parity;
}

void moveToRealEnd(const QString& text, int& position)
{
    position += 4;
    if (position >= text.size()) {
        position = qMin(position, text.size());
        return;
    }
    // A group closing that follows the mark belongs to its paragraph or row,
    // unless another paragraph, section or page break comes before it.
    const int brace = nextBrace(text, position);
    if (brace >= 0 && text.at(brace) == QLatin1Char('}')) {
        const QStringRef stretch = text.midRef(position, brace - position);
        if (stretch.size() <= 3 ||
            !(stretch.contains(QLatin1String("\\par")) || stretch.contains(QLatin1String("\\sect")) ||
              stretch.contains(QLatin1String("\\page"))))
            position = brace;
    }
    // Carriage returns count as line breaks too: the template is read byte
    // for byte, so files with CRLF line ends must cut where LF files do.
    while (position < text.size()) {
        const ushort c = text.at(position).unicode();
        if (c != '\n' && c != '\r' && c != ' ' && c != '}')
            break;
        ++position;
    }
}

RtfProc::RtfProc(const QString& sourceFileName, const QString& destinationFileName,
                 const QString& templateFileName, const QString& queryFolder, QTextCodec* codec)
    : BaseDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, codec),
      rxCommandBlock(makeRegExp(ProcCommand::patCommandBlock, Qt::CaseInsensitive)), rxPar(makeRegExp(patPar)),
      rxParRow(makeRegExp(patParRow)), rxCell(makeRegExp(patCell))
{
}

RtfProc::~RtfProc() = default;

QString RtfProc::getSeparateStr(const QString& value)
{
    // Each separator ends with the space that delimits its last control
    // word, so text at the start of the next repetition cannot run into it.
    if (value.isEmpty())
        return QString();
    if (value.compare(QLatin1String("page"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("\\pard\\page\\par ");
    if (value.compare(QLatin1String("section"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("\\pard\\sect ");
    return QStringLiteral("\\pard\\par ");
}

bool RtfProc::generateDocument()
{
    // The destination is written in binary mode too (see RtfTemplateCache).
    loadedTemplate = RtfTemplateCache::get(templateFileName(), codec());
    if (!loadedTemplate) {
        showStatus(QStringLiteral("Ошибка открытия файла-шаблона"));
        return false;
    }
    const QString& text = loadedTemplate->text;
    if (!loadedTemplate->balance.isBalanced()) {
        // The result would be as broken as the template, whatever the data.
        reportError(QStringLiteral("Ошибка в шаблоне %1: нарушен баланс фигурных скобок RTF: %2")
                        .arg(shownFileName(templateFileName()), loadedTemplate->balance.description(text)),
                    templateFileName());
        return false;
    }
    resultsInCodePage = declaresCodePage(text, windowsCodePage(codec()));

    StagedFile staged(destinationFileName());
    QFile destinationFile(staged.path());
    if (!staged.isValid() || !destinationFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        showStatus(QStringLiteral("Ошибка открытия конечного файла преобразования"));
        return false;
    }
    QTextStream out(&destinationFile);
    out.setCodec(codec());
    out.setAutoDetectUnicode(false);
    out.setGenerateByteOrderMark(false);
    RtfWriter writer(out);
    processTemlateStr(text, writer);
    out.flush();
    // A full disk shows up only here; the document is then not written.
    const bool written = out.status() == QTextStream::Ok && destinationFile.flush() &&
                         destinationFile.error() == QFileDevice::NoError;
    destinationFile.close();
    if (!written || !publish(staged)) {
        showStatus(QStringLiteral("Ошибка записи конечного файла преобразования"));
        return false;
    }
    return !hasTemplateErrors() && !queryProc().hasErrors();
}

bool RtfProc::findCommandBlock(const QString& text, int from, int& start, int& end) const
{
    if (loadedTemplate && text.constData() == loadedTemplate->text.constData()
        && text.size() == loadedTemplate->text.size()) {
        bool known = false;
        const bool found = loadedTemplate->blockAfter(from, start, end, known);
        if (known)
            return found;
    }
    start = rxCommandBlock.indexIn(text, from);
    if (start < 0)
        return false;
    end = start + rxCommandBlock.matchedLength();
    return true;
}

QString RtfProc::commandTextOf(const QString& text, int start, int end)
{
    // Control symbols such as \'e0 stay: command names are written in letters
    // that word processors store unescaped.
    thread_local const QRegExp rxRtfSkipBlock(makeRegExp(patRtfSkipBlock, Qt::CaseSensitive, true));
    thread_local const QRegExp rxRtfCommand(makeRegExp(patRtfCommand));
    QString block = text.mid(start, end - start);
    block.remove(rxRtfSkipBlock);
    block.remove(rxRtfCommand);
    block.remove(QLatin1Char('{'));
    block.remove(QLatin1Char('}'));
    return block;
}

QVector<int> RtfProc::paragraphMarks(const QString& text)
{
    QRegExp rxPar(makeRegExp(patPar));
    QVector<int> marks;
    for (int i = rxPar.indexIn(text); i >= 0; i = rxPar.indexIn(text, i + 1))
        marks.append(i);
    return marks;
}

QString RtfProc::buildTable(const QString& rowTemplate, const QString& data,
                            const QString& replaceEmpty) const
{
    QVector<int> cells;
    for (int i = rxCell.indexIn(rowTemplate); i >= 0; i = rxCell.indexIn(rowTemplate, i + 1))
        cells.append(i);

    // A row with the given cell values put in front of the cell marks.
    auto fillRow = [&](const QVector<QStringRef>& values, QString& out) {
        int copied = 0;
        for (int j = 0; j < values.size(); ++j) {
            out += rowTemplate.midRef(copied, cells.at(j) - copied);
            const QStringRef value = values.at(j).isEmpty() ? QStringRef(&replaceEmpty) : values.at(j);
            // Consecutive cell marks such as "\cell\cell" leave no delimiter.
            if (needsDelimiter(rowTemplate.leftRef(cells.at(j)), value))
                out += QLatin1Char(' ');
            out += value;
            copied = cells.at(j);
        }
        out += rowTemplate.midRef(copied);
    };

    QString rows;
    if (data.isEmpty() && !replaceEmpty.isEmpty()) {
        fillRow(QVector<QStringRef>(cells.size()), rows);
        return rows;
    }
    const QVector<QStringRef> lines = data.splitRef(QLatin1Char('\n'));
    rows.reserve(lines.size() * (rowTemplate.size() + 16));
    for (const QStringRef& line : lines) {
        QVector<QStringRef> values;
        if (!line.isEmpty()) {
            values = line.split(QLatin1Char('\t'));
            values.resize(qMin(values.size(), cells.size()));
        }
        fillRow(values, rows);
    }
    return rows;
}

bool RtfProc::findIterateEndBlock(const QString& text, int from, const QString& varName, int& start,
                                  int& end) const
{
    int blockStart = 0;
    int blockEnd = 0;
    while (findCommandBlock(text, from, blockStart, blockEnd)) {
        const ProcCommand command(commandTextOf(text, blockStart, blockEnd));
        if (command.closesBlock(varName)) {
            start = blockStart;
            end = blockEnd;
            return true;
        }
        from = blockEnd;
    }
    return false;
}

void RtfProc::processTemlateStr(const QString& text, RtfWriter& stream)
{
    int pos = 0;
    int start = 0;
    int end = 0;
    while (findCommandBlock(text, pos, start, end)) {
        const ProcCommand command(commandTextOf(text, start, end));
        QString result = encodableResult(commandResult(command));

        if (command.commandType() == IterateStart) {
            pos = processIterateBlock(text, pos, start, end, command, result, stream);
            continue;
        }

        const QString replaceEmpty = command.option(QStringLiteral("replace_empty"));
        QString replacement;
        int replacedStart = start;
        int replacedEnd = end;
        if (command.commandType() == TableInsert) {
            int rowStart = 0;
            int rowEnd = 0;
            if (findTemplateRow(text, pos, start, rowStart, rowEnd)) {
                QString rowTemplate = text.mid(rowStart, rowEnd - rowStart);
                balance(rowTemplate);
                replacement = buildTable(rowTemplate, result, replaceEmpty) + QLatin1String("\\pard ");
                replacedStart = rowStart;
                replacedEnd = paragraphEndAfter(text, end);
            } else {
                // The row is missing or was already written; the block goes.
                reportError(QStringLiteral("Ошибка структуры шаблона: для команды вставки таблицы не найдена "
                                           "строка таблицы"),
                            QString());
            }
        } else if (!result.isEmpty()) {
            replacement = result.replace(QLatin1Char('\n'), QLatin1String("\\par "));
        } else {
            replacement = replaceEmpty;
        }
        replacement += bracesFor(braceParity(text, replacedStart, replacedEnd) - braceParity(replacement));

        stream << text.midRef(pos, replacedStart - pos) << replacement;
        pos = replacedEnd;
    }
    stream << text.midRef(pos);
}

int RtfProc::processIterateBlock(const QString& text, int pos, int start, int end, const ProcCommand& command,
                                 const QString& result, RtfWriter& stream)
{
    const QString name = command.option(QStringLiteral("iterate_start"));
    stream << text.midRef(pos, start - pos);
    // The dropped start command may open or close groups the text around it relies on.
    stream << bracesFor(braceParity(text, start, end));

    int endStart = 0;
    int endEnd = 0;
    if (!findIterateEndBlock(text, end, name, endStart, endEnd)) {
        reportError(
            QStringLiteral("Ошибка структуры шаблона: для блока итераций с переменной %1 не найден его конец")
                .arg(name),
            QString());
        return end;
    }
    const BlockBody block = blockBody(text, end, endStart, endEnd);

    // What follows the start command in its paragraph stays, without the mark.
    processTemlateStr(withoutParMarks(text, end, block.start), stream);

    QString body = text.mid(block.start, block.end - block.start);
    if (block.endsWithRow)
        body += QLatin1String("\\pard ");
    const int bodyParity = braceParity(body);
    balance(body);

    const QString separator = getSeparateStr(command.option(QStringLiteral("separate")));
    produceRepetitions(
        command, result, [&] { processTemlateStr(body, stream); }, [&] { stream << separator; });
    // The copies are balanced each; what the body left open or closed in the
    // template is restored once for the text that follows it.
    stream << bracesFor(bodyParity);

    processTemlateStr(text.mid(block.end, endStart - block.end), stream);
    stream << bracesFor(braceParity(text, endStart, endEnd));
    processTemlateStr(withoutParMarks(text, endEnd, block.after), stream);
    return block.after;
}

RtfProc::BlockBody RtfProc::blockBody(const QString& text, int end, int endStart, int endEnd) const
{
    // The body runs from the paragraph after the start command's paragraph to
    // the last paragraph or row before the end command's paragraph. When both
    // commands share a paragraph, the text between them is repeated in place.
    BlockBody block{end, endStart, endEnd, false};
    const int startPar = rxPar.indexIn(text, end);
    if (startPar < 0 || startPar >= endStart)
        return block;
    block.start = startPar;
    moveToRealEnd(text, block.start);
    block.start = qMin(block.start, endStart);
    const int lastMark = rxParRow.lastIndexIn(text, endStart);
    block.endsWithRow = text.midRef(lastMark, 4) == rowMark;
    block.end = lastMark;
    moveToRealEnd(text, block.end);
    block.end = qBound(block.start, block.end, endStart);
    block.after = paragraphEndAfter(text, endEnd);
    return block;
}

bool RtfProc::templateRowBefore(const QString& text, int commandStart, int& rowStart, int& rowEnd)
{
    thread_local QRegExp rxRow(makeRegExp(patRow));
    const int endMark = rxRow.lastIndexIn(text, commandStart);
    if (endMark <= 0)
        return false;
    rowEnd = endMark;
    moveToRealEnd(text, rowEnd);
    rowEnd = qMin(rowEnd, commandStart);
    const int startMark = rxRow.lastIndexIn(text, endMark - 1);
    if (startMark < 0)
        return false;
    rowStart = startMark;
    moveToRealEnd(text, rowStart);
    return rowStart <= rowEnd;
}

bool RtfProc::findTemplateRow(const QString& text, int pos, int commandStart, int& rowStart,
                              int& rowEnd) const
{
    // A row that holds commands of its own has been written already.
    return templateRowBefore(text, commandStart, rowStart, rowEnd) && rowStart >= pos;
}

int RtfProc::paragraphEndAfter(const QString& text, int from) const
{
    int position = rxPar.indexIn(text, from);
    if (position < 0)
        return from;
    moveToRealEnd(text, position);
    return position;
}

QString RtfProc::withoutParMarks(const QString& text, int start, int end) const
{
    // The space after \par only delimits the control word; left alone it
    // would become visible text once the mark is gone, unless it now has to
    // delimit the control word before the mark.
    const QString piece = text.mid(start, end - start);
    QString out;
    out.reserve(piece.size());
    int copied = 0;
    for (int i = rxPar.indexIn(piece); i >= 0; i = rxPar.indexIn(piece, copied)) {
        out += piece.midRef(copied, i - copied);
        copied = i + 4;
        if (copied < piece.size() && piece.at(copied) == QLatin1Char(' ') &&
            !endsInOpenControlWord(QStringRef(&out)))
            ++copied;
    }
    out += piece.midRef(copied);
    return out;
}

QString RtfProc::encodableResult(const QString& result) const
{
    // Characters the codec has no byte for would be written as '?'; they go
    // out as RTF Unicode escapes instead. When the template does not declare
    // the codec's code page, the codec's bytes would be read in another one,
    // so every non-ASCII character is escaped, with the byte kept as the
    // fallback for readers without Unicode support. Escapes are grouped with
    // \uc1 so that readers skip exactly that one fallback character whatever
    // \ucN the template has in effect. ASCII, RTF markup included, is left
    // as it is.
    const SingleByteCharset& charset = SingleByteCharset::forCodec(codec());
    bool allEncodable = resultsInCodePage;
    for (int i = 0; allEncodable && i < result.size(); ++i)
        allEncodable = result.at(i).unicode() < 0x80 || charset.canEncode(QStringView(result).mid(i, 1));
    if (allEncodable)
        return result;
    QString out;
    out.reserve(result.size() + 32);
    bool inGroup = false;
    for (int i = 0; i < result.size();) {
        const QChar c = result.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < result.size() && result.at(i + 1).isLowSurrogate();
        const int length = pair ? 2 : 1;
        const QStringView codePoint = QStringView(result).mid(i, length);
        i += length;
        if (c.unicode() < 0x80) {
            if (inGroup) {
                out += QLatin1Char('}');
                inGroup = false;
            }
            out += c;
            continue;
        }
        // Whole code points are tested as strings: QTextCodec::canEncode(QChar)
        // accepts a lone surrogate, which no codec can write.
        const bool encodable = (pair || !c.isSurrogate()) && charset.canEncode(codePoint);
        if (encodable && resultsInCodePage) {
            if (inGroup) {
                out += QLatin1Char('}');
                inGroup = false;
            }
            out += codePoint;
            continue;
        }
        if (!inGroup) {
            out += QLatin1String("{\\uc1");
            inGroup = true;
        }
        const bool byteFallback = encodable && codePoint.size() == 1;
        for (const QChar unit : codePoint)
            appendUnicodeEscape(out, unit, byteFallback ? c : QChar(QLatin1Char('?')));
    }
    if (inGroup)
        out += QLatin1Char('}');
    return out;
}
