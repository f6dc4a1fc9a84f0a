#include "fuzzsupport.h"

#include "globals.h"
#include "ziputil.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

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
    QStandardPaths::setTestModeEnabled(true);
    application = new QCoreApplication(argc, argv);
    ZipUtil::initDefaults();
    initGlobalResourcePaths();
    prependGlobalResourcePaths({examplesDir() + QStringLiteral("/resources")});
    const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    scratch = base + QStringLiteral("/plinthworks-fuzz-%1").arg(QCoreApplication::applicationPid());
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
}

QString FuzzSupport::scratchDir()
{
    return scratch;
}

QString FuzzSupport::examplesDir()
{
    return QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples");
}
