#pragma once

#include <QHash>
#include <QStringView>

class QTextCodec;

// Which characters a single-byte text codec can write, answered from a table
// built once per codec. Asking the codec itself costs a converter per call
// (and a process-wide lock in the ICU codecs), which dominated generation
// time for texts with many non-ASCII characters.
class SingleByteCharset
{
public:
    static const SingleByteCharset& forCodec(QTextCodec* codec);

    // Whether the code point (one character or a surrogate pair) has a byte
    // of its own in the codec.
    bool canEncode(QStringView codePoint) const;

private:
    explicit SingleByteCharset(QTextCodec* codec);

    QTextCodec* codec;
    bool singleByte = false;
    QHash<ushort, uchar> bytes;
};
