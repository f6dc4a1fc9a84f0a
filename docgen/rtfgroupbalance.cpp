#include "rtfgroupbalance.h"

#include <QVector>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The offset after the data of a \binN control word that starts at `i`, or
// -1 when there is no such word there.
int afterBinaryData(const QString& text, int i)
{
    if (text.midRef(i, 4) != QLatin1String("\\bin"))
        return -1;
    int j = i + 4;
    if (j < text.size() && text.at(j) == QLatin1Char('-'))
        ++j;
    const int digits = j;
    while (j < text.size() && isDigit(text.at(j)))
        ++j;
    // \bin followed by a letter is another control word.
    if (j < text.size() && text.at(j).isLetter())
        return -1;
    const qint64 length = text.midRef(digits, j - digits).toLongLong();
    if (j < text.size() && text.at(j) == QLatin1Char(' '))
        ++j;
    return int(qMin<qint64>(text.size(), j + qMax<qint64>(0, length)));
}

// Whether nothing but white space and zero bytes (with which some programs
// pad files) follows `from`.
bool onlyPadding(const QString& text, int from)
{
    for (int i = from; i < text.size(); ++i) {
        if (!text.at(i).isSpace() && text.at(i) != QChar(0))
            return false;
    }
    return true;
}

} // namespace

int rtfGroupBalanceBreak(const QString& text)
{
    QVector<int> open;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\')) {
            const int after = afterBinaryData(text, i);
            if (after >= 0)
                i = after - 1;
            else
                ++i; // \{, \}, \\ and every other control symbol
        } else if (c == QLatin1Char('{')) {
            open.append(i);
        } else if (c == QLatin1Char('}')) {
            if (open.isEmpty())
                return i;
            open.removeLast();
            // The document is one group: nothing may follow its end.
            if (open.isEmpty() && !onlyPadding(text, i + 1))
                return i;
        }
    }
    return open.isEmpty() ? -1 : open.last();
}
