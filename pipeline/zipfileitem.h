#pragma once

#include "fileitem.h"

struct UnzipParams;

// A ZIP archive added by the user; unpacking makes its files children.
class ZipFileItem : public FileItem
{
public:
    ZipFileItem(const QString& fileName, FileItem* parentItem = nullptr);

    // The folder the archive unpacks into: beside it, named by its base name.
    QString unzipFolder() const;
    bool unzip(const UnzipParams& params);
};
