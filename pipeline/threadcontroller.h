#pragma once

#include "threadworker.h"

#include <QAtomicInteger>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>

#include <memory>
#include <vector>

class FileItem;
class QThread;

// Runs one processing step over a list of items: one worker per item, either
// one after another in a single extra thread, or in parallel threads bounded
// by the processor count and by the size of the files in progress. Lives in
// the main thread; all its slots run there. In parallel mode a thread whose
// worker has finished takes the next worker, so a step of many short tasks
// does not pay for a thread start and join per item.
class ThreadController : public QObject
{
    Q_OBJECT
public:
    ThreadController(const QList<FileItem*>& items, void* params, WorkerFactory newWorker, bool parallel,
                     QObject* parent = nullptr);
    ~ThreadController() override;

    // Stack of every worker thread. The XQuery engine recurses once per call
    // of a query's own function, and a query recursing a million levels deep
    // needs about 1 GB; the default 8 MB would crash the whole program at a
    // few thousand. Only the pages used are ever taken from memory.
    static const uint workerStackSize = 1536u * 1024 * 1024;
    // Starts a thread with that stack, or with the default one where the
    // system will not reserve it.
    static void startThread(QThread* thread);

    // Stops starting workers and waits until the running ones have finished,
    // without the event loop: for tearing the list down while work runs.
    // No allWorkFinished is emitted afterwards.
    void abortAndWait();

    bool isRunning() const { return started != 0; }
    int runningWorkerCount() const { return runningCount.loadAcquire(); }
    // At most this many threads at once in parallel mode (the processor
    // count by default), and beyond the first only while the files in
    // progress total less than maxBytes.
    void setMaxThreads(int count) { maxThreads = qMax(1, count); }
    void setMaxBytes(qint64 bytes) { maxBytes = bytes; }

signals:
    void itemChanged(FileItem* item);
    void allWorkFinished(bool result);

public slots:
    void startAllWork();
    void stopAllWork();
    void runMoreWork();
    void handleOneWorkFinished(bool result);

private:
    void startWorker(QThread* thread);
    QThread* newThread();
    QThread* freeThread();
    void stopThreads();
    void finish();
    static qint64 itemSize(const FileItem* item);

    const QList<FileItem*> items;
    void* const params;
    const WorkerFactory newWorker;
    const bool parallel;
    // The one thread of sequential mode; owned through ownThreads.
    QThread* singleThread = nullptr;
    QAtomicInt result{1};
    int nextIndex = 0;
    QAtomicInt runningCount{0};
    QAtomicInteger<qint64> bytesInProgress{0};
    int maxThreads;
    qint64 maxBytes = 500000000;
    int started = 0;
    int stopRequested = 0;
    // The workers at work and their threads, read by abortAndWait.
    QHash<ThreadWorker*, QThread*> workerThreads;
    QMutex mutex;
    QList<QThread*> idleThreads;
    std::vector<std::unique_ptr<QThread>> ownThreads;
};
