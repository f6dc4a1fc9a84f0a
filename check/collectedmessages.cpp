#include "collectedmessages.h"

#include "messagehandler.h"

#include <QMutexLocker>
#include <QStringList>
#include <QUrl>

QString CollectedMessages::Message::where() const
{
    QStringList pieces;
    if (location.line() > 0)
        pieces << QStringLiteral("строка %1").arg(location.line());
    if (location.column() > 0)
        pieces << QStringLiteral("позиция %1").arg(location.column());
    return pieces.join(QStringLiteral(", "));
}

QString CollectedMessages::Message::shown() const
{
    const QString place = where();
    return place.isEmpty() ? text : place + QStringLiteral(": ") + text;
}

QVector<CollectedMessages::Message> CollectedMessages::take()
{
    QMutexLocker lock(&mutex);
    QVector<Message> taken;
    taken.swap(messages);
    return taken;
}

void CollectedMessages::handleMessage(QtMsgType type, const QString& description, const QUrl& identifier,
                                      const QSourceLocation& sourceLocation)
{
    if (type == QtWarningMsg)
        return;
    QMutexLocker lock(&mutex);
    messages.append({MessageHandler::htmlToPlainText(description), identifier.fragment(), sourceLocation});
}
