// plinthworks-bench-window: how the main window copes with a long list and a
// long run, on the bundled examples, offscreen and with a settings store of
// its own. Prints the time to add and show 10,000 files, and for 1,000
// invoices the documents per second of the window and of the batch command
// side by side, the longest stall of the user-interface thread during the
// window's run (the lateness of a 10 ms timer), and how many worker
// processes the window started.
#include "mainwindow.h"
#include "globals.h"
#include "myapplication.h"
#include "settingscatalogue.h"
#include "settingsgroup.h"

#include <QAction>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>

#include <functional>

namespace {

QTextStream out(stdout);

// The longest gap between the ticks of a 10 ms timer, beyond its interval.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            const qint64 gap = clock.restart();
            worst = qMax(worst, gap - timer.interval());
        });
        timer.setTimerType(Qt::PreciseTimer);
        timer.start(10);
        clock.start();
    }
    qint64 worst = 0;

private:
    QTimer timer;
    QElapsedTimer clock;
};

// Runs the event loop as the program does, asleep between events, until the
// condition no longer holds (checked every 10 ms at the latest).
void waitWhile(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(10);
    while (condition() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// The batch command over the files, as a user would run it; documents per second.
double batchRate(const QString& batch, const QStringList& files)
{
    QProcess process;
    process.setWorkingDirectory(QFileInfo(files.first()).path());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(batch, QStringList{QStringLiteral("--resources"),
                                     QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples/resources")}
                             + files);
    if (!process.waitForFinished(3600000) || process.exitCode() != 0)
        return 0;
    return files.size() / qMax(0.001, clock.elapsed() / 1000.0);
}

// A worker program that notes each start in `counter` and then is the batch
// command's worker.
QString countingWorker(const QString& batch, const QString& folder, const QString& counter)
{
    const QString path = folder + QStringLiteral("/counting-worker.sh");
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return batch;
    script.write(QStringLiteral("#!/bin/sh\necho start >> '%1'\nexec '%2' \"$@\"\n").arg(counter, batch).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    return path;
}

QStringList copies(const QString& source, const QString& folder, int n)
{
    QDir().mkpath(folder);
    QStringList names;
    for (int i = 0; i < n; ++i) {
        names << folder + QStringLiteral("/invoice_%1.xml").arg(i, 5, 10, QLatin1Char('0'));
        QFile::copy(source, names.last());
    }
    return names;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    MyApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("list"), QStringLiteral("Files to add (default 10000)."), QStringLiteral("n"),
                      QStringLiteral("10000")});
    parser.addOption({QStringLiteral("run"), QStringLiteral("Documents to make (default 1000)."), QStringLiteral("n"),
                      QStringLiteral("1000")});
    parser.process(app);
    const int listSize = parser.value(QStringLiteral("list")).toInt();
    const int runSize = parser.value(QStringLiteral("run")).toInt();

    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir work;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.path() + QStringLiteral("/settings"));
    QCoreApplication::setOrganizationName(QStringLiteral("QUORVA"));
    QCoreApplication::setApplicationName(QStringLiteral("Plinthworks20"));
    {
        QSettings settings;
        settings.setValue(QStringLiteral("RunSettings/runAutoUnzip"), false);
        settings.setValue(QStringLiteral("RunSettings/runAutoDetect"), false);
    }
    prependGlobalResourcePaths({QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples/resources")});
    const QString invoice = QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples/data/invoice_147.xml");
    // The window's query work runs in worker processes, as in the program.
    const QString batch = QStringLiteral(PLINTHWORKS_BINARY_DIR "/plinthworks-batch");
    const QString starts = work.path() + QStringLiteral("/worker-starts");
    MainWindow::setDefaultWorkerProgram(countingWorker(batch, work.path(), starts));

    MainWindow window;
    window.resize(1100, 700);
    window.show();
    QCoreApplication::processEvents();
    QAction* start = nullptr;
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->text() == QStringLiteral("Запустить обработку"))
            start = action;
    }

    // A long list: from the hand-over to the painted view.
    const QStringList many = copies(invoice, work.path() + QStringLiteral("/list"), listSize);
    QElapsedTimer clock;
    clock.start();
    window.addFileNames(many);
    waitWhile([&] { return window.processingList().items().size() < listSize; }, 600000);
    window.filesView()->viewport()->repaint();
    QCoreApplication::processEvents();
    const qint64 addMs = clock.elapsed();
    out << QStringLiteral("window: %1 files added and shown in %2 ms\n").arg(listSize).arg(addMs);
    out.flush();

    // Scrolling to the end of the long list.
    clock.restart();
    window.filesView()->scrollToBottom();
    window.filesView()->viewport()->repaint();
    out << QStringLiteral("window: scrolled to the last of %1 rows in %2 ms\n").arg(listSize).arg(clock.elapsed());
    out.flush();
    window.processingList().removeRows(0, listSize - 1);

    // The batch command on the same invoices, for comparison.
    const double batchDocsPerSecond = batchRate(batch, copies(invoice, work.path() + QStringLiteral("/batch"), runSize));

    // A long run: the user-interface thread's longest stall.
    const QStringList documents = copies(invoice, work.path() + QStringLiteral("/run"), runSize);
    window.addFileNames(documents);
    waitWhile([&] { return window.processingList().items().size() < runSize; }, 600000);
    StallMeter meter;
    clock.restart();
    start->trigger();
    waitWhile([&] { return window.processingList().isProcessing(); }, 3600000);
    const qint64 runMs = clock.elapsed();
    const int made = QDir(work.path() + QStringLiteral("/run")).entryList({QStringLiteral("*.docx")}).size();
    const double windowDocsPerSecond = made / qMax(0.001, runMs / 1000.0);
    QFile startLog(starts);
    const int workerStarts = startLog.open(QIODevice::ReadOnly) ? startLog.readAll().count('\n') : 0;
    out << QStringLiteral("window: %1 documents made in %2 s (%3 docs/s), longest stall of the window %4 ms, "
                          "%5 worker processes started\n")
               .arg(made)
               .arg(runMs / 1000.0, 0, 'f', 1)
               .arg(windowDocsPerSecond, 0, 'f', 1)
               .arg(meter.worst)
               .arg(workerStarts);
    out << QStringLiteral("batch command: the same %1 invoices at %2 docs/s; window/batch %3\n")
               .arg(runSize)
               .arg(batchDocsPerSecond, 0, 'f', 1)
               .arg(windowDocsPerSecond / qMax(0.001, batchDocsPerSecond), 0, 'f', 2);
    return made == runSize ? 0 : 1;
}
