#include "stagingname.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QSysInfo>

#include <cerrno>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QLatin1String prefix(".pw-");
const QLatin1String suffix(".tmp");

QByteArray readSmallFile(const char* path)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

// The host name with only letters, digits and dots, so that "-" separates
// the fields of a name.
QString hostField()
{
    QString host = QSysInfo::machineHostName().left(32);
    for (QChar& c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return host.isEmpty() ? QStringLiteral("_") : host;
}

// Changes with every start of the machine.
QString bootField()
{
    const QString id = QString::fromLatin1(readSmallFile("/proc/sys/kernel/random/boot_id")).trimmed();
    return id.isEmpty() ? QStringLiteral("0") : id.left(8);
}

// When the machine started, in seconds since the epoch; 0 when unknown.
qint64 bootTime()
{
    for (const QByteArray& line : readSmallFile("/proc/stat").split('\n')) {
        if (line.startsWith("btime "))
            return line.mid(6).trimmed().toLongLong();
    }
    return 0;
}

// What /proc tells of a running process: when it started, in clock ticks
// since the machine started (with the process id it names one process, even
// when the id is used again), and whether it has ended and only waits to be
// reaped.
struct ProcessStat
{
    QString start;
    bool ended = false;
};

ProcessStat processStat(qint64 pid)
{
    const QByteArray stat = readSmallFile(QByteArray("/proc/" + QByteArray::number(pid) + "/stat").constData());
    // The command name in parentheses may hold spaces; the fields follow it.
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    ProcessStat process;
    // Fields 3 and 22 of the whole line.
    process.ended = fields.value(0) == "Z" || fields.value(0) == "X";
    process.start = QString::fromLatin1(fields.value(19));
    return process;
}

struct Identity
{
    QString host = hostField();
    QString boot = bootField();
    QString pid = QString::number(QCoreApplication::applicationPid());
    QString start = processStat(QCoreApplication::applicationPid()).start;
};

const Identity& self()
{
    static const Identity identity;
    return identity;
}

bool processRuns(qint64 pid, const QString& start)
{
    if (pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    const ProcessStat now = processStat(pid);
    if (now.ended)
        return false;
    return now.start.isEmpty() || start == QLatin1String("0") || now.start == start;
}

} // namespace

QString StagingName::make(quint64 random)
{
    const Identity& me = self();
    return prefix + me.host + QLatin1Char('-') + me.boot + QLatin1Char('-') + me.pid + QLatin1Char('-')
           + (me.start.isEmpty() ? QStringLiteral("0") : me.start) + QLatin1Char('-') + QString::number(random, 36)
           + suffix;
}

bool StagingName::isStagingName(const QString& fileName)
{
    return fileName.startsWith(prefix) && fileName.endsWith(suffix);
}

namespace {

// The fields of a staging name of this version: host, boot, process id,
// process start, random part; none for other names.
QStringList fieldsOf(const QString& path)
{
    const QString fileName = path.section(QLatin1Char('/'), -1);
    if (!StagingName::isStagingName(fileName))
        return {};
    const QStringList fields = fileName.mid(prefix.size(), fileName.size() - prefix.size() - suffix.size())
                                   .split(QLatin1Char('-'));
    return fields.size() == 5 ? fields : QStringList();
}

bool isRegularFile(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

QStringList stagingFilesIn(const QString& folder)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name :
         dir.entryList({prefix + QLatin1Char('*') + suffix}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = dir.filePath(name);
        if (isRegularFile(path))
            paths << path;
    }
    return paths;
}

} // namespace

bool StagingName::isStale(const QString& path)
{
    const QStringList fields = fieldsOf(path);
    const Identity& me = self();
    if (fields.isEmpty() || fields.at(0) != me.host)
        return false;
    if (fields.at(1) != me.boot) {
        // Written before this machine last started (a machine of the same
        // name would still be writing it now).
        struct stat status;
        return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && bootTime() > 0
               && status.st_mtim.tv_sec < bootTime();
    }
    bool ok = false;
    const qint64 pid = fields.at(2).toLongLong(&ok);
    return ok && !processRuns(pid, fields.at(3));
}

void StagingName::removeStaleOnce(const QString& folder)
{
    static QMutex mutex;
    static QSet<QString> swept;
    {
        QMutexLocker lock(&mutex);
        if (swept.contains(folder))
            return;
        swept.insert(folder);
    }
    for (const QString& path : stagingFilesIn(folder)) {
        if (isStale(path))
            QFile::remove(path);
    }
}

void StagingName::removeOfEndedProcess(const QString& folder, qint64 pid)
{
    const Identity& me = self();
    const QString pidField = QString::number(pid);
    for (const QString& path : stagingFilesIn(folder)) {
        const QStringList fields = fieldsOf(path);
        if (!fields.isEmpty() && fields.at(0) == me.host && fields.at(1) == me.boot && fields.at(2) == pidField
            && !processRuns(pid, fields.at(3)))
            QFile::remove(path);
    }
}
