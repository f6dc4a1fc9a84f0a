#pragma once

#include "fileitem.h"

#include <QStringList>

struct UnzipParams;

// A ZIP archive added by the user; unpacking makes its files children.
class ZipFileItem : public FileItem
{
public:
    ZipFileItem(const QString& fileName, FileItem* parentItem = nullptr);
    ~ZipFileItem() override;

    // The folder the archive unpacks into: beside it, named by its base name;
    // when another archive of the same base name unpacks there already,
    // the name with "_1", "_2"... added.
    QString unzipFolder() const;
    // Unpacks the archive (in a worker thread). The items of the unpacked
    // files are made but not yet children: the thread that owns the tree
    // attaches them with attachUnpacked(), so that views are told of the new
    // rows before they can see them.
    bool unzip(const UnzipParams& params);
    int unpackedItemCount() const;
    // Makes the items of the last unpacking children; returns how many.
    int attachUnpacked();
    // Every file the last unpacking wrote, items or not.
    QStringList unpackedFiles() const;

private:
    // Chooses the unpack folder and keeps it for unzipFolder().
    QString claimUnzipFolder(const UnzipParams& params);

    // Written by the unpacking worker, read by the main thread: under the
    // item's mutex.
    QString chosenFolder;
    QStringList writtenFiles;
    QList<FileItem*> unattached;
};
