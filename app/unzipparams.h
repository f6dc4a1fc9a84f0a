#pragma once

#include <QRegularExpression>

// How a source archive is unpacked. A mask applies only when its pattern is
// not empty and valid; it is matched against the entry's file name (the part
// after the last "/"). The main window builds the masks from the settings as
// anchored, case-insensitive expressions.
struct UnzipParams
{
    QRegularExpression includeMask;
    QRegularExpression excludeMask;
    // Unpack archives found inside the archive.
    bool recursive = true;
    // Delete inner archives once unpacked, or at once without `recursive`.
    bool removeInternalZips = true;
    // Entries larger than this many bytes, declared or written, are refused;
    // 0 for no limit.
    qint64 maxEntrySize = qint64(1) << 30;
    // Large entries compressed more than this many times are refused: such
    // an archive is made to fill the disk. 0 for no limit.
    int maxCompressionRatio = 200;

    // A mask as the user writes it, made to match whole names in either
    // case; an empty mask stays empty, which filters nothing.
    static QRegularExpression wholeNameMask(const QString& mask)
    {
        if (mask.isEmpty())
            return QRegularExpression();
        return QRegularExpression(QRegularExpression::anchoredPattern(mask),
                                  QRegularExpression::CaseInsensitiveOption);
    }
};
