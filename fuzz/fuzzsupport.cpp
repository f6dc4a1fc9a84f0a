#include "fuzzsupport.h"

#include "globals.h"
#include "domdocproc.h"
#include "domutil.h"
#include "ziputil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdlib>

namespace {
QCoreApplication* application = nullptr;
QString scratch;
} // namespace

void FuzzSupport::init()
{
    if (application)
        return;
    static int argc = 1;
    static char name[] = "plinthworks-fuzz";
    static char* argv[] = {name, nullptr};
    // Qt's own warnings about odd input (file names with NUL characters and
    // the like) would fill the log and slow the run down.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QStandardPaths::setTestModeEnabled(true);
    application = new QCoreApplication(argc, argv);
    ZipUtil::initDefaults();
    initGlobalResourcePaths();
    prependGlobalResourcePaths({examplesDir() + QStringLiteral("/resources")});
    const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    scratch = base + QStringLiteral("/plinthworks-fuzz-%1").arg(QCoreApplication::applicationPid());
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
    std::atexit([] { QDir(scratch).removeRecursively(); });
}

QString FuzzSupport::scratchDir()
{
    return scratch;
}

QString FuzzSupport::examplesDir()
{
    return QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples");
}

QString FuzzSupport::contractSource()
{
    return examplesDir() + QStringLiteral("/data/contract_21-2024.xml");
}

QString FuzzSupport::writeInput(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = scratch + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return QString();
    return path;
}

bool FuzzSupport::parsePart(QDomDocument& doc, const uint8_t* data, size_t size)
{
    return DomUtil::parseDocument(doc, QByteArray(reinterpret_cast<const char*>(data), int(size)));
}

void FuzzSupport::walkMainPart(DomDocProc& generator, const uint8_t* data, size_t size)
{
    QDomDocument doc;
    if (!parsePart(doc, data, size))
        return;
    const QDomDocument result = generator.renderTemplatePart(doc, true);
    QByteArray bytes;
    DomUtil::rawDataFromDoc(bytes, result, nullptr, -1);
}
