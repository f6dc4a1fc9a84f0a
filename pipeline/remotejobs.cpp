#include "remotejobs.h"

#include "messagesenderobject.h"
#include "status.h"
#include "workerpool.h"

#include <QThread>

RemoteJobs::RemoteJobs(const QString& program, const QStringList& arguments, int processCount,
                       int timeLimitSeconds, QObject* parent)
    : QObject(parent), pool(new WorkerPool(program, arguments, processCount, timeLimitSeconds, this))
{
    connect(pool, &WorkerPool::jobDone, this, [this](const WorkerResult& result) {
        Outcome outcome;
        outcome.kind = Outcome::Done;
        outcome.result = result;
        resolve(result.id, outcome);
    });
    connect(pool, &WorkerPool::jobFailed, this, [this](int id, const QString& message) {
        // The log shows why, as for any error of the file.
        showStatus(message);
        Outcome outcome;
        outcome.kind = Outcome::Failed;
        outcome.message = message;
        resolve(id, outcome);
    });
    // The workers' messages join the log as they were stamped.
    connect(pool, &WorkerPool::message, this, [](const QString& line) {
        if (MessageSenderObject* sender = globalMessageSender())
            emit sender->sendMessageSignal(line);
    });
}

RemoteJobs::~RemoteJobs()
{
    stop();
}

RemoteJobs::Outcome RemoteJobs::run(WorkerJob job)
{
    Q_ASSERT(QThread::currentThread() != thread());
    Outcome outcome;
    job.id = nextId.fetchAndAddRelaxed(1);
    QMutexLocker lock(&mutex);
    if (isStopped())
        return outcome;
    waiting.insert(job.id, &outcome);
    QMetaObject::invokeMethod(
        this,
        [this, job] {
            if (isStopped()) {
                resolve(job.id, Outcome());
                return;
            }
            pool->submit(job);
        },
        Qt::QueuedConnection);
    while (waiting.contains(job.id))
        answered.wait(&mutex);
    return outcome;
}

void RemoteJobs::resolve(int id, const Outcome& outcome)
{
    QMutexLocker lock(&mutex);
    if (Outcome* target = waiting.take(id)) {
        *target = outcome;
        answered.wakeAll();
    }
}

void RemoteJobs::stop()
{
    stopped.storeRelease(1);
    pool->stop();
    QMutexLocker lock(&mutex);
    for (Outcome* target : qAsConst(waiting))
        *target = Outcome();
    waiting.clear();
    answered.wakeAll();
}
