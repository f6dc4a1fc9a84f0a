#include "threadcontroller.h"

#include "fileitem.h"

#include <QThread>

ThreadController::ThreadController(const QList<FileItem*>& items, void* params, WorkerFactory newWorker,
                                   bool parallel, QObject* parent)
    : QObject(parent), items(items), params(params), newWorker(newWorker), parallel(parallel),
      maxThreads(qMax(1, QThread::idealThreadCount()))
{
    qRegisterMetaType<FileItem*>();
    if (!parallel)
        singleThread = newThread();
}

ThreadController::~ThreadController()
{
    abortAndWait();
    stopThreads();
}

void ThreadController::stopThreads()
{
    singleThread = nullptr;
    for (const auto& thread : ownThreads) {
        thread->quit();
        thread->wait();
    }
    ownThreads.clear();
    idleThreads.clear();
}

QThread* ThreadController::newThread()
{
    ownThreads.push_back(std::make_unique<QThread>());
    QThread* thread = ownThreads.back().get();
    thread->setStackSize(workerStackSize);
    return thread;
}

QThread* ThreadController::freeThread()
{
    if (!idleThreads.isEmpty())
        return idleThreads.takeLast();
    return newThread();
}

void ThreadController::startThread(QThread* thread)
{
    thread->start(QThread::InheritPriority);
    // Where the system refuses to reserve the large stack (strict memory
    // accounting), a thread with the default stack is better than none.
    if (!thread->isRunning()) {
        thread->setStackSize(0);
        thread->start(QThread::InheritPriority);
    }
}

qint64 ThreadController::itemSize(const FileItem* item)
{
    return item ? item->realItem()->fileSize() : 0;
}

void ThreadController::startAllWork()
{
    if (started)
        return;
    started = 1;
    stopRequested = 0;
    if (nextIndex < items.size())
        QMetaObject::invokeMethod(this, &ThreadController::runMoreWork, Qt::QueuedConnection);
    else
        finish();
}

void ThreadController::stopAllWork()
{
    stopRequested = 1;
}

void ThreadController::startWorker(QThread* thread)
{
    FileItem* item = items.at(nextIndex++);
    runningCount.ref();
    bytesInProgress.fetchAndAddOrdered(itemSize(item));
    ThreadWorker* worker = newWorker(item, params);
    {
        QMutexLocker lock(&mutex);
        workerThreads.insert(worker, thread);
    }
    worker->moveToThread(thread);
    connect(worker, &ThreadWorker::workFinished, this, &ThreadController::handleOneWorkFinished);
    startThread(thread);
    QMetaObject::invokeMethod(worker, &ThreadWorker::doWork, Qt::QueuedConnection);
}

void ThreadController::runMoreWork()
{
    if (!started)
        return;
    if (stopRequested) {
        // A stop that came before anything was started ends the step here,
        // since no finishing worker will.
        if (runningCount.loadAcquire() == 0)
            finish();
        return;
    }
    if (!parallel) {
        if (nextIndex < items.size() && runningCount.loadAcquire() == 0)
            startWorker(singleThread);
        return;
    }
    while (runningCount.loadAcquire() < maxThreads && bytesInProgress.loadAcquire() < maxBytes
           && nextIndex < items.size())
        startWorker(freeThread());
}

void ThreadController::handleOneWorkFinished(bool workResult)
{
    auto* worker = qobject_cast<ThreadWorker*>(sender());
    if (!worker)
        return;
    if (!workResult)
        result.storeRelease(0);
    runningCount.deref();
    bytesInProgress.fetchAndSubOrdered(itemSize(worker->item));
    emit itemChanged(worker->item);

    QThread* thread = nullptr;
    int remaining;
    {
        QMutexLocker lock(&mutex);
        thread = workerThreads.take(worker);
        remaining = workerThreads.size();
    }
    // The worker's thread is still running, so it deletes the worker itself.
    worker->deleteLater();
    if (parallel && thread)
        idleThreads << thread;

    if (nextIndex < items.size() && !stopRequested) {
        runMoreWork();
        return;
    }
    if (remaining == 0 && started)
        finish();
}

void ThreadController::finish()
{
    started = 0;
    emit allWorkFinished(result.loadAcquire() != 0);
}

void ThreadController::abortAndWait()
{
    stopRequested = 1;
    QHash<ThreadWorker*, QThread*> running;
    {
        QMutexLocker lock(&mutex);
        running.swap(workerThreads);
    }
    // quit() takes effect once the worker's doWork() has returned to the
    // thread's event loop, so waiting here lets every running task finish.
    for (auto it = running.constBegin(); it != running.constEnd(); ++it) {
        it.value()->quit();
        it.value()->wait();
        delete it.key();
    }
    runningCount.storeRelease(0);
    started = 0;
}
