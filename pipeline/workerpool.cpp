#include "workerpool.h"

#include "globals.h"
#include "pdfconverter.h"
#include "stagingname.h"
#include "workerprocess.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

const int maxFailedStarts = 3;
// Jobs a worker holds at once: the one in flight and the next.
const int jobsPerWorker = 2;
// How long an idle worker gets to end by itself when the pool goes.
const int endGraceMs = 2000;

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
        if (!worker->process)
            continue;
        worker->process->disconnect(this);
        if (!worker->sent.isEmpty())
            worker->process->kill();
        worker->process->closeWriteChannel();
        if (!worker->process->waitForFinished(endGraceMs)) {
            worker->process->kill();
            worker->process->waitForFinished();
        }
        delete worker->process;
    }
}

void WorkerPool::submit(const WorkerJob& job)
{
    if (stopping)
        return;
    jobsById.insert(job.id, job);
    queue.enqueue(job.id);
    ++unfinished;
    dispatchAll();
}

void WorkerPool::run(const QList<WorkerJob>& jobs)
{
    for (const WorkerJob& job : jobs)
        submit(job);
    if (unfinished > 0 && !stopping) {
        QEventLoop eventLoop;
        loop = &eventLoop;
        connect(this, &WorkerPool::idle, &eventLoop, &QEventLoop::quit);
        eventLoop.exec();
        loop = nullptr;
    }
    endWorkers();
}

void WorkerPool::endWorkers()
{
    // Workers end once their input does.
    for (const auto& worker : workers) {
        if (worker->process) {
            worker->process->closeWriteChannel();
            worker->process->waitForFinished();
        }
    }
}

void WorkerPool::startWorker(Worker& worker)
{
    auto* process = new WorkerProcess(this);
    worker.process = process;
    worker.sent.clear();
    worker.timedOut = false;
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
    // Anything a worker writes on its own (a sanitizer's report) goes
    // straight to our standard error.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, &worker] { readOutput(worker); });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, &worker] { workerEnded(worker); });
    connect(process, &QProcess::errorOccurred, this, [this, &worker](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            workerEnded(worker);
    });
    process->start(program, arguments);
    worker.pid = process->processId();
}

void WorkerPool::dispatchAll()
{
    if (stopping)
        return;
    for (int maximum = 1; maximum <= jobsPerWorker && !queue.isEmpty(); ++maximum) {
        for (const auto& worker : workers) {
            if (queue.isEmpty())
                break;
            if (!worker->process)
                startWorker(*worker);
            // A worker that could not start has ended already.
            if (worker->process)
                send(*worker, maximum);
        }
    }
}

void WorkerPool::send(Worker& worker, int maximum)
{
    const bool wasIdle = worker.sent.isEmpty();
    while (worker.sent.size() < maximum && !queue.isEmpty()) {
        const int id = queue.dequeue();
        worker.sent << id;
        worker.process->write(WorkerProtocol::jobLine(jobsById.value(id)));
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

void WorkerPool::timeConversion(Worker& worker)
{
    // The worker stops a conversion at the time limit itself, keeping the
    // document; this is the limit for a worker that fails to. Waiting for
    // the office to start does not count against the conversion.
    worker.timer->stop();
    const qint64 seconds = qint64(timeLimitSeconds) + PdfConverter::startLimitSeconds + conversionGraceSeconds;
    if (timeLimitSeconds > 0 && seconds <= std::numeric_limits<int>::max() / 1000)
        worker.timer->start(int(seconds * 1000));
}

void WorkerPool::readOutput(Worker& worker)
{
    if (!worker.process)
        return;
    worker.pending += worker.process->readAllStandardOutput();
    for (int end = worker.pending.indexOf('\n'); end >= 0; end = worker.pending.indexOf('\n')) {
        const QByteArray line = worker.pending.left(end + 1);
        worker.pending.remove(0, end + 1);
        QString text;
        WorkerResult result;
        if (WorkerProtocol::parseMessage(line, &text)) {
            emit message(text);
        } else if (WorkerProtocol::parseOwned(line, &text)) {
            worker.owned << text;
        } else if (int id = -1; WorkerProtocol::parseConverting(line, &id)) {
            if (!worker.sent.isEmpty() && id == worker.sent.first())
                timeConversion(worker);
        } else if (WorkerProtocol::parseResult(line, &result) && !worker.sent.isEmpty()
                   && result.id == worker.sent.first()) {
            worker.sent.removeFirst();
            jobsById.remove(result.id);
            timeInFlight(worker);
            failedStarts = 0;
            --unfinished;
            if (!stopping) {
                emit jobDone(result);
                dispatchAll();
            }
        }
    }
    checkIdle();
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
    // A worker killed while it converted leaves its office's folder.
    if (process->exitStatus() == QProcess::CrashExit)
        PdfConverter::removeLeftovers();
    if (stopping) {
        removeOwnedFiles(worker, worker.sent.isEmpty() ? -1 : worker.sent.first());
        worker.sent.clear();
        checkIdle();
        return;
    }
    // Jobs sent but not begun wait for the next worker, in their order; so
    // does the one in flight when the worker never started.
    const bool neverStarted = process->error() == QProcess::FailedToStart;
    int inFlight = -1;
    if (!worker.sent.isEmpty() && !neverStarted)
        inFlight = worker.sent.takeFirst();
    while (!worker.sent.isEmpty())
        queue.prepend(worker.sent.takeLast());
    if (inFlight >= 0) {
        const QString source = shownFileName(jobsById.value(inFlight).sourcePath);
        const QString text =
            worker.timedOut
                ? QStringLiteral("Ошибка! Формирование документа по файлу %1 прервано: превышено ограничение "
                                 "времени (%2 с)")
                      .arg(source)
                      .arg(timeLimitSeconds)
                : QStringLiteral("Ошибка! Формирование документа по файлу %1 завершилось аварийно при выполнении "
                                 "запросов")
                      .arg(source);
        removeOwnedFiles(worker, inFlight);
        jobsById.remove(inFlight);
        --unfinished;
        emit jobFailed(inFlight, text);
    } else if (!queue.isEmpty() && ++failedStarts >= maxFailedStarts) {
        failUnstartable();
    }
    dispatchAll();
    checkIdle();
}

void WorkerPool::failUnstartable()
{
    // Workers die before doing anything: the remaining jobs cannot run.
    while (!queue.isEmpty()) {
        const WorkerJob job = jobsById.take(queue.dequeue());
        --unfinished;
        emit jobFailed(job.id, QStringLiteral("Ошибка! Не удалось запустить процесс обработки для файла %1")
                                   .arg(shownFileName(job.sourcePath)));
    }
}

void WorkerPool::removeOwnedFiles(Worker& worker, int job)
{
    // A file made just before the end may not have been announced.
    if (job >= 0 && worker.pid > 0)
        StagingName::removeOfEndedProcess(QFileInfo(jobsById.value(job).topLevelPath).absolutePath(), worker.pid);
    // Only temporary files are announced: a document takes its name
    // complete, in one step, so a name never needs taking back.
    for (const QString& path : qAsConst(worker.owned)) {
        const QFileInfo info(path);
        if (info.isFile() && !info.isSymLink() && StagingName::isStagingName(info.fileName()))
            QFile::remove(path);
    }
    worker.owned.clear();
}

void WorkerPool::stop()
{
    if (stopping)
        return;
    stopping = true;
    queue.clear();
    for (const auto& worker : workers) {
        if (worker->process)
            worker->process->kill();
    }
    checkIdle();
}

bool WorkerPool::anyRunning() const
{
    return std::any_of(workers.begin(), workers.end(),
                       [](const std::unique_ptr<Worker>& worker) { return worker->process != nullptr; });
}

void WorkerPool::checkIdle()
{
    if ((!stopping && unfinished <= 0) || (stopping && !anyRunning()))
        emit idle();
}
