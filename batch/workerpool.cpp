#include "workerpool.h"

#include "globals.h"
#include "stagedfile.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <limits>

namespace {

const int maxFailedStarts = 3;
// Jobs a worker holds at once: the one in flight and the next.
const int jobsPerWorker = 2;

} // namespace

WorkerPool::WorkerPool(const QString& program, const QStringList& arguments, int processCount, int timeLimitSeconds,
                       QObject* parent)
    : QObject(parent), program(program), arguments(arguments), timeLimitSeconds(timeLimitSeconds)
{
    for (int i = 0; i < qMax(1, processCount); ++i)
        workers.push_back(std::make_unique<Worker>());
}

WorkerPool::~WorkerPool()
{
    for (const auto& worker : workers) {
        if (worker->process) {
            worker->process->disconnect(this);
            worker->process->kill();
            worker->process->waitForFinished();
            delete worker->process;
        }
    }
}

void WorkerPool::run(const QList<WorkerJob>& jobs)
{
    for (const WorkerJob& job : jobs) {
        queue.enqueue(job);
        jobsById.insert(job.id, job);
    }
    unfinished = jobs.size();
    if (unfinished == 0)
        return;
    QEventLoop eventLoop;
    loop = &eventLoop;
    for (const auto& worker : workers) {
        if (!queue.isEmpty())
            startWorker(*worker);
    }
    if (unfinished > 0)
        eventLoop.exec();
    loop = nullptr;
    for (const auto& worker : workers) {
        if (worker->process) {
            worker->process->closeWriteChannel();
            worker->process->waitForFinished();
        }
    }
}

void WorkerPool::startWorker(Worker& worker)
{
    auto* process = new QProcess(this);
    worker.process = process;
    worker.sent.clear();
    worker.timedOut = false;
    worker.inputClosed = false;
    worker.pending.clear();
    worker.owned.clear();
    if (!worker.timer) {
        worker.timer = new QTimer(this);
        worker.timer->setSingleShot(true);
        connect(worker.timer, &QTimer::timeout, this, [&worker] {
            if (worker.process && !worker.sent.isEmpty()) {
                worker.timedOut = true;
                worker.process->kill();
            }
        });
    }
    // The worker's messages go straight to our standard error.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, &worker] { readOutput(worker); });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, &worker] { workerEnded(worker); });
    connect(process, &QProcess::errorOccurred, this, [this, &worker](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            workerEnded(worker);
    });
    process->start(program, arguments);
    dispatch(worker);
}

void WorkerPool::dispatch(Worker& worker)
{
    if (!worker.process || worker.inputClosed)
        return;
    const bool wasIdle = worker.sent.isEmpty();
    while (worker.sent.size() < jobsPerWorker && !queue.isEmpty()) {
        const WorkerJob job = queue.dequeue();
        worker.sent << job.id;
        worker.process->write(WorkerProtocol::jobLine(job));
    }
    if (queue.isEmpty()) {
        // No more work: the worker ends once its input does.
        worker.process->closeWriteChannel();
        worker.inputClosed = true;
    }
    if (wasIdle)
        timeInFlight(worker);
}

void WorkerPool::timeInFlight(Worker& worker)
{
    worker.timer->stop();
    worker.owned.clear();
    // Timers count milliseconds in an int: a limit beyond about 24 days is none.
    if (!worker.sent.isEmpty() && timeLimitSeconds > 0
        && timeLimitSeconds <= std::numeric_limits<int>::max() / 1000)
        worker.timer->start(timeLimitSeconds * 1000);
}

void WorkerPool::readOutput(Worker& worker)
{
    if (!worker.process)
        return;
    worker.pending += worker.process->readAllStandardOutput();
    for (int end = worker.pending.indexOf('\n'); end >= 0; end = worker.pending.indexOf('\n')) {
        const QByteArray line = worker.pending.left(end + 1);
        worker.pending.remove(0, end + 1);
        QString owned;
        WorkerResult result;
        if (WorkerProtocol::parseOwned(line, &owned)) {
            worker.owned << owned;
        } else if (WorkerProtocol::parseResult(line, &result) && !worker.sent.isEmpty()
                   && result.id == worker.sent.first()) {
            worker.sent.removeFirst();
            timeInFlight(worker);
            failedStarts = 0;
            --unfinished;
            emit jobDone(result);
            dispatch(worker);
        }
    }
    finishIfDone();
}

void WorkerPool::workerEnded(Worker& worker)
{
    QProcess* process = worker.process;
    if (!process)
        return;
    readOutput(worker); // a result written just before the end still counts
    worker.timer->stop();
    worker.process = nullptr;
    process->deleteLater();
    // Jobs sent but not begun wait for the next worker, in their order; so
    // does the one in flight when the worker never started.
    const bool neverStarted = process->error() == QProcess::FailedToStart;
    int inFlight = -1;
    if (!worker.sent.isEmpty() && !neverStarted)
        inFlight = worker.sent.takeFirst();
    while (!worker.sent.isEmpty())
        queue.prepend(jobsById.value(worker.sent.takeLast()));
    if (inFlight >= 0) {
        const QString source = shownFileName(jobsById.value(inFlight).sourcePath);
        const QString message =
            worker.timedOut
                ? QStringLiteral("Ошибка! Формирование документа по файлу %1 прервано: превышено ограничение "
                                 "времени (%2 с)")
                      .arg(source)
                      .arg(timeLimitSeconds)
                : QStringLiteral("Ошибка! Формирование документа по файлу %1 завершилось аварийно при выполнении "
                                 "запросов")
                      .arg(source);
        removeOwnedFiles(worker);
        --unfinished;
        emit jobFailed(inFlight, message);
    } else if (!queue.isEmpty() && ++failedStarts >= maxFailedStarts) {
        // Workers die before doing anything: the remaining jobs cannot run.
        while (!queue.isEmpty()) {
            const WorkerJob job = queue.dequeue();
            --unfinished;
            emit jobFailed(job.id, QStringLiteral("Ошибка! Не удалось запустить процесс обработки для файла %1")
                                       .arg(shownFileName(job.sourcePath)));
        }
    }
    if (!queue.isEmpty())
        startWorker(worker);
    finishIfDone();
}

void WorkerPool::removeOwnedFiles(Worker& worker)
{
    // Temporary files are the worker's whatever they hold; a claimed name
    // is still the worker's only while it is the empty file that claimed it.
    for (const QString& path : qAsConst(worker.owned)) {
        const QFileInfo info(path);
        if (!info.isFile() || info.isSymLink())
            continue;
        if (StagedFile::isStagingName(info.fileName()) || info.size() == 0)
            QFile::remove(path);
    }
    worker.owned.clear();
}

void WorkerPool::finishIfDone()
{
    if (unfinished <= 0 && loop)
        loop->quit();
}
