#include "stagedfile.h"

#include "ownedfiles.h"
#include "stagingname.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Moves `from` to `to` unless `to` exists, in one step.
bool renameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // File systems without the flag (NFS among them): a hard link fails on
    // an existing name just as well.
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(source.constData(), target.constData()) != 0)
        return false;
    ::unlink(source.constData());
    return true;
}

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
    StagingName::removeStaleOnce(folder);
    // A short name of its own rather than one derived from the destination:
    // a destination name near the length limit leaves no room to add to it.
    for (int attempt = 0; attempt < 100 && temporary.isEmpty(); ++attempt) {
        const QString candidate =
            folder + QLatin1Char('/') + StagingName::make(QRandomGenerator::global()->generate64());
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
    if (direct)
        return false;
    return commitAs(destination);
}

bool StagedFile::commitAs(const QString& path)
{
    if (temporary.isEmpty() || committed)
        return committed;
    if (direct)
        return false;
    committed = renameWithoutReplacing(temporary, path);
    return committed;
}
