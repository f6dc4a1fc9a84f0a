#include "globals.h"

#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

#include <atomic>

const char* const builtInVersion = PLINTHWORKS_VERSION;

// The icon collection is compiled into this static library; register it before
// main runs, as a static library would otherwise drop the resource object.
static void registerIcons()
{
    Q_INIT_RESOURCE(quorvapix);
}

static void unregisterIcons()
{
    Q_CLEANUP_RESOURCE(quorvapix);
}

namespace {
struct IconCollection
{
    IconCollection() { registerIcons(); }
    ~IconCollection() { unregisterIcons(); }
} iconCollection;
} // namespace

namespace {

std::atomic<bool> gShowPath{true};
std::atomic<bool> gShowNames{false};

Q_GLOBAL_STATIC(QStringList, gResourcePaths)

// Compares dotted version texts: equal lengths as strings, otherwise number by number.
bool isHigherVersion(const QString& candidate, const QString& current)
{
    if (candidate.length() == current.length())
        return candidate > current;
    const QStringList a = candidate.split(QLatin1Char('.'));
    const QStringList b = current.split(QLatin1Char('.'));
    const int n = qMax(a.size(), b.size());
    for (int i = 0; i < n; ++i) {
        const int x = i < a.size() ? a.at(i).toInt() : 0;
        const int y = i < b.size() ? b.at(i).toInt() : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

} // namespace

QString checkExt(const QString& fileName, const QString& ext)
{
    if (ext.isEmpty() || fileName.isEmpty())
        return fileName;
    const QString dotExt = QLatin1Char('.') + ext;
    if (fileName.endsWith(dotExt, Qt::CaseInsensitive))
        return fileName;
    if (fileName.endsWith(QLatin1Char('.')))
        return fileName + ext;
    return fileName + dotExt;
}

QString concatPath(const QString& base, const QString& part1, const QString& part2)
{
    if (base.isEmpty())
        return QString();
    QString result = base;
    for (const QString* part : {&part1, &part2}) {
        if (part->isEmpty())
            continue;
        if (!result.endsWith(QLatin1Char('/')))
            result += QLatin1Char('/');
        result += *part;
    }
    return result;
}

QString concatPathFile(const QString& path, const QString& fileName)
{
    if (path.isEmpty() || fileName.isEmpty())
        return fileName;
    return path + QLatin1Char('/') + fileName;
}

bool isContainedPath(const QString& relativePath)
{
    if (relativePath.isEmpty() || relativePath.startsWith(QLatin1Char('/')))
        return false;
    QString path = relativePath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QVector<QStringRef> parts = path.splitRef(QLatin1Char('/'));
    for (const QStringRef& part : parts) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

QString locateInResource(const QString& subFolder, const QString& fileName)
{
    if ((!subFolder.isEmpty() && !isContainedPath(subFolder)) || !isContainedPath(fileName))
        return QString();
    for (const QString& folder : qAsConst(*gResourcePaths)) {
        const QString dir = subFolder.isEmpty() ? folder : folder + QLatin1Char('/') + subFolder;
        const QString candidate = concatPathFile(dir, fileName);
        if (QFile::exists(candidate))
            return candidate;
    }
    return QString();
}

QString writableInResource(const QString& subFolder, const QString& fileName)
{
    const QString name = fileName.section(QLatin1Char('/'), -1);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!subFolder.isEmpty())
        folder += QLatin1Char('/') + subFolder;
    if (!QDir(folder).exists())
        QDir().mkpath(folder);
    return concatPathFile(folder, name);
}

QString shownFileName(const QString& path)
{
    if (gShowPath)
        return QDir::toNativeSeparators(path);
    return path.section(QLatin1Char('/'), -1);
}

bool isTrue(const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("0"))
        return false;
    for (const char* no : {"false", "no"}) {
        if (text.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return false;
    }
    return text.compare(QStringLiteral("нет"), Qt::CaseInsensitive) != 0;
}

QString softwareVersion(bool withPlatform)
{
    QString version = QString::fromLatin1(builtInVersion);
    const QString stored = QSettings().value(QStringLiteral("softwareVersion")).toString();
    if (!stored.isEmpty() && isHigherVersion(stored, version))
        version = stored;
    if (withPlatform) {
        version += QStringLiteral(" - ") + QSysInfo::buildCpuArchitecture() + QStringLiteral(" арх.")
                   + QStringLiteral(" для ") + QStringLiteral("Linux");
    }
    return version;
}

void initGlobalResourcePaths()
{
    if (!gResourcePaths->isEmpty())
        return;
    QStringList paths = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    QString configured = QDir::fromNativeSeparators(QSettings().value(QStringLiteral("resourcepath")).toString());
    if (configured.endsWith(QLatin1Char('/')))
        configured.chop(1);
    paths << QCoreApplication::applicationDirPath();
    if (!configured.isEmpty() && !paths.contains(configured))
        paths.insert(qMin(1, paths.size()), configured);
    *gResourcePaths = paths;
}

void prependGlobalResourcePaths(const QStringList& folders)
{
    QStringList paths = folders;
    for (QString& p : paths) {
        p = QDir::fromNativeSeparators(p);
        if (p.length() > 1 && p.endsWith(QLatin1Char('/')))
            p.chop(1);
    }
    for (const QString& p : qAsConst(*gResourcePaths)) {
        if (!paths.contains(p))
            paths << p;
    }
    *gResourcePaths = paths;
}

QStringList globalResourcePaths()
{
    return *gResourcePaths;
}

void setGlobalShowPath(bool show)
{
    gShowPath = show;
}

bool globalShowPath()
{
    return gShowPath;
}

void setGlobalShowNames(bool show)
{
    gShowNames = show;
}

bool globalShowNames()
{
    return gShowNames;
}
