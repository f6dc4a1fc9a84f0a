#include "officeprocess.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

void OfficeProcess::setupChildProcess()
{
    // In the child, between fork and exec: only async-signal-safe calls.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}
