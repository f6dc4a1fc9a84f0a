#include "singlebytecharset.h"

#include <QMutex>
#include <QTextCodec>

#include <memory>
#include <unordered_map>

SingleByteCharset::SingleByteCharset(QTextCodec* codec) : codec(codec)
{
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString decoded = codec->toUnicode(all);
    singleByte = decoded.size() == 256;
    if (!singleByte)
        return;
    for (int b = 0; b < 256; ++b) {
        const QChar c = decoded.at(b);
        if (c != QChar::ReplacementCharacter && !bytes.contains(c.unicode()))
            bytes.insert(c.unicode(), uchar(b));
    }
}

const SingleByteCharset& SingleByteCharset::forCodec(QTextCodec* codec)
{
    static QMutex mutex;
    static std::unordered_map<QTextCodec*, std::unique_ptr<SingleByteCharset>> tables;
    QMutexLocker lock(&mutex);
    auto& table = tables[codec];
    if (!table)
        table.reset(new SingleByteCharset(codec));
    return *table;
}

bool SingleByteCharset::canEncode(QStringView codePoint) const
{
    if (!singleByte)
        return codec->canEncode(codePoint.toString());
    return codePoint.size() == 1 && bytes.contains(codePoint.at(0).unicode());
}
