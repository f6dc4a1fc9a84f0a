#include "proccommand.h"

#include <QRegularExpression>

ProcCommand::ProcCommand(const QString& blockText)
{
    static const QRegularExpression whiteSpace(QStringLiteral("\\s"));
    commandText = blockText;
    commandText.remove(whiteSpace);
    commandText = commandText.mid(2, qMax(0, commandText.length() - 4));

    const QStringList pieces = commandText.split(QLatin1Char('%'));
    for (const QString& piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char('='));
        QString key = parts.at(0).toLower();
        QString value = parts.size() > 1 ? parts.at(1) : QString();

        if (key == QLatin1String("insert_table"))
            commandType = TableInsert;
        else if (key == QLatin1String("iterate_start"))
            commandType = IterateStart;
        else if (key == QLatin1String("iterate_end"))
            commandType = IterateEnd;
        else if (key == QLatin1String("insert_picture"))
            commandType = PictureInsert;

        if (pieces.size() == 1 && parts.size() == 1 && commandType == TextInsert) {
            key = QStringLiteral("query");
            value = piece;
        }
        options.insert(key, value);
    }
}
