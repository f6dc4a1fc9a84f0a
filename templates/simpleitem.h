#pragma once

#include <QString>

// The columns every editable list has; a derived record numbers its own after them.
enum SimpleColumn {
    colName = 0,
    colTitle = 1,
    colDescription = 2,
    colSimpleErrorText = 3,
};

// One record of an editable list: string fields addressed by column.
class SimpleItem
{
public:
    virtual ~SimpleItem() = default;

    virtual QString data(int column) const;
    virtual void setData(int column, const QString& value);
    // Called after the record has been filled from a file.
    virtual void afterProc() {}

    QString name;
    QString title;
    QString description;
    QString errorText;
};
