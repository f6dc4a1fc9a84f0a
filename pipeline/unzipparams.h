#pragma once

#include <QRegularExpression>

// Placeholder until the archive functions land.
struct UnzipParams
{
    QRegularExpression includeMask;
    QRegularExpression excludeMask;
    bool recursive = true;
    bool removeInternalZips = true;
};
