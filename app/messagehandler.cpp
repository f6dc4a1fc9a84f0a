#include "messagehandler.h"

#include "globals.h"
#include "status.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

QString MessageHandler::htmlToPlainText(const QString& html)
{
    // The engine writes its descriptions as XHTML; read them as XML so that
    // entities are decoded, and fall back to stripping tags otherwise.
    QString text;
    QXmlStreamReader reader(html);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isCharacters())
            text += reader.text();
    }
    if (reader.hasError() && reader.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
        text = html;
        text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
            .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    }
    return text.simplified();
}

QString MessageHandler::formatMessage(QtMsgType, const QString& description, const QUrl& identifier,
                                      const QSourceLocation& sourceLocation)
{
    QString fileName = sourceLocation.uri().toLocalFile();
    if (fileName.isEmpty())
        fileName = sourceLocation.uri().toString();

    QString line = QStringLiteral("Ошибка");
    if (!fileName.isEmpty()) {
        line += fileName.endsWith(QLatin1String(".xq"), Qt::CaseInsensitive) ? QStringLiteral(" в запросе: ")
                                                                              : QStringLiteral(" в файле: ");
        line += shownFileName(fileName);
    }
    if (sourceLocation.line() >= 0)
        line += QStringLiteral(", строка: %1").arg(sourceLocation.line());
    if (sourceLocation.column() >= 0)
        line += QStringLiteral(", позиция: %1").arg(sourceLocation.column());
    const QString plain = htmlToPlainText(description);
    if (!plain.isEmpty())
        line += QStringLiteral(", описание: %1").arg(plain);
    const QString id = identifier.toString();
    if (!id.isEmpty())
        line += QStringLiteral(", идентификатор: %1").arg(id);
    return line;
}

void MessageHandler::handleMessage(QtMsgType type, const QString& description, const QUrl& identifier,
                                   const QSourceLocation& sourceLocation)
{
    if (type == QtWarningMsg)
        return;
    showStatus(formatMessage(type, description, identifier, sourceLocation));
}
