#pragma once

#include "processingsteptype.h"

#include <QElapsedTimer>
#include <QWidget>

class FileList;
class QLabel;
class QProgressBar;
class QTimer;

// Shown in the status bar while the processing list runs: the current step
// by name, how many of its items are done, and the time since the run
// started. Hidden between runs.
class RunProgressIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit RunProgressIndicator(FileList* list, QWidget* parent = nullptr);

    static QString stepTitle(ProcessingStepType step);
    // Minutes and seconds, "m:ss".
    static QString clockText(qint64 msecs);
    QString elapsedText() const;

private slots:
    void runStarted();
    void stepStarted(ProcessingStepType step, int itemCount);
    void stepProgress(int done, int total);
    void runFinished();
    void showElapsed();

private:
    QLabel* stepLabel;
    QProgressBar* progressBar;
    QLabel* elapsedLabel;
    QTimer* ticker;
    QElapsedTimer clock;
    // Items done are shown at most every so often: a run of short items
    // would otherwise repaint the status bar for each of them.
    QTimer* progressDelay;
    QElapsedTimer sinceShown;
    int pendingDone = 0;
    int pendingTotal = 0;
    void showProgress();
};
