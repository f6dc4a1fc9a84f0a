// plinthworks: the desktop program.
#include "mainwindow.h"
#include "myapplication.h"
#include "workeroptions.h"
#include "workerserver.h"

#include <QTextCodec>

namespace {

// The window's detection, naming and generation run in worker processes:
// this program started again with --worker, without a display.
int runAsWorker(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("QUORVA"));
    QCoreApplication::setApplicationName(QStringLiteral("Plinthworks20"));
    return WorkerServer::runProcess(QCoreApplication::arguments());
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == WorkerOptions::workerOption.toLatin1())
        return runAsWorker(argc, argv);

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    MyApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("QUORVA"));
    QCoreApplication::setApplicationName(QStringLiteral("Plinthworks20"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/plinthworks.png")));

    // The toolkit's own dialogs and buttons in Russian; the program's texts
    // are Russian already.
    app.installToolkitTranslation();

    MainWindow::setDefaultWorkerProgram(QCoreApplication::applicationFilePath());
    MainWindow window;
    app.setMainWindow(&window);
    if (argc > 1) {
        QStringList names;
        for (int i = 1; i < argc; ++i)
            names << QTextCodec::codecForLocale()->toUnicode(argv[i]);
        window.addFileNames(names);
    }
    window.show();
    const int status = app.exec();
    app.setMainWindow(nullptr);
    return status;
}
