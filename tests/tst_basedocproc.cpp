// Query-name resolution, the error marker and the iteration variable stack.
#include "basedocproc.h"
#include "globals.h"
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "status.h"
#include "testsupport.h"

#include <QtTest>

using namespace TestSupport;

class TestBaseDocProc : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    MessageSenderObject sender;
    MessageHandler handler;
    QStringList log;
    QString xml;

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        initGlobalResourcePaths();
        connect(&sender, &MessageSenderObject::sendMessageSignal, this, [this](const QString& l) { log << l; });
        setGlobalMessageSender(&sender);
        xml = dir.path() + "/src.xml";
        writeTextFile(xml, "<doc><row>a</row><row>b</row><row>c</row></doc>");
    }
    void init() { log.clear(); }

    void queryNamesResolveThroughResourceFolders()
    {
        ResourceFolder later;
        ResourceFolder earlier; // prepended last, so searched first
        later.addLiteralQuery("t", "Rows", "later");
        earlier.addLiteralQuery("t", "Rows", "earlier");
        later.addLiteralQuery("t", "Only", "only-later");
        earlier.addLiteralQuery("t", "Upper.XQ", "upper");

        BaseDocProc proc(xml, QString(), QString(), "Queries/t", nullptr);
        QCOMPARE(proc.getQueryResult("Rows"), QStringLiteral("earlier"));
        QCOMPARE(proc.getQueryResult("Only"), QStringLiteral("only-later"));
        QCOMPARE(proc.queryFilePath("Rows"), earlier.path() + "/Queries/t/Rows.xq");
        // A name that already ends in .xq (any case) is used as written.
        QCOMPARE(proc.getQueryResult("Upper.XQ"), QStringLiteral("upper"));
        QCOMPARE(proc.queryFilePath("Upper.XQ"), earlier.path() + "/Queries/t/Upper.XQ");
        QVERIFY(!proc.queryProc().hasErrors());
    }

    void unresolvedNameIsUsedAsPathAndFailsWithMarker()
    {
        BaseDocProc proc(xml, QString(), QString(), "Queries/none", nullptr);
        proc.setMessageHandler(&handler);
        const QString absolute = dir.path() + "/direct";
        writeTextFile(absolute + ".xq", queryPrologue() + "'direct'");
        QCOMPARE(proc.getQueryResult(absolute), QStringLiteral("direct"));

        QCOMPARE(proc.getQueryResult("Missing"), BaseDocProc::errorMarker);
        QCOMPARE(proc.queryFilePath("Missing"), QStringLiteral("Missing.xq"));
        QVERIFY(proc.queryProc().hasErrors());
        QVERIFY(!proc.hasTemplateErrors());
        QTRY_VERIFY(log.join('\n').contains(QStringLiteral("Ошибка открытия файла запроса")));
    }

    void failingQueryMarksDocument()
    {
        ResourceFolder res;
        res.addQuery("f", "bad", queryPrologue() + "xs:integer('x')");
        BaseDocProc proc(xml, QString(), QString(), "Queries/f", nullptr);
        QCOMPARE(proc.getQueryResult("bad"), QStringLiteral("!!! ОШИБКА !!!"));
        QVERIFY(proc.queryProc().hasErrors());
    }

    void iterationStack()
    {
        ResourceFolder res;
        res.addQuery("it", "row", queryPrologue()
                                              + "declare variable $i external; declare variable $j external;\n"
                                                "concat(doc($inputDocument)/doc/row[$i], $j)");
        BaseDocProc proc(xml, QString(), QString(), "Queries/it", nullptr);
        proc.setMessageHandler(&handler);

        QVERIFY(!proc.initIterateVar("i", 0));
        QVERIFY(proc.iterationDepth() == 0 && proc.queryVars().isEmpty());
        QVERIFY(!proc.hasTemplateErrors());

        QVERIFY(proc.initIterateVar("i", 2));
        QCOMPARE(proc.incIterateVarOnTop(), 1);
        QVERIFY(proc.initIterateVar("j", 3));
        QStringList seen;
        for (int j = proc.incIterateVarOnTop(); j != 0; j = proc.incIterateVarOnTop())
            seen << proc.getQueryResult("row");
        QCOMPARE(seen, QStringList({"a1", "a2", "a3"}));
        QVERIFY(!proc.queryVars().contains("j"));
        QCOMPARE(proc.queryVars().value("i").toInt(), 1);
        QCOMPARE(proc.incIterateVarOnTop(), 2);
        QCOMPARE(proc.incIterateVarOnTop(), 0);
        QVERIFY(proc.queryVars().isEmpty());
        QCOMPARE(proc.iterationDepth(), 0);
        QCOMPARE(proc.incIterateVarOnTop(), 0);

        // Reusing an open variable in a nested block is a template error.
        QVERIFY(proc.initIterateVar("i", 1));
        QVERIFY(!proc.initIterateVar("i", 1));
        QVERIFY(proc.hasTemplateErrors());
        QCOMPARE(proc.iterationDepth(), 1);
        QTRY_VERIFY(log.join('\n').contains(
            QStringLiteral("Ошибка! Повторное использование переменной i во вложенном цикле")));
    }

    void reportErrorWithoutHandlerStillSetsFlag()
    {
        BaseDocProc proc(xml, QString(), QString(), QString(), nullptr);
        QVERIFY(!proc.generateDocument());
        proc.reportError("x", QString());
        QVERIFY(proc.hasTemplateErrors());
        QCOMPARE(proc.xmlSourceFilePath(), QFileInfo(xml).absolutePath());
    }
};

QTEST_GUILESS_MAIN(TestBaseDocProc)
#include "tst_basedocproc.moc"
