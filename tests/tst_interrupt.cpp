// The batch command stopped in the middle of its work by SIGINT, SIGTERM,
// SIGHUP or SIGKILL: whatever stops it and whenever, no name shows a
// document that is not whole, no worker goes on working, nothing
// half-written stays behind once a run has been in the folder again, the
// sources are untouched, and the exit status says what happened.
#include "rtfgroupbalance.h"
#include "stagedfile.h"
#include "stagingname.h"
#include "testsupport.h"
#include "ziputil.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QProcess>
#include <QTextCodec>
#include <QtTest>

#include <quazip/quazip.h>

#include <csignal>
#include <functional>

using namespace TestSupport;

namespace {

const QString examples = QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples");

// A query that runs for minutes.
const QString slowQuery = QStringLiteral("string(sum(for $i in 1 to 2000000000 return $i mod 7))");

bool waitUntil(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Worker processes that serve the resource folder `resources`.
QList<qint64> workersOf(const QString& resources)
{
    QList<qint64> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        const QList<QByteArray> arguments = readFile("/proc/" + entry + "/cmdline").split('\0');
        if (ok && arguments.contains("--worker") && arguments.contains(resources.toUtf8()))
            pids << pid;
    }
    return pids;
}

// Files that stand under a document's name: all but the sources, the
// report and the staging files.
QStringList documentsIn(const QString& dir)
{
    QStringList documents;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        if (!name.endsWith(".xml") && name != "report.txt" && !StagingName::isStagingName(name))
            documents << dir + "/" + name;
    }
    return documents;
}

QStringList stagingFilesIn(const QString& dir)
{
    return QDir(dir).entryList({".pw-*"}, QDir::Files | QDir::Hidden);
}

bool isWholeDocument(const QString& path)
{
    const QByteArray bytes = readFile(path);
    if (path.endsWith(".rtf")) {
        const QString text = QTextCodec::codecForName("Windows-1251")->toUnicode(bytes);
        return text.startsWith("{\\rtf") && RtfGroupBalance::of(text).isBalanced();
    }
    QString damaged;
    QuaZip zip(path);
    if (bytes.isEmpty() || !ZipUtil::checkArchive(path, &damaged) || !zip.open(QuaZip::mdUnzip))
        return false;
    const QStringList entries = zip.getFileNameList();
    return entries.contains(path.endsWith(".docx") ? "word/document.xml" : "content.xml");
}

QHash<QString, QByteArray> sourceSums(const QString& dir)
{
    QHash<QString, QByteArray> sums;
    for (const QString& name : QDir(dir).entryList({"*.xml"}, QDir::Files))
        sums.insert(name, QCryptographicHash::hash(readFile(dir + "/" + name), QCryptographicHash::Sha256));
    return sums;
}

// The start of a process, in clock ticks since boot, as /proc tells it.
QString processStart(qint64 pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    return QString::fromLatin1(stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(19));
}

} // namespace

class TestInterrupt : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString fastResources;
    QString slowResources;
    int runs = 0;

    QProcess* startBatch(const QString& work, const QString& resources, const QString& format, bool parallel,
                         const QStringList& files)
    {
        auto* process = new QProcess(this);
        process->setWorkingDirectory(work);
        QStringList args{"--resources", resources, "--format", format, "--report", work + "/report.txt"};
        if (!parallel)
            args << "--sequential";
        process->start(qEnvironmentVariable("PLINTHWORKS_BATCH"), args + files);
        return process;
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        if (qEnvironmentVariableIsEmpty("PLINTHWORKS_BATCH"))
            QSKIP("the batch command was not built");
        fastResources = dir.path() + "/fast-resources";
        slowResources = dir.path() + "/slow-resources";
        copyFolder(examples + "/resources", fastResources);
        copyFolder(examples + "/resources", slowResources);
        QVERIFY(writeTextFile(slowResources + "/Queries/invoice/Supplier.xq", slowQuery));
    }

    void stoppedRun_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("parallel");
        QTest::addColumn<bool>("slow");
        QTest::addColumn<bool>("twice");
        QTest::newRow("SIGINT, many files, docx, parallel") << SIGINT << "docx" << true << false << false;
        QTest::newRow("SIGTERM, many files, odt, parallel") << SIGTERM << "odt" << true << false << false;
        QTest::newRow("SIGHUP, many files, rtf, parallel") << SIGHUP << "rtf" << true << false << false;
        QTest::newRow("SIGKILL, many files, docx, parallel") << SIGKILL << "docx" << true << false << false;
        QTest::newRow("SIGINT, many files, rtf, sequential") << SIGINT << "rtf" << false << false << false;
        QTest::newRow("SIGTERM, many files, docx, sequential") << SIGTERM << "docx" << false << false << false;
        QTest::newRow("SIGKILL, many files, odt, sequential") << SIGKILL << "odt" << false << false << false;
        QTest::newRow("SIGINT, slow document, odt") << SIGINT << "odt" << true << true << false;
        QTest::newRow("SIGTERM, slow document, rtf, sequential") << SIGTERM << "rtf" << false << true << false;
        QTest::newRow("SIGKILL, slow document, docx") << SIGKILL << "docx" << true << true << false;
        QTest::newRow("Ctrl+C twice, slow document, rtf") << SIGINT << "rtf" << true << true << true;
    }

    void stoppedRun()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, format);
        QFETCH(bool, parallel);
        QFETCH(bool, slow);
        QFETCH(bool, twice);
        const QString work = dir.path() + "/run" + QString::number(++runs);
        QVERIFY(QDir().mkpath(work));
        QStringList files;
        for (int i = 0; i < (slow ? 3 : 400); ++i) {
            files << work + QStringLiteral("/invoice_%1.xml").arg(i);
            QVERIFY(QFile::copy(examples + "/data/invoice_147.xml", files.last()));
        }
        const QHash<QString, QByteArray> sourcesBefore = sourceSums(work);
        const QString resources = slow ? slowResources : fastResources;

        QProcess* batch = startBatch(work, resources, format, parallel, files);
        QVERIFY(batch->waitForStarted());
        if (slow) {
            // Every worker is deep in the slow query.
            QVERIFY(waitUntil([&] { return !workersOf(resources).isEmpty(); }, 30000));
            QTest::qWait(700);
        } else {
            QVERIFY2(waitUntil([&] { return documentsIn(work).size() >= 10; }, 60000), qPrintable(batch->readAllStandardError()));
        }
        QVERIFY(batch->state() == QProcess::Running);
        ::kill(pid_t(batch->processId()), signalNumber);
        if (twice)
            ::kill(pid_t(batch->processId()), signalNumber);
        QVERIFY(batch->waitForFinished(30000));
        const QString err = QString::fromUtf8(batch->readAllStandardError());

        const bool handled = signalNumber != SIGKILL && !twice;
        if (signalNumber == SIGKILL) {
            QCOMPARE(batch->exitStatus(), QProcess::CrashExit);
        } else {
            QCOMPARE(batch->exitStatus(), QProcess::NormalExit);
            QCOMPARE(batch->exitCode(), 128 + signalNumber);
        }
        if (handled) {
            QVERIFY2(err.contains(QRegularExpression("Обработка прервана \\(SIG[A-Z]+\\): сформировано документов: "
                                                     "\\d+ из \\d+\\n$")),
                     qPrintable(err.right(400)));
            QVERIFY(readFile(work + "/report.txt").startsWith(QStringLiteral("Исходный файл").toUtf8()));
        }

        // The workers end with their supervisor, even in the middle of a query.
        QVERIFY2(waitUntil([&] { return workersOf(resources).isEmpty(); }, 1000),
                 qPrintable(QString::number(workersOf(resources).size()) + " workers left"));

        // Whatever the moment, a name shows a whole document or nothing.
        for (const QString& document : documentsIn(work))
            QVERIFY2(isWholeDocument(document), qPrintable(document));
        if (!slow)
            QVERIFY(!documentsIn(work).isEmpty());
        if (handled)
            QVERIFY2(stagingFilesIn(work).isEmpty(), qPrintable(stagingFilesIn(work).join(' ')));
        QCOMPARE(sourceSums(work), sourcesBefore);

        // The next run in the folder removes what a killed one left.
        QProcess* next = startBatch(work, fastResources, format, parallel, {files.first()});
        QVERIFY(next->waitForFinished(120000));
        QCOMPARE(next->exitCode(), 0);
        QVERIFY2(stagingFilesIn(work).isEmpty(), qPrintable(stagingFilesIn(work).join(' ')));
        QCOMPARE(sourceSums(work), sourcesBefore);
    }

    // After a run cut short, the same command with --skip-existing makes
    // exactly the documents still missing: one per file, no "_1" copies, and
    // the documents made before stay as they are.
    void resumedRun_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("after SIGINT") << SIGINT;
        QTest::newRow("after SIGKILL") << SIGKILL;
    }
    void resumedRun()
    {
        QFETCH(int, signalNumber);
        const QString work = dir.path() + "/resumed" + QString::number(signalNumber);
        QVERIFY(QDir().mkpath(work));
        QByteArray list;
        for (int i = 0; i < 400; ++i) {
            const QString name = work + QStringLiteral("/invoice_%1.xml").arg(i);
            QVERIFY(QFile::copy(examples + "/data/invoice_147.xml", name));
            list += name.toUtf8() + '\n';
        }
        // The list and the reports beside the folder, which holds only
        // sources and documents.
        QVERIFY(writeFile(work + ".txt", list));
        const auto command = [&](const QString& report) {
            auto* process = new QProcess(this);
            process->setWorkingDirectory(work);
            process->start(qEnvironmentVariable("PLINTHWORKS_BATCH"),
                           {"--resources", fastResources, "--format", "rtf", "--files-from", work + ".txt",
                            "--skip-existing", "--report-format", "jsonl", "--report", report});
            return process;
        };

        QProcess* first = command(work + "-first.jsonl");
        QVERIFY(waitUntil([&] { return documentsIn(work).size() >= 10; }, 60000));
        ::kill(pid_t(first->processId()), signalNumber);
        QVERIFY(first->waitForFinished(30000));
        // Every file that ended has its record; after an orderly stop the
        // others have theirs too.
        const QList<QJsonObject> firstRecords = jsonRecords(work + "-first.jsonl");
        int made = 0;
        for (const QJsonObject& record : firstRecords) {
            const QString state = record.value("state").toString();
            QVERIFY2(state == "made" || state == "not-done", qPrintable(state));
            if (state == "made") {
                ++made;
                QVERIFY(QFileInfo::exists(record.value("documents").toArray().at(0).toString()));
            }
        }
        QVERIFY(made > 0);
        if (signalNumber == SIGINT)
            QCOMPARE(firstRecords.size(), 400);

        QHash<QString, QPair<qint64, QDateTime>> before;
        for (const QString& document : documentsIn(work)) {
            const QFileInfo info(document);
            before.insert(document, {info.size(), info.lastModified()});
        }
        QProcess* second = command(work + "-second.jsonl");
        QVERIFY(second->waitForFinished(120000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY2(stagingFilesIn(work).isEmpty(), qPrintable(stagingFilesIn(work).join(' ')));

        QStringList documents = documentsIn(work);
        QCOMPARE(documents.size(), 400);
        for (const QString& document : documents)
            QVERIFY2(QFileInfo(document).fileName().contains(QRegularExpression("^invoice_\\d+_[^_]+\\.rtf$")),
                     qPrintable(document));
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QFileInfo info(it.key());
            QCOMPARE(qMakePair(info.size(), info.lastModified()), it.value());
        }
        int skipped = 0;
        QStringList recorded;
        for (const QJsonObject& record : jsonRecords(work + "-second.jsonl")) {
            const QString state = record.value("state").toString();
            QVERIFY2(state == "made" || state == "skipped", qPrintable(state));
            skipped += state == "skipped" ? 1 : 0;
            recorded << record.value("documents").toArray().at(0).toString();
        }
        QCOMPARE(skipped, before.size());
        recorded.sort();
        documents.sort();
        QCOMPARE(recorded, documents);
    }

    // Staging files of processes that ended are removed by the next one to
    // write in the folder; those of a process still at work, of another
    // machine, or of a name that says nothing of whose it is, stay.
    void staleStagingFiles()
    {
        const QString work = dir.path() + "/stale";
        QVERIFY(QDir().mkpath(work));
        QProcess live;
        live.start("sleep", {"30"});
        QVERIFY(live.waitForStarted());
        // Above any process id the system gives.
        const qint64 endedPid = 4194303;

        // ".pw-HOST-BOOT-PID-START-RANDOM.tmp" with this machine's host and boot.
        const QStringList own = StagingName::make(1).chopped(4).mid(4).split('-');
        const auto name = [&](const QString& host, qint64 pid, const QString& start) {
            return QStringLiteral(".pw-%1-%2-%3-%4-r.tmp").arg(host, own.at(1)).arg(pid).arg(start);
        };
        const QString liveStart = processStart(live.processId());
        const QStringList kept{name(own.at(0), live.processId(), liveStart), name("elsewhere", 1, "1"),
                               ".pw-12345-abc.tmp"};
        const QStringList removed{name(own.at(0), live.processId(), liveStart + "1"),
                                  name(own.at(0), endedPid, "5")};
        for (const QString& file : kept + removed)
            QVERIFY(writeFile(work + "/" + file, "half"));

        {
            StagedFile staged(work + "/doc.rtf");
            QVERIFY(staged.isValid());
        }
        QStringList left = stagingFilesIn(work);
        left.sort();
        QStringList expected = kept;
        expected.sort();
        QCOMPARE(left, expected);
        live.kill();
        live.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestInterrupt)
#include "tst_interrupt.moc"
