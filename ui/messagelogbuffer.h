#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

class QPlainTextEdit;
class QTimer;

// Feeds the message log its lines: a line after a quiet spell at once,
// the lines of a burst together a moment later. A run of short documents
// sends a line or two each, and adding them one by one would lay out and
// repaint the log a thousand times.
class MessageLogBuffer : public QObject
{
    Q_OBJECT
public:
    explicit MessageLogBuffer(QPlainTextEdit* log);

    // The longest a line waits, in milliseconds.
    static constexpr int delayMs = 100;

public slots:
    void append(const QString& line);
    // Shows every line received so far.
    void flush();

private:
    QPlainTextEdit* log;
    QTimer* timer;
    QElapsedTimer sinceShown;
    QStringList pending;
};
