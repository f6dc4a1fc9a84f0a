#include "zipfileitem.h"

#include "globals.h"

ZipFileItem::ZipFileItem(const QString& fileName, FileItem* parentItem) : FileItem(fileName, parentItem, false)
{
}

QString ZipFileItem::unzipFolder() const
{
    return concatPath(dirPath(), baseName());
}

bool ZipFileItem::unzip(const UnzipParams&)
{
    return false;
}
