#pragma once

#include <QMap>
#include <QString>

enum CommandType {
    TextInsert = 0,
    TableInsert = 1,
    IterateStart = 2,
    IterateEnd = 3,
    PictureInsert = 4,
};

// One template command such as [%insert_table%query=Rows%], parsed into its
// kind and its options (keys in lower case, values as written).
class ProcCommand
{
public:
    explicit ProcCommand(const QString& blockText);

    QString option(const QString& key) const { return options.value(key); }
    bool hasOption(const QString& key) const { return options.contains(key); }

    QString commandText;
    CommandType commandType = TextInsert;
    QMap<QString, QString> options;
};
