#include "rtftemplatescan.h"

#include "commandwordscheck.h"
#include "rtfproc.h"
#include "rtftemplatecache.h"
#include "rtfvisibletext.h"
#include "templatecheckresult.h"

#include <QRegularExpression>
#include <QTextCodec>

#include <algorithm>

namespace {

QTextCodec* rtfCodec()
{
    return QTextCodec::codecForName("Windows-1251");
}

int countBefore(const QVector<int>& positions, int offset)
{
    return int(std::lower_bound(positions.begin(), positions.end(), offset) - positions.begin());
}

// Field codes and results, comments (annotations) and notes: what inside a
// command block changes the command's text or vanishes with it.
QString interruptionIn(const QString& block)
{
    static const QRegularExpression field(QStringLiteral("\\\\(field|fldinst|fldrslt)(?![a-z])"));
    static const QRegularExpression comment(
        QStringLiteral("\\\\(annotation|atnid|atnauthor|atrfstart|atrfend|"
                       "chatn)(?![a-z])"));
    static const QRegularExpression note(QStringLiteral("\\\\(footnote|chftn)(?![a-z])"));
    if (field.match(block).hasMatch())
        return QStringLiteral("поле");
    if (comment.match(block).hasMatch())
        return QStringLiteral("примечание");
    if (note.match(block).hasMatch())
        return QStringLiteral("сноска");
    return QString();
}

} // namespace

int RtfTemplateScan::lineAt(int offset) const
{
    return countBefore(lineBreaks, offset) + 1;
}

int RtfTemplateScan::paragraphAt(int offset) const
{
    return countBefore(paragraphMarks, offset) + 1;
}

void RtfTemplateScan::scan(const QString& templatePath)
{
    const std::shared_ptr<const RtfTemplate> loaded = RtfTemplateCache::get(templatePath, rtfCodec());
    if (!loaded) {
        result.addError({},
                        QStringLiteral("Ошибка открытия файла-шаблона: документы по нему не формируются"));
        return;
    }
    const QString& text = loaded->text;
    for (int i = text.indexOf(QLatin1Char('\n')); i >= 0; i = text.indexOf(QLatin1Char('\n'), i + 1))
        lineBreaks.append(i);
    paragraphMarks = RtfProc::paragraphMarks(text);

    // Generation refuses such a template; the place is where the pairing breaks.
    const RtfGroupBalance& balance = loaded->balance;
    if (!balance.isBalanced()) {
        result.addError({QString(), balance.line(text), paragraphAt(balance.offset)},
                        QStringLiteral("Фигурные скобки RTF не сбалансированы: %1; документы по шаблону не "
                                       "формируются")
                            .arg(balance.description(text)));
    }
    for (int b = 0; b < loaded->blockStarts.size(); ++b)
        checkCommand(text, loaded->blockStarts.at(b), loaded->blockEnds.at(b));
    findStrayCommands(text, loaded->blockStarts, loaded->blockEnds);
}

void RtfTemplateScan::checkCommand(const QString& text, int start, int end)
{
    const QString raw = text.mid(start, end - start);
    CheckedCommand command{CheckPlace{QString(), lineAt(start), paragraphAt(start)},
                           rtfVisibleText(raw, rtfCodec()).trimmed(),
                           ProcCommand(RtfProc::commandTextOf(text, start, end)),
                           {},
                           0};
    command.written.replace(QLatin1Char('\n'), QStringLiteral("⏎"));
    result.commands.append(command);
    commandStarts.append(start);
    const CheckPlace& place = command.place;
    const QString& written = command.written;

    const QString interruption = interruptionIn(raw);
    if (!interruption.isEmpty()) {
        result.addWarning(place,
                          QStringLiteral("Внутри команды %1 стоит %2: при формировании оно пропадёт, а его "
                                         "текст, если он есть, войдёт в команду")
                              .arg(written, interruption));
    }
    if (countBefore(paragraphMarks, end) > countBefore(paragraphMarks, start)) {
        result.addWarning(place,
                          QStringLiteral("Команда %1 разбита на несколько абзацев: вместе с ней пропадут "
                                         "и знаки абзацев внутри неё")
                              .arg(written));
    }
    for (const QString& key :
         {QStringLiteral("query"), QStringLiteral("iterate_start"), QStringLiteral("iterate_end")}) {
        const QString name = command.command.option(key);
        static const QRegularExpression escaped(QStringLiteral("\\\\('|u-?\\d)"));
        bool nonLatin = false;
        for (const QChar c : name)
            nonLatin = nonLatin || c.unicode() > 0x7f;
        if (escaped.match(name).hasMatch()) {
            result.addError(place,
                            QStringLiteral("В команде %1 имя «%2» записано не латиницей: RTF хранит такие "
                                           "буквы кодами, и команда прочтёт «%3»; в RTF-шаблоне пишите "
                                           "имена запросов и переменных латиницей, цифрами и _")
                                .arg(written, rtfVisibleText(name, rtfCodec()), name));
        } else if (nonLatin) {
            result.addWarning(place,
                              QStringLiteral("В команде %1 имя «%2» записано не латиницей: другой редактор "
                                             "сохранит его кодами, и команда перестанет работать; пишите "
                                             "имена запросов и переменных латиницей, цифрами и _")
                                  .arg(written, name));
        }
    }

    switch (command.command.commandType()) {
    case PictureInsert:
        result.addError(place, QStringLiteral("В RTF нет вставки рисунков: команда %1 вставит в документ имя "
                                              "файла как текст")
                                   .arg(written));
        break;
    case TableInsert: {
        int rowStart = 0;
        int rowEnd = 0;
        if (!RtfProc::templateRowBefore(text, start, rowStart, rowEnd)) {
            result.addError(place,
                            QStringLiteral("Ошибка структуры шаблона: для команды вставки таблицы %1 не "
                                           "найдена строка таблицы")
                                .arg(written));
        } else if (const int inRow = blockInside(rowStart, rowEnd); inRow >= 0) {
            result.addError(place,
                            QStringLiteral("В строке-образце таблицы стоит команда %1: строка будет "
                                           "выведена с ней как есть, а для команды %2 не найдется строки "
                                           "таблицы")
                                .arg(result.commands.at(inRow).written, written));
        } else if (countBefore(paragraphMarks, start) > countBefore(paragraphMarks, rowEnd)) {
            result.addError(place,
                            QStringLiteral("Ошибка структуры шаблона - команда вставки таблицы должна "
                                           "следовать сразу за таблицей: абзацы между таблицей и командой "
                                           "%1 пропадут из документа")
                                .arg(written));
        }
        break;
    }
    default:
        break;
    }
    if (command.command.hasOption(QStringLiteral("delete_empty_section"))) {
        result.addWarning(place,
                          QStringLiteral("В RTF разделы не удаляются: delete_empty_section в команде %1 "
                                         "ничего не сделает")
                              .arg(written));
    }
}

int RtfTemplateScan::blockInside(int from, int to) const
{
    for (int k = 0; k < commandStarts.size(); ++k) {
        if (commandStarts.at(k) >= from && commandStarts.at(k) < to)
            return k;
    }
    return -1;
}

void RtfTemplateScan::findStrayCommands(const QString& text, const QVector<int>& starts,
                                        const QVector<int>& ends)
{
    int block = 0;
    int reportedParagraph = 0;
    for (int at = text.indexOf(QLatin1Char('[')); at >= 0; at = text.indexOf(QLatin1Char('['), at + 1)) {
        while (block < ends.size() && ends.at(block) <= at)
            ++block;
        if (block < starts.size() && starts.at(block) <= at)
            continue; // inside a command block
        const int paragraph = paragraphAt(at);
        if (paragraph == reportedParagraph)
            continue;
        const int paragraphEnd =
            paragraph - 1 < paragraphMarks.size() ? paragraphMarks.at(paragraph - 1) : text.size();
        const QString shown = rtfVisibleText(text.mid(at, qMin(paragraphEnd - at, 2000)), rtfCodec());
        if (!shown.startsWith(QLatin1String("[%")))
            continue;
        result.addWarning({QString(), lineAt(at), paragraph}, CommandWordsCheck::strayCommandMessage(shown));
        reportedParagraph = paragraph;
    }
}
