#include "zipfileitem.h"

#include "globals.h"
#include "status.h"
#include "unzipparams.h"
#include "xmlfileitem.h"
#include "ziputil.h"

#include <QDir>
#include <QHash>
#include <QMutex>

namespace {

// Unpack folders in use, each with the archive that unpacks into it. Archives
// named alike ("inv.2024-03.zip", "inv.2024-04.zip") share their base name;
// in one folder, files of the same name from the two would replace each
// other.
QMutex folderMutex;
QHash<QString, QString> folderArchives;

} // namespace

ZipFileItem::ZipFileItem(const QString& fileName, FileItem* parentItem) : FileItem(fileName, parentItem, false)
{
}

ZipFileItem::~ZipFileItem()
{
    qDeleteAll(unattached);
}

int ZipFileItem::unpackedItemCount() const
{
    QMutexLocker lock(&mutex);
    return unattached.size();
}

int ZipFileItem::attachUnpacked()
{
    QList<FileItem*> items;
    {
        QMutexLocker lock(&mutex);
        items.swap(unattached);
    }
    adoptChildren(items);
    return items.size();
}

QString ZipFileItem::unzipFolder() const
{
    {
        QMutexLocker lock(&mutex);
        if (!chosenFolder.isEmpty())
            return chosenFolder;
    }
    return concatPath(dirPath(), baseName());
}

QString ZipFileItem::claimUnzipFolder(const UnzipParams& params)
{
    const QString archive = sourceFileName(true);
    const QString base = concatPath(dirPath(), baseName());
    QString folder = base;
    {
        // A folder that holds other files where the archive's would go (the
        // user's, or those of another archive of the same name) is passed
        // over: nothing there is ever replaced.
        QMutexLocker lock(&folderMutex);
        for (int n = 1; (folderArchives.contains(folder) && folderArchives.value(folder) != archive)
                        || !ZipUtil::fitsInto(archive, folder, params);
             ++n)
            folder = base + QStringLiteral("_%1").arg(n);
        folderArchives.insert(folder, archive);
    }
    QMutexLocker lock(&mutex);
    chosenFolder = folder;
    return folder;
}

QStringList ZipFileItem::unpackedFiles() const
{
    QMutexLocker lock(&mutex);
    return writtenFiles;
}

bool ZipFileItem::unzip(const UnzipParams& params)
{
    if (hasError() || state() > stateNew)
        return false;
    const QString shownArchive = shownFileName(sourceFileName(true));
    const QString folder = claimUnzipFolder(params);
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        appendErrorText(QStringLiteral("Ошибка создания директории для распаковки архива: %1").arg(shownArchive));
        return false;
    }

    QStringList fileNames;
    ZipUtil::UnzipReport report;
    const bool unpacked = ZipUtil::unzipArchive(sourceFileName(true), folder, fileNames, params, &report);
    {
        // Kept even after a failure: these files are ours to delete later.
        // Files that were there already with the same content are not.
        QMutexLocker lock(&mutex);
        writtenFiles = report.written;
    }
    for (const QString& problem : qAsConst(report.problems))
        appendErrorText(problem);
    if (!unpacked || fileNames.isEmpty()) {
        appendErrorText(QStringLiteral("Ошибка! Из архива: %1 не распаковано ни одного файла. Возможно архив поврежден.")
                            .arg(shownArchive));
        return false;
    }
    int xmlCount = 0;
    for (const QString& name : qAsConst(fileNames))
        xmlCount += name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) ? 1 : 0;
    if (xmlCount == 0) {
        appendErrorText(QStringLiteral("Ошибка! Из архива: %1 не распаковано ни одного XML файла").arg(shownArchive));
        return true;
    }

    QList<FileItem*> children;
    for (const QString& name : qAsConst(fileNames)) {
        FileItem* item = name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)
                             ? new XmlFileItem(name, this, false, ItemAttachment::AttachLater)
                             : new FileItem(name, this, false, ItemAttachment::AttachLater);
        item->setState(stateUnpacked);
        children << item;
    }
    {
        QMutexLocker lock(&mutex);
        unattached = children;
    }
    showStatus(QStringLiteral("Из архива: %1 распаковано файлов всего: %2, из них XML файлов: %3")
                   .arg(shownArchive)
                   .arg(fileNames.size())
                   .arg(xmlCount));
    setState(stateUnpacked);
    return true;
}
