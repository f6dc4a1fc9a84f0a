#pragma once

#include "fileitem.h"

#include <QStringList>

struct UnzipParams;

// A ZIP archive added by the user; unpacking makes its files children.
class ZipFileItem : public FileItem
{
public:
    ZipFileItem(const QString& fileName, FileItem* parentItem = nullptr);

    // The folder the archive unpacks into: beside it, named by its base name;
    // when another archive of the same base name unpacks there already,
    // the name with "_1", "_2"... added.
    QString unzipFolder() const;
    bool unzip(const UnzipParams& params);
    // Every file the last unpacking wrote, items or not.
    QStringList unpackedFiles() const;

private:
    // Chooses the unpack folder and keeps it for unzipFolder().
    QString claimUnzipFolder();

    // Written by the unpacking worker, read by the main thread: under the
    // item's mutex.
    QString chosenFolder;
    QStringList writtenFiles;
};
