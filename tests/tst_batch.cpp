// The batch command end to end on copies of the bundled examples: archive
// unpacked, templates detected, documents named and generated, report and
// exit status, and the documents' text as LibreOffice shows it.
#include "libreofficeinstallation.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QProcess>
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

BatchRun runBatch(const QStringList& args, const QString& workDir, const QString& outputFile = QString())
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

    void fileWithoutTemplateFails()
    {
        const QString work = dir.path() + "/unknown";
        writeTextFile(work + "/other.xml", "<something-else/>");
        const QString report = work + "/report.txt";
        const BatchRun run = runBatch({"--resources", examples + "/resources", "--report", "-", work + "/other.xml",
                                       work + "/missing.xml"},
                                      work);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.contains(QStringLiteral("Ошибка! Файл не существует")));
        QVERIFY(filesIn(work, {"*.docx"}).isEmpty());
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
        QCOMPARE(filesIn(work, {"*.pdf"}).size(), inputs.size() - 1);
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
