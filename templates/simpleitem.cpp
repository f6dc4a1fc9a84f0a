#include "simpleitem.h"

QString SimpleItem::data(int column) const
{
    switch (column) {
    case colName:
        return name;
    case colTitle:
        return title;
    case colDescription:
        return description;
    case colSimpleErrorText:
        return errorText;
    default:
        return QString();
    }
}

void SimpleItem::setData(int column, const QString& value)
{
    switch (column) {
    case colName:
        name = value;
        break;
    case colTitle:
        title = value;
        break;
    case colDescription:
        description = value;
        break;
    case colSimpleErrorText:
        errorText = value;
        break;
    default:
        break;
    }
}
