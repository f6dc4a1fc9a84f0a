#include "resultpackage.h"

#include "stagedfile.h"
#include "ziputil.h"

#include <QFile>
#include <QTemporaryDir>

bool ResultPackage::write(const QString& destination, const QString& templatePath,
                          const std::function<bool(StagedFile&)>& publish) const
{
    // The ZIP functions take the replacements by pointer; they only read them.
    QHash<QString, QByteArray*> replacements;
    for (auto it = replaced.constBegin(); it != replaced.constEnd(); ++it)
        replacements.insert(it.key(), const_cast<QByteArray*>(&it.value()));
    StagedFile staged(destination);
    return staged.isValid() && ZipUtil::copyReplaceArchiveFiles(staged.path(), templatePath, replacements) &&
           addEntries(staged.path()) && publish(staged);
}

bool ResultPackage::addEntries(const QString& packagePath) const
{
    // One at a time, so that the entries follow in a fixed order.
    for (const AddedPicture& picture : addedPictures) {
        if (!ZipUtil::addFiles(packagePath, {{picture.entry, picture.path}}))
            return false;
    }
    if (added.isEmpty())
        return true;
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    int number = 0;
    for (auto it = added.constBegin(); it != added.constEnd(); ++it) {
        const QString path = dir.filePath(QString::number(number++));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return false;
        file.close();
        if (!ZipUtil::addFiles(packagePath, {{it.key(), path}}))
            return false;
    }
    return true;
}
