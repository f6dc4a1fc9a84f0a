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
