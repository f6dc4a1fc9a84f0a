#include "stagedfile.h"

#include "ownedfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QLatin1String stagingPrefix(".pw-");
const QLatin1String stagingSuffix(".tmp");

} // namespace

StagedFile::StagedFile(const QString& destination) : destination(destination)
{
    const QFileInfo existing(destination);
    if (existing.exists() && !existing.isSymLink() && !existing.isFile() && !existing.isDir()) {
        direct = true;
        temporary = destination;
        return;
    }
    const QString folder = QFileInfo(destination).absolutePath();
    // A short name of its own rather than one derived from the destination:
    // a destination name near the length limit leaves no room to add to it.
    for (int attempt = 0; attempt < 100 && temporary.isEmpty(); ++attempt) {
        const QString candidate = folder + QLatin1Char('/') + stagingPrefix
                                  + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
                                  + QString::number(QRandomGenerator::global()->generate64(), 36) + stagingSuffix;
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            file.close();
            temporary = candidate;
            OwnedFiles::announce(temporary);
        } else if (!QFileInfo(candidate).isSymLink() && !QFileInfo::exists(candidate)) {
            break; // not a name clash: the folder cannot be written
        }
    }
}

StagedFile::~StagedFile()
{
    if (!committed && !direct && !temporary.isEmpty())
        QFile::remove(temporary);
}

bool StagedFile::commit()
{
    if (temporary.isEmpty() || committed)
        return committed;
    if (direct)
        return committed = true;
    committed = std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(destination).constData()) == 0;
    return committed;
}

bool StagedFile::commitWithoutReplacing()
{
    if (temporary.isEmpty() || committed)
        return committed;
    if (direct)
        return false;
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(destination);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return committed = true;
    // File systems without the flag: a hard link fails on an existing name just as well.
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return committed = true;
}

bool StagedFile::isStagingName(const QString& fileName)
{
    return fileName.startsWith(stagingPrefix) && fileName.endsWith(stagingSuffix);
}
