// Real XQuery files through Qt XmlPatterns: results, variables, caching, failures.
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "queryproc.h"
#include "status.h"
#include "testsupport.h"

#include <QThread>
#include <QtTest>

using namespace TestSupport;

class TestQueryProc : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    MessageSenderObject sender;
    MessageHandler handler;
    QStringList log;

    QString source(const QString& name, const QString& xml)
    {
        const QString path = dir.path() + QLatin1Char('/') + name;
        writeTextFile(path, xml);
        return path;
    }
    QString query(const QString& name, const QString& body)
    {
        const QString path = dir.path() + QStringLiteral("/q/") + name;
        writeTextFile(path, queryPrologue() + body);
        return path;
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        connect(&sender, &MessageSenderObject::sendMessageSignal, this, [this](const QString& l) { log << l; });
        setGlobalMessageSender(&sender);
    }
    void init() { log.clear(); }

    void stringAndElementResults()
    {
        const QString xml = source("a.xml", "<doc><client>ООО «Ромашка»</client><n>3</n></doc>");
        QueryProc proc(xml);
        QCOMPARE(proc.executeQuery(query("client.xq", "string(doc($inputDocument)/doc/client)"), {}),
                 QStringLiteral("ООО «Ромашка»"));
        QVERIFY(proc.lastQuerySucceeded());
        QCOMPARE(proc.executeQuery(query("elem.xq", "<b>{doc($inputDocument)/doc/n/text()}</b>"), {}),
                 QStringLiteral("<b>3</b>"));
        QCOMPARE(proc.executeQuery(query("seq.xq", "(1, 'x', doc($inputDocument)/doc/n/text())"), {}),
                 QStringLiteral("1 x3"));
        QCOMPARE(proc.executeQuery(query("uri.xq", "string($inputDocument)"), {}),
                 QUrl::fromLocalFile(xml).toString());
        QVERIFY(!proc.hasErrors());
    }

    void resultText_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected");
        // Text reaches documents as it is; only element results are markup.
        QTest::newRow("string with markup characters") << "string(doc($inputDocument)/doc/firm)"
                                                        << "Рога & Копыта <ООО> \"Ромашка\"";
        QTest::newRow("text node") << "doc($inputDocument)/doc/firm/text()" << "Рога & Копыта <ООО> \"Ромашка\"";
        QTest::newRow("atomic sequence") << "(1, 'a&amp;b', 2.5, xs:date('2024-03-15'), true())"
                                         << "1 a&b 2.5 2024-03-15 true";
        QTest::newRow("entity-like text") << "'&amp;amp; &amp;lt;'" << "&amp; &lt;";
        QTest::newRow("element keeps markup") << "<b>{string(doc($inputDocument)/doc/firm)}</b>"
                                              << "<b>Рога &amp; Копыта &lt;ООО&gt; \"Ромашка\"</b>";
        QTest::newRow("empty sequence") << "()" << "";
        QTest::newRow("line feeds and tabs") << "concat('a', '&#9;', 'b', '&#10;', 'c')" << "a\tb\nc";
    }
    void resultText()
    {
        QFETCH(QString, body);
        QFETCH(QString, expected);
        const QString xml = source("firm.xml", "<doc><firm>Рога &amp; Копыта &lt;ООО&gt; \"Ромашка\"</firm></doc>");
        QueryProc proc(xml);
        QCOMPARE(proc.executeQuery(query("r.xq", body), {}), expected);
        QVERIFY(proc.lastQuerySucceeded());
    }

    void variableBoundWithTwoValuesCompiledOnce()
    {
        const QString xml = source("rows.xml", "<doc><r>first</r><r>second</r></doc>");
        const QString q = query("row.xq", "declare variable $i external;\nstring(doc($inputDocument)/doc/r[$i])");
        QueryProc proc(xml);
        QCOMPARE(proc.executeQuery(q, {{"i", 1}}), QStringLiteral("first"));
        const QXmlQuery* compiled = proc.cachedQuery(q);
        QVERIFY(compiled);
        // Rewriting the file proves the second run uses the compiled query.
        writeTextFile(q, queryPrologue() + "'changed'");
        QCOMPARE(proc.executeQuery(q, {{"i", 2}}), QStringLiteral("second"));
        QCOMPARE(proc.cachedQuery(q), compiled);
        QCOMPARE(proc.cachedQueryCount(), 1);
    }

    void missingQueryFile()
    {
        const QString xml = source("m.xml", "<doc/>");
        QueryProc proc(xml);
        proc.setMessageHandler(&handler);
        QCOMPARE(proc.executeQuery(dir.path() + "/q/nothere.xq", {}), QString());
        QVERIFY(proc.hasErrors());
        QVERIFY(!proc.lastQuerySucceeded());
        QVERIFY(proc.cachedQueryCount() == 0);
        QTRY_VERIFY(!log.isEmpty());
        QVERIFY(log.last().contains(QStringLiteral("Ошибка в запросе: nothere.xq, описание: Ошибка открытия файла запроса")));
        // A later good query does not clear the sticky flag.
        QCOMPARE(proc.executeQuery(query("one.xq", "1"), {}), QStringLiteral("1"));
        QVERIFY(proc.lastQuerySucceeded());
        QVERIFY(proc.hasErrors());
    }

    void queryThatDoesNotCompileStaysCached()
    {
        const QString xml = source("c.xml", "<doc/>");
        const QString bad = query("bad.xq", "for $x in (1,2 return");
        QueryProc proc(xml);
        proc.setMessageHandler(&handler);
        QCOMPARE(proc.executeQuery(bad, {}), QString());
        QVERIFY(proc.hasErrors());
        QVERIFY(proc.cachedQuery(bad) != nullptr);
        QTRY_VERIFY(log.join('\n').contains(QStringLiteral("Ошибка в запросе: bad.xq, строка: ")));
        QCOMPARE(proc.executeQuery(bad, {}), QString());
        QVERIFY(!proc.lastQuerySucceeded());
    }

    void runtimeFailureGivesNullResult()
    {
        const QString xml = source("f.xml", "<doc/>");
        QueryProc proc(xml);
        proc.setMessageHandler(&handler);
        const QString result = proc.executeQuery(query("fail.xq", "error(xs:QName('stop'), 'boom')"), {});
        QVERIFY(result.isNull());
        QVERIFY(proc.hasErrors());
    }

    void missingSourceFile()
    {
        QueryProc proc(dir.path() + "/absent.xml");
        QVERIFY(proc.hasErrors());
        // The same name again does nothing and repeats the flag.
        QVERIFY(proc.setSourceFileName(dir.path() + "/absent.xml"));
        QVERIFY(!proc.setSourceFileName(source("present.xml", "<doc/>")));
        QVERIFY(!proc.hasErrors());
    }

    void switchingSourceRepointsCachedQueries()
    {
        const QString a = source("sa.xml", "<doc><v>A</v></doc>");
        const QString b = source("sb.xml", "<doc><v>B</v></doc>");
        const QString v = query("v.xq", "string(doc($inputDocument)/doc/v)");
        const QString w = query("w.xq", "concat('w', doc($inputDocument)/doc/v)");
        QueryProc proc(a);
        QCOMPARE(proc.executeQuery(v, {}), QStringLiteral("A"));
        QCOMPARE(proc.executeQuery(w, {}), QStringLiteral("wA"));
        QVERIFY(!proc.setSourceFileName(b));
        QCOMPARE(proc.executeQuery(v, {}), QStringLiteral("B"));
        QCOMPARE(proc.executeQuery(w, {}), QStringLiteral("wB"));
        QCOMPARE(proc.cachedQueryCount(), 2);
    }

    void nextDocumentReusesCompiledQueriesAndSeesChanges()
    {
        const QString a = source("na.xml", "<doc><v>A</v></doc>");
        const QString b = source("nb.xml", "<doc><v>B</v></doc>");
        const QString v = query("nv.xq", "string(doc($inputDocument)/doc/v)");
        const QString bad = query("nbad.xq", "for $x in (1,2 return");
        const QXmlQuery* compiled = nullptr;
        {
            QueryProc first(a);
            first.setMessageHandler(&handler);
            QCOMPARE(first.executeQuery(v, {}), QStringLiteral("A"));
            compiled = first.cachedQuery(v);
            QCOMPARE(first.executeQuery(bad, {}), QString());
        }
        QTRY_COMPARE(log.filter(QStringLiteral("nbad.xq")).size(), 1);
        {
            // The next document of the thread: the same compiled query, its
            // own source; a query that does not compile says so again.
            QueryProc second(b);
            second.setMessageHandler(&handler);
            QCOMPARE(second.executeQuery(v, {}), QStringLiteral("B"));
            QCOMPARE(second.cachedQuery(v), compiled);
            QCOMPARE(second.executeQuery(bad, {}), QString());
        }
        QTRY_COMPARE(log.filter(QStringLiteral("nbad.xq")).size(), 2);
        // A source rewritten under the same name and an edited query file
        // are read anew, never taken from what the thread kept.
        writeTextFile(a, "<doc><v>A2, longer</v></doc>");
        QueryProc third(a);
        third.setMessageHandler(&handler);
        QCOMPARE(third.executeQuery(v, {}), QStringLiteral("A2, longer"));
        writeTextFile(v, queryPrologue() + "concat('edited ', doc($inputDocument)/doc/v)");
        QueryProc fourth(b);
        fourth.setMessageHandler(&handler);
        QCOMPARE(fourth.executeQuery(v, {}), QStringLiteral("edited B"));
    }

    void queriesInSeveralThreadsAtOnce()
    {
        // Worker threads each make, compile, run and destroy their own queries.
        const QString xml = source("t.xml", "<doc><v>Ж</v><v>Ю</v></doc>");
        const QString count = query("count.xq", "count(doc($inputDocument)/doc/v)");
        const QString value = query("value.xq", "declare variable $i external; string(doc($inputDocument)/doc/v[$i])");
        QueryProc::prepareForThreads();
        QAtomicInt wrong;
        QList<QThread*> threads;
        for (int t = 0; t < 3; ++t) {
            threads << QThread::create([&] {
                for (int n = 0; n < 150; ++n) {
                    QueryProc proc(xml);
                    if (proc.executeQuery(count, {}) != QLatin1String("2")
                        || proc.executeQuery(value, {{"i", 2}}) != QStringLiteral("Ю"))
                        wrong.ref();
                }
            });
            threads.last()->start();
        }
        for (QThread* thread : threads)
            QVERIFY(thread->wait(60000));
        qDeleteAll(threads);
        QCOMPARE(wrong.loadAcquire(), 0);
    }

    void deviceModeAndFocus()
    {
        const QString xml = source("d.xml", "<doc><v>D</v></doc>");
        QueryProc proc(xml, QueryProc::Options());
        const QString q = dir.path() + "/q/focus.xq";
        writeTextFile(q, "string(/doc/v)");
        QCOMPARE(proc.executeQuery(q, {}), QStringLiteral("D"));
    }
};

QTEST_GUILESS_MAIN(TestQueryProc)
#include "tst_queryproc.moc"
