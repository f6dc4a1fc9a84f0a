// The window's query work in worker processes, on the real window
// offscreen: a query that crashes the XQuery engine costs one file and the
// window lives on; a query of minutes is stopped within two seconds by
// «Остановить обработку» and by closing; the time limit and the repeat
// limit of the settings persist and apply.
#include "mainwindow.h"
#include "settingscatalogue.h"
#include "settingsdialog.h"
#include "settingsgroup.h"
#include "testsupport.h"
#include "xmlfileitem.h"

#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

const QString examples = QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples");
const QString crashingQuery = QStringLiteral(
    "declare function local:f($x as xs:integer) as xs:integer { local:f($x + 1) + 1 }; string(local:f(1))");
const QString slowQuery = QStringLiteral("string(sum(for $i in 1 to 2000000000 return $i mod 7))");

// Says «Да» to the question the next close asks.
void confirmNextQuestion()
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            box->button(QMessageBox::Yes)->click();
        }
    });
    poll->start(10);
}

// Worker processes that serve the resource folder `resources`.
int workersOf(const QString& resources)
{
    int count = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QList<QByteArray> arguments = readFile("/proc/" + entry + "/cmdline").split('\0');
        if (arguments.contains("--worker") && arguments.contains(resources.toUtf8()))
            ++count;
    }
    return count;
}

} // namespace

class TestWindowProcesses : public QObject
{
    Q_OBJECT
    QTemporaryDir work;
    std::unique_ptr<ResourceFolder> res;
    QString supplierQuery;
    int folders = 0;

    // Fresh copies of sample files in a folder of their own.
    QStringList sources(const QStringList& names)
    {
        const QString folder = work.path() + QStringLiteral("/run%1").arg(++folders);
        QDir().mkpath(folder);
        QStringList files;
        for (const QString& name : names) {
            files << folder + "/" + name;
            QFile::copy(examples + "/data/" + name, files.last());
        }
        return files;
    }

    void setSupplierQuery(const QString& query)
    {
        QVERIFY(writeTextFile(res->path() + "/Queries/invoice/Supplier.xq", query));
    }

    // A window with the files added and their templates recognised.
    std::unique_ptr<MainWindow> windowWith(const QStringList& files)
    {
        auto window = std::make_unique<MainWindow>();
        window->show();
        window->addFileNames(files);
        QElapsedTimer clock;
        clock.start();
        while (window->processingList().items().size() < files.size() && clock.elapsed() < 10000)
            QTest::qWait(10);
        waitForRunEnd(*window, 60000);
        return window;
    }

    XmlFileItem* item(MainWindow& window, int row)
    {
        return dynamic_cast<XmlFileItem*>(window.processingList().items().value(row));
    }

private slots:
    void initTestCase()
    {
        if (!initWindowTests())
            QSKIP("the batch command, which serves as the worker program, was not built");
        res = std::make_unique<ResourceFolder>();
        copyFolder(examples + "/resources", res->path());
        supplierQuery = QString::fromUtf8(readFile(res->path() + "/Queries/invoice/Supplier.xq"));
    }

    void init()
    {
        clearSettingsStore();
        setSupplierQuery(supplierQuery);
    }

    void crashCostsOneFile()
    {
        setSupplierQuery(crashingQuery);
        auto window = windowWith(sources({"invoice_147.xml", "AKT_2024-031.xml"}));
        if (underSanitizer)
            gst[stRunTimeLimit] = 20; // the sanitizer makes the recursion slow to reach its end
        actionNamed(window.get(), "Запустить обработку")->trigger();
        QVERIFY(waitForRunEnd(*window, 300000));

        const QString crashed = underSanitizer ? "Ошибка! Формирование документа по файлу"
                                               : "invoice_147.xml завершилось аварийно при выполнении запросов";
        XmlFileItem* invoice = item(*window, 0);
        QVERIFY(invoice->hasError());
        QVERIFY2(invoice->errorText().contains(crashed), qPrintable(invoice->errorText()));
        QVERIFY(window->filesView()->model()->index(0, colErrorText).data().toString().contains(crashed));
        QVERIFY(window->messageLog()->toPlainText().contains(crashed));
        // The other file is made, and the window goes on.
        QCOMPARE(int(item(*window, 1)->state()), int(stateGenerated));
        QVERIFY(QFileInfo::exists(item(*window, 1)->destFilePath()));
        QVERIFY(window->isVisible());
        QCOMPARE(window->filesView()->model()->rowCount(), 2);
    }

    void longQueryIsStopped_data()
    {
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("«Остановить обработку»") << false;
        QTest::newRow("closing with «Да»") << true;
    }
    void longQueryIsStopped()
    {
        QFETCH(bool, byClosing);
        setSupplierQuery(slowQuery);
        const QStringList files = sources({"invoice_147.xml", "invoice_152.xml"});
        auto window = windowWith(files);
        QCOMPARE(int(item(*window, 0)->state()), int(stateRecognized));
        actionNamed(window.get(), "Запустить обработку")->trigger();
        // Every worker is deep in the query.
        QTRY_VERIFY_WITH_TIMEOUT(workersOf(res->path()) > 0, 20000);
        QTest::qWait(1000);
        QVERIFY(window->processingList().isProcessing());

        QElapsedTimer clock;
        clock.start();
        if (byClosing) {
            confirmNextQuestion();
            window->close();
            QVERIFY(!window->isVisible());
        } else {
            actionNamed(window.get(), "Остановить обработку")->trigger();
            QVERIFY(waitForRunEnd(*window, 2000));
        }
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!window->processingList().isProcessing());
        // The files keep the state they had, and nothing is left half-made.
        for (int row = 0; row < files.size(); ++row) {
            QCOMPARE(int(item(*window, row)->state()), int(stateRecognized));
            QVERIFY2(!item(*window, row)->hasError(), qPrintable(item(*window, row)->errorText()));
        }
        const QString folder = QFileInfo(files.first()).path();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), files.size());
        QTRY_COMPARE_WITH_TIMEOUT(workersOf(res->path()), 0, 2000);
    }

    void limitsOfTheSettingsApply()
    {
        // Set in the dialog, kept in the settings store, used by the next window.
        {
            MainWindow window;
            SettingsDialog dialog(&window);
            dialog.findChild<QSpinBox*>("runTimeLimitSpin")->setValue(1);
            dialog.findChild<QSpinBox*>("runMaxRepeatSpin")->setValue(2);
            dialog.accept();
        }
        QCOMPARE(QSettings().value("RunSettings/runTimeLimit").toInt(), 1);
        QCOMPARE(QSettings().value("RunSettings/runMaxRepeat").toInt(), 2);
        initGlobalSettings();

        setSupplierQuery(slowQuery);
        auto window = windowWith(sources({"invoice_147.xml"}));
        actionNamed(window.get(), "Запустить обработку")->trigger();
        QVERIFY(waitForRunEnd(*window, 30000));
        QVERIFY2(item(*window, 0)->errorText().contains("прервано: превышено ограничение времени (1 с)"),
                 qPrintable(item(*window, 0)->errorText()));

        // Three notes are more repetitions than the two allowed.
        setSupplierQuery(supplierQuery);
        window->processingList().clearErrors();
        actionNamed(window.get(), "Запустить обработку")->trigger();
        QVERIFY(waitForRunEnd(*window, 60000));
        QVERIFY2(window->messageLog()->toPlainText().contains("больше допустимого 2"),
                 qPrintable(window->messageLog()->toPlainText().right(2000)));
    }
};

QTEST_MAIN(TestWindowProcesses)
#include "tst_windowprocesses.moc"
