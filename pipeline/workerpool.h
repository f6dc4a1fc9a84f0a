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

// Runs jobs in worker processes (WorkerServer), one job per process at a
// time, and supervises them: a worker that crashes or exceeds the time
// limit costs only the job it had in flight, which is reported as failed;
// the files it owned are removed and a new worker takes the remaining jobs.
// The processes start with the first job and serve until the pool goes.
// Lives in one thread (the main one); its signals come from there.
class WorkerPool : public QObject
{
    Q_OBJECT
public:
    // `program` and `arguments` start one worker process.
    WorkerPool(const QString& program, const QStringList& arguments, int processCount, int timeLimitSeconds,
               QObject* parent = nullptr);
    // Lets idle workers end, and ends busy ones.
    ~WorkerPool() override;

    // Queues a job; jobDone or jobFailed follows, unless the pool is stopped first.
    void submit(const WorkerJob& job);
    // Runs every job in a local event loop and returns when all are done,
    // or when stop() was called and the workers have ended.
    void run(const QList<WorkerJob>& jobs);
    // Hands out no more jobs and ends the workers at once; the jobs queued
    // or in flight are neither done nor failed, and the temporary files of
    // the workers are removed.
    void stop();
    bool isStopped() const { return stopping; }
    // Whether any worker process is still running (after stop(): not yet ended).
    bool hasRunningWorkers() const { return anyRunning(); }
    // Jobs submitted and not yet done or failed.
    int unfinishedCount() const { return unfinished; }

signals:
    void jobDone(const WorkerResult& result);
    // The job produced no result; `message` says why.
    void jobFailed(int id, const QString& message);
    // A line of the message log from a worker, time stamp included.
    void message(const QString& line);
    // No job is left, or the pool was stopped and its workers have ended.
    void idle();

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
        QByteArray pending;
        QStringList owned;
        qint64 pid = 0;
    };

    void startWorker(Worker& worker);
    // Gives queued jobs to the workers, idle ones first, starting workers
    // that are not running.
    void dispatchAll();
    void send(Worker& worker, int maximum);
    // Starts the time limit of the job now in flight, if any.
    void timeInFlight(Worker& worker);
    // Starts the limit of the job's conversion to PDF.
    void timeConversion(Worker& worker);
    // Past a conversion's own limit, before its worker is killed.
    static constexpr int conversionGraceSeconds = 15;
    void readOutput(Worker& worker);
    void workerEnded(Worker& worker);
    // After the worker ended with `job` in flight (-1 for none).
    void removeOwnedFiles(Worker& worker, int job);
    void failUnstartable();
    bool anyRunning() const;
    void checkIdle();
    void endWorkers();

    QString program;
    QStringList arguments;
    int timeLimitSeconds;
    // Stable addresses: the processes' signal handlers hold a Worker by reference.
    std::vector<std::unique_ptr<Worker>> workers;
    QQueue<int> queue;
    // Every job not yet done or failed, by id.
    QHash<int, WorkerJob> jobsById;
    int unfinished = 0;
    // Workers that died before taking any job: a worker that cannot start
    // at all must not be restarted for ever.
    int failedStarts = 0;
    bool stopping = false;
    QEventLoop* loop = nullptr;
};
