#include "rtfgroupbalance.h"

#include <QVector>

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// After a backslash at `pos`: the offset just past the control word or
// symbol, and the number of binary characters that follow a \binN.
int skipControl(const QString& text, int pos, qint64& binaryLength)
{
    binaryLength = 0;
    int i = pos + 1;
    if (i >= text.size())
        return i;
    if (!isAsciiLetter(text.at(i)))
        return i + 1; // a control symbol such as \{ or \\ or \'e0 (its hex digits are plain text)
    const int wordStart = i;
    while (i < text.size() && isAsciiLetter(text.at(i)))
        ++i;
    const bool isBin = text.midRef(wordStart, i - wordStart) == QLatin1String("bin");
    const int numberStart = i;
    if (i < text.size() && text.at(i) == QLatin1Char('-'))
        ++i;
    while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128)
        ++i;
    if (isBin && i > numberStart)
        binaryLength = text.midRef(numberStart, i - numberStart).toLongLong();
    if (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i; // the space that ends a control word belongs to it
    return i;
}

} // namespace

RtfGroupBalance RtfGroupBalance::of(const QString& text)
{
    RtfGroupBalance balance;
    QVector<int> open;
    // Where the document's outermost group closed: only white space may
    // follow. A brace too many in the middle closes it early, and a reader
    // may drop whatever comes after.
    int documentEnd = -1;
    for (int i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (documentEnd >= 0) {
            if (!c.isSpace() && c != QChar(0)) {
                balance.fault = ExtraClose;
                balance.offset = documentEnd;
                return balance;
            }
            ++i;
            continue;
        }
        if (c == QLatin1Char('\\')) {
            qint64 binary = 0;
            i = skipControl(text, i, binary);
            if (binary > 0)
                i = int(qMin<qint64>(text.size(), i + binary));
            continue;
        }
        if (c == QLatin1Char('{')) {
            open.append(i);
        } else if (c == QLatin1Char('}')) {
            if (open.isEmpty()) {
                balance.fault = ExtraClose;
                balance.offset = i;
                return balance;
            }
            open.removeLast();
            if (open.isEmpty())
                documentEnd = i;
        }
        ++i;
    }
    if (!open.isEmpty()) {
        balance.fault = Unclosed;
        balance.offset = open.last();
    }
    return balance;
}

int RtfGroupBalance::line(const QString& text) const
{
    return offset < 0 ? 0 : int(text.leftRef(offset).count(QLatin1Char('\n'))) + 1;
}

int RtfGroupBalance::column(const QString& text) const
{
    if (offset < 0)
        return 0;
    const int lineStart = offset == 0 ? -1 : int(text.lastIndexOf(QLatin1Char('\n'), offset - 1));
    return offset - lineStart;
}

QString RtfGroupBalance::description(const QString& text) const
{
    switch (fault) {
    case ExtraClose:
        return QStringLiteral("лишняя «}» в строке %1, позиция %2").arg(line(text)).arg(column(text));
    case Unclosed:
        return QStringLiteral("не закрыта «{» из строки %1, позиция %2").arg(line(text)).arg(column(text));
    case Balanced:
        break;
    }
    return QString();
}
