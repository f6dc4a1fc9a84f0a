#pragma once

#include "workerprotocol.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QStringList>

#include <memory>
#include <vector>

class QEventLoop;
class QProcess;
class QTimer;

// Runs jobs in worker processes of the batch command (BatchWorker), one job
// per process at a time, and supervises them: a worker that crashes or
// exceeds the time limit costs only the job it had in flight, which is
// reported as failed; the files it owned are removed and a new worker takes
// the remaining jobs.
class WorkerPool : public QObject
{
    Q_OBJECT
public:
    // `program` and `arguments` start one worker process.
    WorkerPool(const QString& program, const QStringList& arguments, int processCount, int timeLimitSeconds,
               QObject* parent = nullptr);
    ~WorkerPool() override;

    // Runs every job in a local event loop and returns when all are done,
    // or when stop() was called and the workers have ended.
    void run(const QList<WorkerJob>& jobs);
    // Hands out no more jobs and ends the workers at once; a job in flight
    // is neither done nor failed, and the temporary files of its worker are
    // removed.
    void stop();
    bool isStopped() const { return stopping; }

signals:
    void jobDone(const WorkerResult& result);
    // The job produced no result; `message` says why.
    void jobFailed(int id, const QString& message);

private:
    struct Worker
    {
        QProcess* process = nullptr;
        QTimer* timer = nullptr;
        // Jobs sent, in order; the worker takes them one at a time, so the
        // first is the one in flight. The next waits in the pipe, so that a
        // worker never idles for a round trip between two files.
        QList<int> sent;
        bool timedOut = false;
        // Its standard input is closed: it takes no more jobs.
        bool inputClosed = false;
        QByteArray pending;
        QStringList owned;
        qint64 pid = 0;
    };

    void startWorker(Worker& worker);
    void dispatch(Worker& worker);
    // Starts the time limit of the job now in flight, if any.
    void timeInFlight(Worker& worker);
    void readOutput(Worker& worker);
    void workerEnded(Worker& worker);
    // After the worker ended with `job` in flight (-1 for none).
    void removeOwnedFiles(Worker& worker, int job);
    void finishIfDone();

    QString program;
    QStringList arguments;
    int timeLimitSeconds;
    // Stable addresses: the processes' signal handlers hold a Worker by reference.
    std::vector<std::unique_ptr<Worker>> workers;
    QQueue<WorkerJob> queue;
    QHash<int, WorkerJob> jobsById;
    int unfinished = 0;
    // Workers that died before taking any job: a worker that cannot start
    // at all must not be restarted for ever.
    int failedStarts = 0;
    bool stopping = false;
    QEventLoop* loop = nullptr;
};
