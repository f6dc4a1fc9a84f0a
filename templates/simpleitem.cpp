#include "simpleitem.h"

QString SimpleItem::data(int column) const
{
    switch (column) {
    case 0:
        return name;
    case 1:
        return title;
    case 2:
        return description;
    case 3:
        return errorText;
    default:
        return QString();
    }
}

void SimpleItem::setData(int column, const QString& value)
{
    switch (column) {
    case 0:
        name = value;
        break;
    case 1:
        title = value;
        break;
    case 2:
        description = value;
        break;
    case 3:
        errorText = value;
        break;
    default:
        break;
    }
}
