// plinthworks-batch: the processing pipeline without widgets, for scripts,
// servers and batch farms.
#include "batchcheck.h"
#include "batchoptions.h"
#include "batchrunner.h"
#include "globals.h"
#include "workeroptions.h"
#include "workerserver.h"
#include "ziputil.h"

#include <QCoreApplication>
#include <QTextCodec>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("QUORVA"));
    QCoreApplication::setApplicationName(QStringLiteral("Plinthworks20"));

    if (WorkerOptions::isWorkerCall(QCoreApplication::arguments()))
        return WorkerServer::runProcess(QCoreApplication::arguments());

    BatchOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), &error)) {
        BatchRunner::printError(error + QLatin1Char('\n') + BatchOptions::usage());
        return 2;
    }
    if (options.help) {
        const QByteArray text = BatchOptions::usage().toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }

    ZipUtil::initDefaults();
    initGlobalResourcePaths();
    prependGlobalResourcePaths(options.resourceFolders);
    if (options.check)
        return BatchCheck(options).run();
    return BatchRunner(options).run();
}
