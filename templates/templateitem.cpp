#include "templateitem.h"

#include "globals.h"

QString TemplateItem::data(int column) const
{
    switch (column) {
    case 3:
        return suffix;
    case 4:
        return templateFile;
    case 5:
        return queryPath;
    case 6:
        return nameQuery;
    case 7:
        return matchQuery;
    case 8:
        return matchPrefix;
    case 9:
        return errorText;
    default:
        return column < 3 ? SimpleItem::data(column) : QString();
    }
}

void TemplateItem::setData(int column, const QString& value)
{
    switch (column) {
    case 3:
        suffix = value;
        break;
    case 4:
        templateFile = value;
        break;
    case 5:
        queryPath = value;
        break;
    case 6:
        nameQuery = value;
        break;
    case 7:
        matchQuery = value;
        break;
    case 8:
        matchPrefix = value;
        break;
    default:
        // The error text (column 9) is shown only; nothing may set it here.
        if (column < 3)
            SimpleItem::setData(column, value);
        break;
    }
}

QString TemplateItem::queryFolder() const
{
    return concatPath(QStringLiteral("Queries"), queryPath);
}

QString TemplateItem::locateQuery(const QString& queryName) const
{
    if (queryName.isEmpty())
        return QString();
    return locateInResource(queryFolder(), checkExt(queryName, QStringLiteral("xq")));
}
