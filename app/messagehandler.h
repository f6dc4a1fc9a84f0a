#pragma once

#include <QAbstractMessageHandler>

// Turns messages of the XQuery engine into one readable log line each.
// The base class serialises calls, so several worker threads may share it.
class MessageHandler : public QAbstractMessageHandler
{
    Q_OBJECT
public:
    using QAbstractMessageHandler::QAbstractMessageHandler;

    // The line that handleMessage() logs, without the time stamp.
    static QString formatMessage(QtMsgType type, const QString& description, const QUrl& identifier,
                                 const QSourceLocation& sourceLocation);
    static QString htmlToPlainText(const QString& html);

protected:
    void handleMessage(QtMsgType type, const QString& description, const QUrl& identifier,
                       const QSourceLocation& sourceLocation) override;
};
