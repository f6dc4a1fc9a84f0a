#pragma once

#include "workerprotocol.h"

#include <QAtomicInt>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

class WorkerPool;

// Lets the worker threads of a processing step have their work done in
// worker processes: a thread hands over a job and waits, while the pool of
// processes lives and is supervised on the main thread. A query that
// crashes the XQuery engine, runs out of stack or runs past the time limit
// then costs its process and one file, never the program; and stop() ends
// the processes at once, whatever their queries are doing.
class RemoteJobs : public QObject
{
    Q_OBJECT
public:
    // Created and destroyed on the main thread.
    RemoteJobs(const QString& program, const QStringList& arguments, int processCount, int timeLimitSeconds,
               QObject* parent = nullptr);
    ~RemoteJobs() override;

    struct Outcome
    {
        enum Kind { Done, Failed, Stopped };
        Kind kind = Stopped;
        WorkerResult result;
        // Why a failed job failed.
        QString message;
    };

    // From a worker thread, never the main one: runs the job in a worker
    // process and waits for its outcome.
    Outcome run(WorkerJob job);
    // Main thread: ends the worker processes at once; every run() waiting
    // or to come returns Stopped.
    void stop();
    bool isStopped() const { return stopped.loadAcquire() != 0; }

private:
    void resolve(int id, const Outcome& outcome);

    WorkerPool* pool;
    QMutex mutex;
    QWaitCondition answered;
    // The jobs handed over and not yet answered, by id; guarded by mutex.
    QHash<int, Outcome*> waiting;
    QAtomicInt nextId{0};
    QAtomicInt stopped{0};
};
