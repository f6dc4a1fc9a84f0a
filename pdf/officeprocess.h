#pragma once

#include <QProcess>

// A helper process of the converter that cannot outlive the thread that
// started it: the system kills it the moment that thread ends, however it
// ends, even when the whole process is killed. It runs in a process group
// of its own, so that Ctrl+C at the terminal reaches only our program,
// which then ends its helpers in order.
class OfficeProcess : public QProcess
{
    Q_OBJECT
public:
    using QProcess::QProcess;

protected:
    void setupChildProcess() override;
};
