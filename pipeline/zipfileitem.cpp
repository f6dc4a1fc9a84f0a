#include "zipfileitem.h"

#include "globals.h"
#include "status.h"
#include "unzipparams.h"
#include "xmlfileitem.h"
#include "ziputil.h"

#include <QDir>

ZipFileItem::ZipFileItem(const QString& fileName, FileItem* parentItem) : FileItem(fileName, parentItem, false)
{
}

QString ZipFileItem::unzipFolder() const
{
    return concatPath(dirPath(), baseName());
}

bool ZipFileItem::unzip(const UnzipParams& params)
{
    if (hasError() || state() > 0)
        return false;
    const QString shownArchive = shownFileName(sourceFileName(true));
    const QString folder = unzipFolder();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        appendErrorText(QStringLiteral("Ошибка создания директории для распаковки архива: %1").arg(shownArchive));
        return false;
    }

    QStringList fileNames;
    if (!ZipUtil::unzipArchive(sourceFileName(true), folder, fileNames, params) || fileNames.isEmpty()) {
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

    for (const QString& name : qAsConst(fileNames)) {
        FileItem* item = name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)
                             ? new XmlFileItem(name, this, false)
                             : new FileItem(name, this, false);
        item->setState(1);
    }
    showStatus(QStringLiteral("Из архива: %1 распаковано файлов всего: %2, из них XML файлов: %3")
                   .arg(shownArchive)
                   .arg(fileNames.size())
                   .arg(xmlCount));
    setState(1);
    return true;
}
