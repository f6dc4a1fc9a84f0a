#include "workerprocess.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

WorkerProcess::WorkerProcess(QObject* parent) : QProcess(parent), supervisor(::getpid())
{
}

void WorkerProcess::setupChildProcess()
{
    // In the child, between fork and exec: only async-signal-safe calls.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The supervisor may have died before the request above was made.
    if (::getppid() != supervisor)
        ::_exit(1);
}
