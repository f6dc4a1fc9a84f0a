#include "runprogressindicator.h"

#include "filelist.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

RunProgressIndicator::RunProgressIndicator(FileList* list, QWidget* parent)
    : QWidget(parent), stepLabel(new QLabel(this)), progressBar(new QProgressBar(this)),
      elapsedLabel(new QLabel(this)), ticker(new QTimer(this)), progressDelay(new QTimer(this))
{
    setObjectName(QStringLiteral("runProgress"));
    stepLabel->setObjectName(QStringLiteral("runStepLabel"));
    progressBar->setObjectName(QStringLiteral("runProgressBar"));
    elapsedLabel->setObjectName(QStringLiteral("runElapsedLabel"));
    progressBar->setFormat(QStringLiteral("%v из %m"));
    progressBar->setMaximumWidth(200);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stepLabel);
    layout->addWidget(progressBar);
    layout->addWidget(elapsedLabel);
    ticker->setInterval(1000);
    progressDelay->setSingleShot(true);
    connect(progressDelay, &QTimer::timeout, this, &RunProgressIndicator::showProgress);
    connect(ticker, &QTimer::timeout, this, &RunProgressIndicator::showElapsed);
    connect(list, &FileList::processingStarted, this, &RunProgressIndicator::runStarted);
    connect(list, &FileList::procStepStarted, this, &RunProgressIndicator::stepStarted);
    connect(list, &FileList::procStepProgress, this, &RunProgressIndicator::stepProgress);
    connect(list, &FileList::processingFinished, this, &RunProgressIndicator::runFinished);
    hide();
}

QString RunProgressIndicator::stepTitle(ProcessingStepType step)
{
    switch (step) {
    case psUnzip:
        return QStringLiteral("Распаковка архивов");
    case psDetectTemplate:
        return QStringLiteral("Подбор шаблонов");
    case psDetectDestBase:
        return QStringLiteral("Имена документов");
    case psTransform:
        return QStringLiteral("Формирование документов");
    case psNone:
        break;
    }
    return QString();
}

QString RunProgressIndicator::clockText(qint64 msecs)
{
    const qint64 seconds = qMax<qint64>(0, msecs) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString RunProgressIndicator::elapsedText() const
{
    return clockText(clock.isValid() ? clock.elapsed() : 0);
}

void RunProgressIndicator::runStarted()
{
    clock.start();
    stepLabel->clear();
    progressBar->setRange(0, 0);
    showElapsed();
    ticker->start();
    show();
}

void RunProgressIndicator::stepStarted(ProcessingStepType step, int itemCount)
{
    progressDelay->stop();
    stepLabel->setText(stepTitle(step));
    progressBar->setRange(0, itemCount);
    progressBar->setValue(0);
}

void RunProgressIndicator::stepProgress(int done, int total)
{
    const int interval = 100;
    pendingDone = done;
    pendingTotal = total;
    if (done == total || !sinceShown.isValid() || sinceShown.elapsed() >= interval)
        showProgress();
    else if (!progressDelay->isActive())
        progressDelay->start(interval - int(sinceShown.elapsed()));
}

void RunProgressIndicator::showProgress()
{
    progressDelay->stop();
    sinceShown.start();
    progressBar->setRange(0, pendingTotal);
    progressBar->setValue(pendingDone);
}

void RunProgressIndicator::runFinished()
{
    progressDelay->stop();
    ticker->stop();
    hide();
}

void RunProgressIndicator::showElapsed()
{
    elapsedLabel->setText(elapsedText());
}
