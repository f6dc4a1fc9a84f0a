#include "proccommand.h"

const QString ProcCommand::patCommandBlock = QStringLiteral("\\[[^\\[]*%[^\\[]*%[^\\[]*\\]");

ProcCommand::ProcCommand(const QString& blockText)
{
    static const QRegularExpression whiteSpace(QStringLiteral("\\s"));
    text = blockText;
    text.remove(whiteSpace);
    text = text.mid(2, qMax(0, text.length() - 4));

    const QStringList pieces = text.split(QLatin1Char('%'));
    for (const QString& piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char('='));
        QString key = parts.at(0).toLower();
        QString value = parts.size() > 1 ? parts.at(1) : QString();

        if (key == QLatin1String("insert_table"))
            type = TableInsert;
        else if (key == QLatin1String("iterate_start"))
            type = IterateStart;
        else if (key == QLatin1String("iterate_end"))
            type = IterateEnd;
        else if (key == QLatin1String("insert_picture"))
            type = PictureInsert;

        if (pieces.size() == 1 && parts.size() == 1 && type == TextInsert) {
            key = QStringLiteral("query");
            value = piece;
        }
        optionMap.insert(key, value);
    }
}

bool ProcCommand::closesBlock(const QString& varName) const
{
    return type == IterateEnd &&
           option(QStringLiteral("iterate_end")).compare(varName, Qt::CaseInsensitive) == 0;
}

bool ProcCommand::isKnownKey(const QString& key)
{
    static const QStringList known{QStringLiteral("query"),
                                   QStringLiteral("replace_empty"),
                                   QStringLiteral("iterate_start"),
                                   QStringLiteral("iterate_end"),
                                   QStringLiteral("separate"),
                                   QStringLiteral("keep_empty"),
                                   QStringLiteral("insert_table"),
                                   QStringLiteral("insert_picture"),
                                   QStringLiteral("delete_empty_section")};
    return known.contains(key);
}

QStringList ProcCommand::unknownKeys() const
{
    QStringList unknown;
    for (auto it = optionMap.constBegin(); it != optionMap.constEnd(); ++it) {
        if (!isKnownKey(it.key()))
            unknown << it.key();
    }
    return unknown;
}

const QRegularExpression& ProcCommand::blockPattern()
{
    static const QRegularExpression reCommandBlock(patCommandBlock);
    return reCommandBlock;
}

bool ProcCommand::isWholeBlock(const QString& text)
{
    static const QRegularExpression reWholeBlock(QRegularExpression::anchoredPattern(patCommandBlock));
    // Cheap rejection first: most text nodes and runs are no command.
    if (text.size() < 4 || text.at(0) != QLatin1Char('[') || !text.endsWith(QLatin1Char(']')))
        return false;
    return reWholeBlock.match(text).hasMatch();
}
