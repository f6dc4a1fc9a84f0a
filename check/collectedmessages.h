#pragma once

#include <QAbstractMessageHandler>
#include <QMutex>
#include <QSourceLocation>
#include <QString>
#include <QVector>

// Keeps the messages of the XQuery engine and of the generators' error
// channel instead of logging them, so that a check can tell them as
// findings. Warnings of the engine are not kept, as the log leaves them out.
class CollectedMessages : public QAbstractMessageHandler
{
    Q_OBJECT
public:
    struct Message
    {
        // The description as plain text.
        QString text;
        // The engine's error code ("XPST0008"), empty for the system's own messages.
        QString code;
        QSourceLocation location;

        // "строка 3, позиция 14", as much as is known.
        QString where() const;
        // "строка 3, позиция 14: описание".
        QString shown() const;
    };

    using QAbstractMessageHandler::QAbstractMessageHandler;

    // The messages kept since the last call.
    QVector<Message> take();

protected:
    void handleMessage(QtMsgType type, const QString& description, const QUrl& identifier,
                       const QSourceLocation& sourceLocation) override;

private:
    QMutex mutex;
    QVector<Message> messages;
};
