#pragma once

#include <QProcess>

#include <sys/types.h>

// A worker process that cannot outlive its supervisor: the system kills it
// the moment the supervisor dies, however it dies (SIGKILL, a crash), even
// in the middle of a query that would run for minutes. It runs in a process
// group of its own, so that Ctrl+C at the terminal reaches the supervisor
// alone, which then stops its workers in order.
class WorkerProcess : public QProcess
{
    Q_OBJECT
public:
    explicit WorkerProcess(QObject* parent = nullptr);

protected:
    void setupChildProcess() override;

private:
    const pid_t supervisor;
};
