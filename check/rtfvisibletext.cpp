#include "rtfvisibletext.h"

#include <QTextCodec>

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The offset after the group that opens at `open`, escapes honoured.
int afterGroup(const QString& rtf, int open)
{
    int depth = 0;
    for (int i = open; i < rtf.size(); ++i) {
        const QChar c = rtf.at(i);
        if (c == QLatin1Char('\\'))
            ++i;
        else if (c == QLatin1Char('{'))
            ++depth;
        else if (c == QLatin1Char('}') && --depth == 0)
            return i + 1;
    }
    return rtf.size();
}

} // namespace

QString rtfVisibleText(const QString& rtf, QTextCodec* codec)
{
    QString text;
    int skipAfterUnicode = 0;
    for (int i = 0; i < rtf.size();) {
        const QChar c = rtf.at(i);
        if (c == QLatin1Char('{')) {
            i = rtf.midRef(i, 3) == QLatin1String("{\\*") ? afterGroup(rtf, i) : i + 1;
            continue;
        }
        if (c == QLatin1Char('}') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            ++i;
            continue;
        }
        if (c != QLatin1Char('\\')) {
            if (skipAfterUnicode > 0)
                --skipAfterUnicode;
            else
                text += c;
            ++i;
            continue;
        }
        const QChar next = i + 1 < rtf.size() ? rtf.at(i + 1) : QChar();
        if (next == QLatin1Char('\'')) {
            const QByteArray byte = QByteArray::fromHex(rtf.midRef(i + 2, 2).toLatin1());
            if (skipAfterUnicode > 0)
                --skipAfterUnicode;
            else if (codec)
                text += codec->toUnicode(byte);
            i += 4;
            continue;
        }
        if (!isAsciiLetter(next)) {
            // \{, \}, \\ stand for themselves; other symbols show nothing.
            if (next == QLatin1Char('{') || next == QLatin1Char('}') || next == QLatin1Char('\\'))
                text += next;
            i += 2;
            continue;
        }
        int j = i + 1;
        while (j < rtf.size() && isAsciiLetter(rtf.at(j)))
            ++j;
        const QString word = rtf.mid(i + 1, j - i - 1);
        const int numberStart = j;
        if (j < rtf.size() && rtf.at(j) == QLatin1Char('-'))
            ++j;
        while (j < rtf.size() && isDigit(rtf.at(j)))
            ++j;
        const QString number = rtf.mid(numberStart, j - numberStart);
        if (j < rtf.size() && rtf.at(j) == QLatin1Char(' '))
            ++j;
        i = j;
        if (word == QLatin1String("par") || word == QLatin1String("line"))
            text += QLatin1Char('\n');
        else if (word == QLatin1String("tab"))
            text += QLatin1Char('\t');
        else if (word == QLatin1String("u") && !number.isEmpty()) {
            text += QChar(ushort(number.toInt()));
            skipAfterUnicode = 1;
        }
    }
    return text;
}
