#include "status.h"

#include "messagesenderobject.h"

#include <QAbstractMessageHandler>
#include <QAtomicPointer>
#include <QDateTime>

namespace {
QAtomicPointer<MessageSenderObject> gMessageSender;
QAtomicPointer<QAbstractMessageHandler> gMessageHandler;
} // namespace

QString statusLine(const QString& message)
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral(" : ")
           + message;
}

void showStatus(const QString& message)
{
    // Emitting a signal is thread-safe; the queued connection to the log
    // keeps the lines of each thread in the order they were sent.
    if (MessageSenderObject* sender = gMessageSender.loadAcquire())
        emit sender->sendMessageSignal(statusLine(message));
}

void setGlobalMessageSender(MessageSenderObject* sender)
{
    gMessageSender.storeRelease(sender);
}

MessageSenderObject* globalMessageSender()
{
    return gMessageSender.loadAcquire();
}

void setGlobalMessageHandler(QAbstractMessageHandler* handler)
{
    gMessageHandler.storeRelease(handler);
}

QAbstractMessageHandler* globalMessageHandler()
{
    return gMessageHandler.loadAcquire();
}
