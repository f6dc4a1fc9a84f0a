#pragma once

#include <QString>

// Whether a DOCX or ODT template package is whole. The generators copy the
// entries they do not change as they are stored, without unpacking them, so
// damaged data in any entry would pass into every document unnoticed. Each
// package is therefore read through once, every entry with its CRC, when a
// thread first uses it; the verdict is kept per thread, keyed like the
// template cache (path, modification time, size).
class PackageCheck
{
public:
    // Empty when the package is sound; otherwise what is wrong with it.
    static QString problemOf(const QString& packagePath);
};
