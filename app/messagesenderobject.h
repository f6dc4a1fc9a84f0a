#pragma once

#include <QObject>

// Relays status lines to the user-interface thread: its signal is connected
// with a queued connection to the message log, so any thread may emit it.
class MessageSenderObject : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void sendMessageSignal(const QString& message);

public slots:
    void doSendMessage(const QString& message) { emit sendMessageSignal(message); }
};
