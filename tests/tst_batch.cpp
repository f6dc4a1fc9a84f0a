// The batch command end to end on copies of the bundled examples: archive
// unpacked, templates detected, documents named and generated, report and
// exit status, and the documents' text as LibreOffice shows it.
#include "libreofficeinstallation.h"
#include "testsupport.h"

#include "shard.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>

using namespace TestSupport;

namespace {

struct BatchRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

BatchRun runBatch(const QStringList& args, const QString& workDir, const QString& outputFile = QString(),
                  const QByteArray& input = QByteArray())
{
    BatchRun run;
    QProcess process;
    process.setWorkingDirectory(workDir);
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("PLINTHWORKS_BATCH"), args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList filesIn(const QString& dir, const QStringList& patterns)
{
    QStringList files;
    QDirIterator it(dir, patterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

const QString examples = QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples");

// What the records say was made or found, against the documents in `dir`:
// an empty text when they agree, else what differs.
QString recordsAgainstDisk(const QList<QJsonObject>& records, const QString& dir, const QString& pattern)
{
    QStringList recorded;
    for (const QJsonObject& record : records) {
        const QString state = record.value("state").toString();
        const QJsonArray documents = record.value("documents").toArray();
        if ((state == "made" || state == "skipped") != (documents.size() == 1))
            return "documents of a record in state " + state;
        for (const QJsonValue& document : documents)
            recorded << document.toString();
    }
    recorded.sort();
    const QStringList onDisk = filesIn(dir, {pattern});
    return recorded == onDisk ? QString() : "recorded " + recorded.join(' ') + "\non disk " + onDisk.join(' ');
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        if (qEnvironmentVariableIsEmpty("PLINTHWORKS_BATCH"))
            QSKIP("the batch command was not built");
    }

    void usageAndHelp()
    {
        const BatchRun help = runBatch({"--help"}, dir.path());
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("Usage"));
        QVERIFY(help.out.contains(QStringLiteral("Использование")));
        const BatchRun bad = runBatch({"--format", "pdf", "a.xml"}, dir.path());
        QCOMPARE(bad.exitCode, 2);
        QVERIFY(bad.err.contains(QStringLiteral("Неизвестный формат")));
        QVERIFY(bad.err.contains("Usage"));
        const BatchRun none = runBatch({}, dir.path());
        QCOMPARE(none.exitCode, 2);
    }

    void examplesInEveryFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("docx") << "docx";
        QTest::newRow("odt") << "odt";
        QTest::newRow("rtf") << "rtf";
    }
    void examplesInEveryFormat()
    {
        QFETCH(QString, format);
        const QString work = dir.path() + "/" + format;
        copyFolder(examples + "/data", work);
        QStringList inputs = filesIn(work, {"*.xml", "*.zip"});
        QVERIFY(!inputs.isEmpty());
        const QString report = work + "/report.txt";
        const BatchRun run = runBatch(QStringList{"--resources", examples + "/resources", "--format", format,
                                                  "--rename", "--report", report}
                                          + inputs,
                                      work);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));

        // One document per XML file, the archive's files included; the
        // excluded request file is not unpacked.
        const QStringList documents = filesIn(work, {"*." + format});
        const QStringList xmlInFolder = filesIn(work, {"*.xml"});
        QCOMPARE(documents.size(), xmlInFolder.size());
        QVERIFY(!QFileInfo::exists(work + "/archive/request.xml"));
        QVERIFY(run.err.contains(QStringLiteral("[%1/%1]").arg(documents.size())));
        for (const QString& document : documents)
            QCOMPARE(QFileInfo(document).absolutePath(), work); // next to the added files

        // The report: header, one line per file, "-" for unpacked files.
        const QStringList lines = QString::fromUtf8(readFile(report)).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.first().startsWith(QStringLiteral("Исходный файл\tРазмер")));
        QCOMPARE(lines.size(), 1 + inputs.size() + filesIn(work + "/archive", {"*"}).size());
        QVERIFY(lines.filter(QRegularExpression("^-[^-]")).size() >= 2);

        if (!LibreOffice::available())
            QSKIP("LibreOffice is not installed");
        const QHash<QString, QString> texts = LibreOffice::toText(documents, work + "/text");
        QCOMPARE(texts.size(), documents.size());
        bool sawAmpersand = false;
        for (auto it = texts.constBegin(); it != texts.constEnd(); ++it) {
            // Characters that are markup in XML reach the document as text.
            sawAmpersand = sawAmpersand || it.value().contains(QStringLiteral("«Дуб & Графит»"));
            QVERIFY2(!it.value().contains("&amp;"), qPrintable(it.key()));
            QVERIFY2(!it.value().trimmed().isEmpty(), qPrintable(it.key()));
            QVERIFY2(!it.value().contains("[%"), qPrintable(it.key()));
            QVERIFY2(!it.value().contains(QStringLiteral("ОШИБКА")), qPrintable(it.key()));
        }
        QVERIFY(sawAmpersand);
    }

    // Names that a command line or a careless list reader would mangle, in
    // a list of lines and NUL-separated on standard input, besides a file
    // on the command line that the list names again.
    void listsOfFiles_data()
    {
        QTest::addColumn<bool>("nul");
        QTest::newRow("lines in a file") << false;
        QTest::newRow("NUL-separated on standard input") << true;
    }
    void listsOfFiles()
    {
        QFETCH(bool, nul);
        const QString work = dir.path() + "/list/" + QTest::currentDataTag();
        const QStringList names{"with space.xml", QStringLiteral("счёт №5.xml"), "-dash.xml", "tab\there.xml",
                                "given.xml"};
        QByteArray list;
        for (const QString& name : names) {
            QVERIFY(QDir().mkpath(work));
            QVERIFY(QFile::copy(examples + "/data/invoice_147.xml", work + "/" + name));
            list += (nul ? work + "/" + name : name).toUtf8() + (nul ? '\0' : '\n');
            if (!nul)
                list += "\n";
        }
        QStringList args{"--resources", examples + "/resources", "--format", "rtf", "--report-format", "jsonl",
                         "--report", work + "/report.jsonl", work + "/given.xml"};
        if (nul) {
            args << "--files-from" << "-" << "--null";
        } else {
            QVERIFY(writeFile(work + "/list.txt", list));
            args << "--files-from" << "list.txt";
        }
        const BatchRun run = runBatch(args, work, QString(), nul ? list : QByteArray());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.err.contains("[5/5]"));

        const QList<QJsonObject> records = jsonRecords(work + "/report.jsonl");
        QStringList sources;
        for (const QJsonObject& record : records) {
            QCOMPARE(record.value("state").toString(), QStringLiteral("made"));
            QCOMPARE(record.value("template").toString(), QStringLiteral("invoice"));
            sources << QFileInfo(record.value("source").toString()).fileName();
        }
        sources.sort();
        QStringList expected = names;
        expected.sort();
        QCOMPARE(sources, expected);
        const QString difference = recordsAgainstDisk(records, work, "*.rtf");
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    void badUsageExits2_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing list") << QStringList{"--files-from", "nowhere.txt"}
                                      << QStringLiteral("Не удалось прочитать список файлов: nowhere.txt");
        QTest::newRow("share past the count") << QStringList{"--shard", "4/4", "a.xml"} << "--shard";
        QTest::newRow("no shares") << QStringList{"--shard", "0/0", "a.xml"} << "--shard";
        QTest::newRow("share not K/N") << QStringList{"--shard", "1:4", "a.xml"} << "--shard";
        QTest::newRow("skip and overwrite") << QStringList{"--skip-existing", "--overwrite", "a.xml"}
                                            << "--skip-existing";
    }
    void badUsageExits2()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const BatchRun run = runBatch(args, dir.path());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    // The recipe of the README: GNU parallel starts four commands at once,
    // each with its share of one list of 2,000 files in one folder.
    void sharesWithGnuParallel()
    {
        const QString parallel = QStandardPaths::findExecutable("parallel");
        if (parallel.isEmpty())
            QSKIP("GNU parallel is not installed");
        const QString work = dir.path() + "/shares";
        QVERIFY(QDir().mkpath(work + "/acts"));
        const QByteArray source = readFile(examples + "/data/invoice_147.xml");
        QByteArray list;
        for (int i = 0; i < 2000; ++i) {
            const QString name = work + QStringLiteral("/acts/inv_%1.xml").arg(i, 4, 10, QLatin1Char('0'));
            QVERIFY(writeFile(name, source));
            list += name.toUtf8() + '\n';
        }
        QVERIFY(writeFile(work + "/list.txt", list));

        QProcess process;
        process.setWorkingDirectory(work);
        process.setStandardErrorFile(work + "/parallel.err");
        process.start(parallel, {qEnvironmentVariable("PLINTHWORKS_BATCH"), "--resources", examples + "/resources",
                                 "--format", "rtf", "--files-from", "list.txt", "--shard", "{}/4", "--skip-existing",
                                 "--report-format", "jsonl", "--report", "report-{}.jsonl", ":::", "0", "1", "2",
                                 "3"});
        QVERIFY(process.waitForFinished(600000));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 readFile(work + "/parallel.err").right(2000).constData());

        QList<QJsonObject> all;
        for (int share = 0; share < 4; ++share) {
            const QList<QJsonObject> records = jsonRecords(work + QStringLiteral("/report-%1.jsonl").arg(share));
            for (const QJsonObject& record : records) {
                QCOMPARE(record.value("state").toString(), QStringLiteral("made"));
                QCOMPARE(Shard::shareOf(record.value("source").toString(), 4), share);
            }
            all += records;
        }
        QStringList sources;
        for (const QJsonObject& record : qAsConst(all))
            sources << record.value("source").toString();
        sources.sort();
        QCOMPARE(sources, filesIn(work + "/acts", {"*.xml"}));
        // One document a file: none twice (no "_1"), none lost.
        QCOMPARE(filesIn(work + "/acts", {"*.rtf"}).size(), 2000);
        const QString difference = recordsAgainstDisk(all, work + "/acts", "*.rtf");
        QVERIFY2(difference.isEmpty(), qPrintable(difference.left(2000)));
    }

    void fileWithoutTemplateFails()
    {
        const QString work = dir.path() + "/unknown";
        writeTextFile(work + "/other.xml", "<something-else/>");
        const QString report = work + "/report.txt";
        const BatchRun run = runBatch({"--resources", examples + "/resources", "--report", report,
                                       "--report-format", "jsonl", work + "/other.xml", work + "/missing.xml"},
                                      work);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(filesIn(work, {"*.docx"}).isEmpty());
        QHash<QString, QJsonObject> records;
        for (const QJsonObject& record : jsonRecords(report))
            records.insert(QFileInfo(record.value("source").toString()).fileName(), record);
        QCOMPARE(records.keys().size(), 2);
        QCOMPARE(records.value("other.xml").value("state").toString(), QStringLiteral("no-template"));
        QCOMPARE(records.value("missing.xml").value("state").toString(), QStringLiteral("failed"));
        QVERIFY(records.value("missing.xml").value("message").toString().contains(
            QStringLiteral("Ошибка! Файл не существует")));
    }

    void fixedTemplateSkipsDetection()
    {
        const QString work = dir.path() + "/fixed";
        copyFolder(examples + "/data", work);
        const QStringList invoices = filesIn(work, {"invoice*.xml"});
        QVERIFY(!invoices.isEmpty());
        const BatchRun run = runBatch(QStringList{"--resources", examples + "/resources", "--format", "rtf",
                                                  "--template", "INVOICE", "--sequential"}
                                          + invoices,
                                      work);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(filesIn(work, {"*.rtf"}).size(), invoices.size());
        const BatchRun unknown = runBatch({"--resources", examples + "/resources", "--template", "nope", invoices.first()},
                                          work);
        QCOMPARE(unknown.exitCode, 2);
    }

    // A report that cannot be written makes the run fail, wherever it goes.
    void reportOnAFullDiskFails_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("output");
        QTest::newRow("file") << "/dev/full" << QString();
        QTest::newRow("standard output") << "-" << "/dev/full";
    }
    void reportOnAFullDiskFails()
    {
        QFETCH(QString, report);
        QFETCH(QString, output);
        if (!QFileInfo("/dev/full").exists())
            QSKIP("no /dev/full here");
        const QString work = dir.path() + "/full/" + QTest::currentDataTag();
        copyFolder(examples + "/data", work);
        const BatchRun run = runBatch({"--resources", examples + "/resources", "--format", "rtf", "--report", report,
                                       work + "/invoice_147.xml"},
                                      work, output);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QStringLiteral("Ошибка сохранения отчёта в файл")));
        QCOMPARE(filesIn(work, {"*.rtf"}).size(), 1);
    }

    // Each format's PDF goes beside its document under the same base name,
    // and holds the document's values; --pdf-only leaves the PDF alone. One
    // office per run (--sequential).
    void pdfBesideEveryDocument_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("option");
        QTest::newRow("docx") << "docx" << "--pdf";
        QTest::newRow("odt") << "odt" << "--pdf";
        QTest::newRow("rtf") << "rtf" << "--pdf";
        QTest::newRow("pdf only") << "docx" << "--pdf-only";
    }
    void pdfBesideEveryDocument()
    {
        QFETCH(QString, format);
        QFETCH(QString, option);
        if (!LibreOfficeInstallation::find().isComplete())
            QSKIP("LibreOffice or its Python bridge is not installed");
        const QString work = dir.path() + "/pdf/" + QTest::currentDataTag();
        copyFolder(examples + "/data", work);
        const BatchRun run = runBatch({"--resources", examples + "/resources", "--format", format, option,
                                       "--sequential", work + "/invoice_147.xml", work + "/AKT_2024-031.xml"},
                                      work);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const bool keepDocument = option == "--pdf";
        const QHash<QString, QString> values{{QStringLiteral("invoice_147_счёт"), QStringLiteral("Заречная мануфактура")},
                                             {QStringLiteral("2024-031_акт"), QStringLiteral("Белый парус")}};
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            const QString pdf = work + "/" + it.key() + ".pdf";
            QVERIFY2(LibreOffice::pdfText(pdf).contains(it.value()), qPrintable(pdf));
            QCOMPARE(QFileInfo::exists(work + "/" + it.key() + "." + format), keepDocument);
            QVERIFY(run.err.contains(keepDocument ? "." + format + ", " + it.key() + ".pdf" : "→ " + pdf));
        }
        QCOMPARE(filesIn(work, {"*.pdf"}).size(), 2);
        QCOMPARE(filesIn(work, {"*." + format}).size(), keepDocument ? 2 : 0);
        QCOMPARE(QDir(work).entryList({".pw-*"}, QDir::Files | QDir::Hidden).size(), 0);
    }

    void pdfWithoutLibreOffice()
    {
        const QString work = dir.path() + "/nooffice";
        copyFolder(examples + "/data", work);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(work));
        const BatchRun run = runBatch({"--resources", examples + "/resources", "--pdf", work + "/invoice_147.xml"}, work);
        qputenv("PATH", path);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.trimmed().count('\n'), 0);
        QVERIFY2(run.err.contains("libreoffice-writer-nogui"), qPrintable(run.err));
        QVERIFY(filesIn(work, {"*.docx", "*.pdf"}).isEmpty());
    }

    // The office is stopped while it has work and then killed: the file in
    // flight keeps its document and is reported, a new office takes the rest.
    void pdfFailureKeepsTheDocument()
    {
        if (!LibreOfficeInstallation::find().isComplete())
            QSKIP("LibreOffice or its Python bridge is not installed");
        const QString work = dir.path() + "/pdfkill";
        copyFolder(examples + "/data", work);
        const QStringList inputs = filesIn(work, {"*.xml"});
        QProcess batch;
        batch.start(qEnvironmentVariable("PLINTHWORKS_BATCH"),
                    QStringList{"--resources", examples + "/resources", "--pdf", "--sequential"} + inputs);
        QTRY_VERIFY_WITH_TIMEOUT(!filesIn(work, {"*.pdf"}).isEmpty(), 120000);
        const QList<qint64> offices = LibreOffice::descendantProcesses(batch.processId(), "soffice.bin");
        QCOMPARE(offices.size(), 1);
        ::kill(pid_t(offices.first()), SIGSTOP);
        QTest::qWait(1500);
        ::kill(pid_t(offices.first()), SIGKILL);
        QVERIFY(batch.waitForFinished(300000));
        const QString err = QString::fromUtf8(batch.readAllStandardError());
        QCOMPARE(batch.exitCode(), 1);
        QCOMPARE(err.count(QStringLiteral("не удалось преобразовать в PDF (LibreOffice завершился аварийно)")), 1);
        QCOMPARE(filesIn(work, {"*.docx"}).size(), inputs.size());
        QVERIFY2(filesIn(work, {"*.pdf"}).size() == inputs.size() - 1, qPrintable(err));
    }

    // Two commands at once over the same files in one folder: every document
    // and every PDF has a name of its own, and each PDF the name of its document.
    void twoCommandsNeverShareAName()
    {
        if (!LibreOfficeInstallation::find().isComplete())
            QSKIP("LibreOffice or its Python bridge is not installed");
        const QString work = dir.path() + "/pdftwice";
        copyFolder(examples + "/data", work);
        const QStringList inputs = filesIn(work, {"invoice*.xml", "AKT*.xml"});
        QProcess first;
        QProcess second;
        for (QProcess* batch : {&first, &second})
            batch->start(qEnvironmentVariable("PLINTHWORKS_BATCH"),
                         QStringList{"--resources", examples + "/resources", "--pdf", "--sequential"} + inputs);
        for (QProcess* batch : {&first, &second}) {
            QVERIFY(batch->waitForFinished(300000));
            QVERIFY2(batch->exitCode() == 0, batch->readAllStandardError().constData());
        }
        QStringList documents;
        QStringList pdfs;
        for (const QString& file : filesIn(work, {"*.docx"}))
            documents << QFileInfo(file).completeBaseName();
        for (const QString& file : filesIn(work, {"*.pdf"}))
            pdfs << QFileInfo(file).completeBaseName();
        QCOMPARE(documents.size(), 2 * inputs.size());
        QCOMPARE(pdfs, documents);
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
