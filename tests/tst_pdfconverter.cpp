// The PDF converter on a real LibreOffice: a PDF of each format holds the
// document's values, one office serves many documents, a hung or crashed
// office costs one document and is replaced, and nothing is left behind.
#include "pdfconverter.h"
#include "stagingname.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <thread>

using namespace TestSupport;

namespace {

const QString examples = QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples");

// The profile folder an office process was started with.
QString profileOf(qint64 pid)
{
    for (const QByteArray& argument : readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0')) {
        if (argument.startsWith("-env:UserInstallation="))
            return QUrl(QString::fromUtf8(argument.mid(22))).toLocalFile();
    }
    return QString();
}

bool processRuns(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))
           && !readFile(QStringLiteral("/proc/%1/stat").arg(pid)).contains(") Z ");
}

} // namespace

class TestPdfConverter : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QHash<QString, QString> documents; // by format
    std::unique_ptr<PdfConverter> shared;

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        if (!LibreOfficeInstallation::find().isComplete())
            QSKIP("LibreOffice or its Python bridge is not installed");
        if (qEnvironmentVariableIsEmpty("PLINTHWORKS_BATCH"))
            QSKIP("the batch command was not built");
        // One invoice in each format, made by the batch command.
        for (const QString format : {"docx", "odt", "rtf"}) {
            const QString folder = dir.path() + "/" + format;
            QDir().mkpath(folder);
            QFile::copy(examples + "/data/invoice_147.xml", folder + "/invoice_147.xml");
            QProcess batch;
            batch.start(qEnvironmentVariable("PLINTHWORKS_BATCH"),
                        {"--resources", examples + "/resources", "--format", format, folder + "/invoice_147.xml"});
            QVERIFY(batch.waitForFinished(60000) && batch.exitCode() == 0);
            const QStringList made = QDir(folder).entryList({"*." + format});
            QCOMPARE(made.size(), 1);
            documents.insert(format, folder + "/" + made.first());
        }
        shared = std::make_unique<PdfConverter>();
    }

    void cleanupTestCase() { shared.reset(); }

    void eachFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("docx") << "docx";
        QTest::newRow("odt") << "odt";
        QTest::newRow("rtf") << "rtf";
    }

    // One office for all three, started once; the file's name does not
    // matter, the format does.
    void eachFormat()
    {
        QFETCH(QString, format);
        const QString staged = dir.path() + "/" + format + "/.pw-document.tmp";
        QVERIFY(QFile::copy(documents.value(format), staged));
        const QString pdf = dir.path() + "/" + format + "/result.tmp";
        writeFile(pdf, QByteArray());
        QString error;
        QVERIFY2(shared->convert(staged, format, pdf, 60, &error), qPrintable(error));
        QVERIFY(readFile(pdf).startsWith("%PDF-"));
        const QString text = LibreOffice::pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Заречная мануфактура")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Триста две тысячи триста сорок рублей")));
        QVERIFY(!text.contains("[%"));
        QCOMPARE(shared->officeStarts(), 1);
        // The office works on copies in its own folder: nothing beside the document.
        QCOMPARE(QDir(dir.path() + "/" + format).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }

    void failureCostsOneDocument_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::newRow("hung office, time limit") << false;
        QTest::newRow("office killed in the middle") << true;
    }

    // The office is stopped, so the next document waits in it; then it is
    // either left hanging past the limit or killed while it has the document.
    void failureCostsOneDocument()
    {
        QFETCH(bool, crash);
        const QString pdf = dir.path() + "/failure.pdf";
        QString error;
        QVERIFY2(shared->convert(documents.value("odt"), "odt", pdf, 60, &error), qPrintable(error));
        const qint64 office = shared->officeProcessId();
        QVERIFY(office > 0);
        QCOMPARE(LibreOffice::descendantProcesses(QCoreApplication::applicationPid(), "soffice.bin"),
                 QList<qint64>{office});
        const int starts = shared->officeStarts();

        ::kill(pid_t(office), SIGSTOP);
        std::thread killer;
        if (crash) {
            killer = std::thread([office] {
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                ::kill(pid_t(office), SIGKILL);
            });
        }
        QFile::remove(pdf);
        const bool converted = shared->convert(documents.value("docx"), "docx", pdf, crash ? 60 : 2, &error);
        if (killer.joinable())
            killer.join();
        QVERIFY(!converted);
        QVERIFY2(error.contains(crash ? QStringLiteral("аварийно") : QStringLiteral("ограничение времени (2 с)")),
                 qPrintable(error));
        QVERIFY(!QFileInfo::exists(pdf));
        QTRY_VERIFY(!processRuns(office));

        // A new office takes the next document.
        QVERIFY2(shared->convert(documents.value("rtf"), "rtf", pdf, 60, &error), qPrintable(error));
        QVERIFY(readFile(pdf).startsWith("%PDF-"));
        QCOMPARE(shared->officeStarts(), starts + 1);
        QVERIFY(shared->officeProcessId() != office);
    }

    // Every converter has a profile of its own, the user's is never made, and
    // the folders go with their converters, those of killed processes with
    // the next converter.
    void privateProfilesRemoved()
    {
        const QString home = qEnvironmentVariable("HOME");
        // A folder such as a converter of an ended process leaves.
        QProcess ended;
        ended.start("true", QStringList());
        const qint64 endedPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        QString stale = StagingName::make(1);
        stale.replace(QStringLiteral("-%1-").arg(QCoreApplication::applicationPid()),
                      QStringLiteral("-%1-").arg(endedPid));
        stale = QDir::tempPath() + "/" + stale;
        QVERIFY(QDir().mkpath(stale + "/profile/user"));

        QStringList profiles;
        QList<qint64> offices;
        {
            PdfConverter first;
            PdfConverter second;
            first.start();
            second.start(); // both start at once
            QString error;
            for (PdfConverter* converter : {&first, &second}) {
                QVERIFY2(converter->convert(documents.value("odt"), "odt", dir.path() + "/profiles.pdf", 60, &error),
                         qPrintable(error));
                offices << converter->officeProcessId();
                profiles << profileOf(offices.last());
            }
            QVERIFY(profiles.at(0) != profiles.at(1));
            for (const QString& profile : profiles) {
                QVERIFY(profile.startsWith(QDir::tempPath() + "/.pw-"));
                QVERIFY(QFileInfo::exists(profile + "/user"));
            }
            QVERIFY(!QFileInfo::exists(stale));
        }
        for (int i = 0; i < 2; ++i) {
            QVERIFY(!processRuns(offices.at(i)));
            QVERIFY(!QFileInfo::exists(QFileInfo(profiles.at(i)).absolutePath()));
        }
        QVERIFY(!QFileInfo::exists(home + "/.config/libreoffice"));
    }

    void missingOffice()
    {
        LibreOfficeInstallation none;
        none.missingPackages << "libreoffice-writer-nogui";
        QVERIFY(none.missingText().contains("libreoffice-writer-nogui"));
        PdfConverter converter(none);
        QString error;
        QVERIFY(!converter.convert(documents.value("odt"), "odt", dir.path() + "/none.pdf", 60, &error));
        QCOMPARE(error, none.missingText());
        QCOMPARE(converter.officeStarts(), 0);

        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.path()));
        const LibreOfficeInstallation found = LibreOfficeInstallation::find();
        qputenv("PATH", path);
        QVERIFY(found.missingPackages.contains("libreoffice-writer-nogui"));
    }
};

QTEST_GUILESS_MAIN(TestPdfConverter)
#include "tst_pdfconverter.moc"
