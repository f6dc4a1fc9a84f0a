#include "messagelogbuffer.h"

#include <QPlainTextEdit>
#include <QTimer>

MessageLogBuffer::MessageLogBuffer(QPlainTextEdit* log) : QObject(log), log(log), timer(new QTimer(this))
{
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &MessageLogBuffer::flush);
}

void MessageLogBuffer::append(const QString& line)
{
    pending << line;
    if (!sinceShown.isValid() || sinceShown.elapsed() >= delayMs)
        flush();
    else if (!timer->isActive())
        timer->start(delayMs - int(sinceShown.elapsed()));
}

void MessageLogBuffer::flush()
{
    timer->stop();
    sinceShown.start();
    if (pending.isEmpty())
        return;
    log->appendPlainText(pending.join(QLatin1Char('\n')));
    pending.clear();
}
