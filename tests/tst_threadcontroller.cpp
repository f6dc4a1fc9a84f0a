// The worker controller: limits, sequential order, stopping, one finish signal.
#include "fileitem.h"
#include "testsupport.h"
#include "threadcontroller.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>

using namespace TestSupport;

namespace {

// Records how many workers run at once and in which threads.
struct Probe
{
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    std::atomic<int> done{0};
    int sleepMs = 30;
    bool failOdd = false;
    QMutex mutex;
    QList<QThread*> threads;
    QList<FileItem*> order;
    QHash<FileItem*, qint64> startedAt;
    QHash<FileItem*, qint64> endedAt;
    QElapsedTimer clock;
    Probe() { clock.start(); }
};

class ProbeWorker : public ThreadWorker
{
    Q_OBJECT
public:
    using ThreadWorker::ThreadWorker;
    static ThreadWorker* newWorker(FileItem* item, void* params) { return new ProbeWorker(item, params); }
public slots:
    void doWork() override
    {
        auto* probe = static_cast<Probe*>(params);
        const int now = ++probe->running;
        int peak = probe->peak;
        while (now > peak && !probe->peak.compare_exchange_weak(peak, now)) {
        }
        {
            QMutexLocker lock(&probe->mutex);
            probe->threads << QThread::currentThread();
            probe->order << item;
            probe->startedAt.insert(item, probe->clock.nsecsElapsed());
        }
        QThread::msleep(probe->sleepMs);
        {
            QMutexLocker lock(&probe->mutex);
            probe->endedAt.insert(item, probe->clock.nsecsElapsed());
        }
        item->setState(FileItemState(item->state() + 1));
        --probe->running;
        ++probe->done;
        const bool ok = !(probe->failOdd && probe->order.indexOf(item) % 2 == 1);
        emit workFinished(ok);
    }
};

} // namespace

class TestThreadController : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QList<FileItem*> makeItems(int n)
    {
        QList<FileItem*> items;
        for (int i = 0; i < n; ++i) {
            const QString path = dir.path() + QStringLiteral("/f%1.xml").arg(i);
            writeFile(path, "<a/>");
            items << new FileItem(path, nullptr, false);
        }
        return items;
    }

private slots:
    void initTestCase() { initHermeticEnvironment(); }

    void parallelRunRespectsThreadLimit()
    {
        const QList<FileItem*> items = makeItems(10);
        Probe probe;
        ThreadController controller(items, &probe, &ProbeWorker::newWorker, true);
        controller.setMaxThreads(4);
        QSignalSpy finished(&controller, &ThreadController::allWorkFinished);
        QSignalSpy changed(&controller, &ThreadController::itemChanged);
        controller.startAllWork();
        QVERIFY(finished.wait(10000));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(changed.count(), 10);
        QCOMPARE(probe.done.load(), 10);
        QVERIFY(probe.peak.load() <= 4);
        QVERIFY(probe.peak.load() >= 2);
        for (FileItem* item : items)
            QCOMPARE(item->state(), 1);
        qDeleteAll(items);
    }

    void sequentialRunUsesOneThreadInOrder()
    {
        const QList<FileItem*> items = makeItems(10);
        Probe probe;
        probe.sleepMs = 5;
        probe.failOdd = true;
        ThreadController controller(items, &probe, &ProbeWorker::newWorker, false);
        QSignalSpy finished(&controller, &ThreadController::allWorkFinished);
        controller.startAllWork();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), false); // AND of all results
        QCOMPARE(probe.peak.load(), 1);
        QCOMPARE(probe.order, items);
        QCOMPARE(QSet<QThread*>(probe.threads.begin(), probe.threads.end()).size(), 1);
        QVERIFY(probe.threads.first() != QThread::currentThread());
        qDeleteAll(items);
    }

    void stopLetsRunningWorkersFinishAndStartsNothing()
    {
        const QList<FileItem*> items = makeItems(10);
        Probe probe;
        probe.sleepMs = 200;
        ThreadController controller(items, &probe, &ProbeWorker::newWorker, true);
        controller.setMaxThreads(2);
        QSignalSpy finished(&controller, &ThreadController::allWorkFinished);
        controller.startAllWork();
        QTRY_COMPARE(probe.running.load(), 2);
        controller.stopAllWork();
        QVERIFY(finished.wait(10000));
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(probe.done.load(), 2);
        qDeleteAll(items);
    }

    void stopBeforeAnythingStartedStillFinishesOnce()
    {
        const QList<FileItem*> items = makeItems(3);
        Probe probe;
        ThreadController controller(items, &probe, &ProbeWorker::newWorker, false);
        QSignalSpy finished(&controller, &ThreadController::allWorkFinished);
        controller.startAllWork();
        controller.stopAllWork();
        QVERIFY(finished.wait(5000));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(probe.done.load(), 0);
        qDeleteAll(items);
    }

    void emptyStepFinishesAtOnce()
    {
        Probe probe;
        ThreadController controller({}, &probe, &ProbeWorker::newWorker, true);
        QSignalSpy finished(&controller, &ThreadController::allWorkFinished);
        controller.startAllWork();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
    }

    void hugeFileStillRuns()
    {
        // A sparse file over the size cap: the first file of a step always starts.
        const QString path = dir.path() + "/huge.xml";
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(600000000LL));
        huge.close();
        QList<FileItem*> items{new FileItem(path, nullptr, false)};
        items += makeItems(2);
        QCOMPARE(items.first()->fileSize(), 600000000LL);
        Probe probe;
        ThreadController controller(items, &probe, &ProbeWorker::newWorker, true);
        controller.setMaxThreads(4);
        QSignalSpy finished(&controller, &ThreadController::allWorkFinished);
        controller.startAllWork();
        QVERIFY(finished.wait(10000));
        QCOMPARE(probe.done.load(), 3);
        // Nothing starts beside a file over the cap.
        QCOMPARE(probe.order.first(), items.first());
        QVERIFY(probe.startedAt.value(items.at(1)) > probe.endedAt.value(items.first()));
        QVERIFY(probe.startedAt.value(items.at(2)) > probe.endedAt.value(items.first()));
        qDeleteAll(items);
    }

    void abortWaitsForRunningWorkers()
    {
        const QList<FileItem*> items = makeItems(4);
        Probe probe;
        probe.sleepMs = 150;
        auto* controller = new ThreadController(items, &probe, &ProbeWorker::newWorker, true);
        controller->setMaxThreads(2);
        controller->startAllWork();
        QTRY_COMPARE(probe.running.load(), 2);
        controller->abortAndWait();
        QCOMPARE(probe.running.load(), 0);
        QCOMPARE(probe.done.load(), 2);
        delete controller;
        qDeleteAll(items); // safe: no worker holds them any more
    }
};

QTEST_GUILESS_MAIN(TestThreadController)
#include "tst_threadcontroller.moc"
