// The status service: time-stamped lines from any thread, the XQuery message line.
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "status.h"
#include "testsupport.h"

#include <QSourceLocation>
#include <QThread>
#include <QtTest>

class TestStatus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initHermeticEnvironment(); }

    void callBeforeRegistrationIsDropped()
    {
        setGlobalMessageSender(nullptr);
        showStatus(QStringLiteral("nobody listens"));
        QVERIFY(globalMessageSender() == nullptr);
    }

    void lineHasTimeStamp()
    {
        const QString line = statusLine(QStringLiteral("текст"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} : текст$"))
                    .match(line)
                    .hasMatch());
    }

    void workerLinesArriveInOrderInMainThread()
    {
        MessageSenderObject sender;
        QStringList received;
        QList<QThread*> receivingThreads;
        connect(&sender, &MessageSenderObject::sendMessageSignal, this,
                [&](const QString& line) {
                    received << line;
                    receivingThreads << QThread::currentThread();
                },
                Qt::QueuedConnection);
        setGlobalMessageSender(&sender);

        QThread* worker = QThread::create([] {
            for (int i = 0; i < 200; ++i)
                showStatus(QStringLiteral("line %1").arg(i));
        });
        worker->start();
        QVERIFY(worker->wait(10000));
        delete worker;
        QTRY_COMPARE(received.size(), 200);
        for (int i = 0; i < 200; ++i) {
            QVERIFY(received.at(i).endsWith(QStringLiteral(" : line %1").arg(i)));
            QCOMPARE(receivingThreads.at(i), QThread::currentThread());
        }
        setGlobalMessageSender(nullptr);
    }

    void messageHandlerLine_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QUrl>("identifier");
        QTest::addColumn<QSourceLocation>("location");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no location")
            << "<html xmlns='http://www.w3.org/1999/xhtml/'><body><p>Bad <span>thing</span> &amp; more</p></body></html>"
            << QUrl("http://www.w3.org/2005/xqt-errors#XPST0003") << QSourceLocation()
            << "Ошибка, описание: Bad thing & more, идентификатор: http://www.w3.org/2005/xqt-errors#XPST0003";
        QTest::newRow("query file in capitals")
            << "" << QUrl() << QSourceLocation(QUrl::fromLocalFile("/q/Rows.XQ"), 3, 7)
            << "Ошибка в запросе: Rows.XQ, строка: 3, позиция: 7";
        QTest::newRow("other file") << "<p></p>" << QUrl() << QSourceLocation(QUrl::fromLocalFile("/s/a.xml"), -1, -1)
                                    << "Ошибка в файле: a.xml";
    }
    void messageHandlerLine()
    {
        QFETCH(QString, description);
        QFETCH(QUrl, identifier);
        QFETCH(QSourceLocation, location);
        QFETCH(QString, expected);
        QCOMPARE(MessageHandler::formatMessage(QtCriticalMsg, description, identifier, location), expected);
    }

    void warningsAreIgnored()
    {
        MessageSenderObject sender;
        QStringList received;
        connect(&sender, &MessageSenderObject::sendMessageSignal, this, [&](const QString& l) { received << l; });
        setGlobalMessageSender(&sender);
        MessageHandler handler;
        handler.message(QtWarningMsg, "w", QUrl(), QSourceLocation());
        handler.message(QtCriticalMsg, "c", QUrl(), QSourceLocation());
        QCOMPARE(received.size(), 1);
        QVERIFY(received.first().endsWith(" : Ошибка, описание: c"));
        setGlobalMessageSender(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestStatus)
#include "tst_status.moc"
