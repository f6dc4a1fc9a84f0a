#pragma once

#include <QString>

class MessageSenderObject;
class QAbstractMessageHandler;

// The one way to report progress and errors from any thread: the line gets a
// time stamp and reaches the message log through the registered sender.
// Before a sender is registered the line is dropped.
void showStatus(const QString& message);
QString statusLine(const QString& message);

void setGlobalMessageSender(MessageSenderObject* sender);
MessageSenderObject* globalMessageSender();
void setGlobalMessageHandler(QAbstractMessageHandler* handler);
QAbstractMessageHandler* globalMessageHandler();
