#include "shard.h"

#include <QCryptographicHash>
#include <QRegularExpression>

bool Shard::parse(const QString& text, Shard* shard, QString* error)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,9})/(\\d{1,9})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    const int index = match.hasMatch() ? match.captured(1).toInt() : -1;
    const int count = match.hasMatch() ? match.captured(2).toInt() : 0;
    if (count < 1 || index < 0 || index >= count) {
        *error = QStringLiteral("Параметру --shard нужно K/N: число частей N не меньше 1 и номер части K "
                                "от 0 до N-1: %1")
                     .arg(text);
        return false;
    }
    shard->shareIndex = index;
    shard->shareCount = count;
    return true;
}

QString Shard::keyOf(const QString& path)
{
    if (!path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
        return path;
    const int nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = path.indexOf(QLatin1Char('.'), nameStart);
    return path.left(dot);
}

int Shard::shareOf(const QString& path, int count)
{
    const QByteArray digest = QCryptographicHash::hash(keyOf(path).toUtf8(), QCryptographicHash::Sha256);
    quint64 number = 0;
    for (int i = 0; i < 8; ++i)
        number = (number << 8) | quint8(digest.at(i));
    return int(number % quint64(qMax(1, count)));
}

bool Shard::contains(const QString& path) const
{
    return isWhole() || shareOf(path, shareCount) == shareIndex;
}
