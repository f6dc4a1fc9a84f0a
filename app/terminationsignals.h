#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a signal of the event loop, so that
// a program asked to stop (Ctrl+C, a job scheduler, the end of a terminal
// or desktop session) can stop its work in order instead of dying with
// files half written. A second such signal, before the program has
// finished, ends it at once with the status a shell reports for it
// (128 plus the signal number). One object per process.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // Gives the signals back their default action.
    ~TerminationSignals() override;

    // The first signal received, 0 while none was.
    int received() const { return first; }
    // "SIGINT", "SIGTERM", "SIGHUP".
    static QString name(int signalNumber);

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* notifier = nullptr;
    int first = 0;
};
