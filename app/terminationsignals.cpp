#include "terminationsignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

const int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The pipe from the handler to the event loop; its ends are set before the
// handler is installed and closed after it is removed.
int pipeEnds[2] = {-1, -1};
std::atomic<int> signalsSeen{0};

extern "C" void onTerminationSignal(int signalNumber)
{
    // A second request is not asked twice: the user means it.
    if (signalsSeen.fetch_add(1) > 0)
        _exit(128 + signalNumber);
    const char byte = char(signalNumber);
    const int saved = errno;
    if (::write(pipeEnds[1], &byte, 1) < 0) {
        // Nothing can be done here; the pipe is never full for one byte.
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    signalsSeen = 0;
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : handledSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (const int signalNumber : handledSignals)
        std::signal(signalNumber, SIG_DFL);
    delete notifier;
    for (int& end : pipeEnds) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

QString TerminationSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("сигнал %1").arg(signalNumber);
    }
}

void TerminationSignals::readSignal()
{
    char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1) {
        if (first == 0) {
            first = byte;
            emit terminationRequested(first);
        }
    }
}
