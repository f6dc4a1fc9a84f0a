#include "templateitem.h"

#include "globals.h"

QString TemplateItem::data(int column) const
{
    switch (column) {
    case colSuffix:
        return suffix;
    case colTemplateFile:
        return templateFile;
    case colQueryPath:
        return queryPath;
    case colNameQuery:
        return nameQuery;
    case colMatchQuery:
        return matchQuery;
    case colMatchPrefix:
        return matchPrefix;
    case colTemplateErrorText:
        return errorText;
    default:
        return column < colSuffix ? SimpleItem::data(column) : QString();
    }
}

void TemplateItem::setData(int column, const QString& value)
{
    switch (column) {
    case colSuffix:
        suffix = value;
        break;
    case colTemplateFile:
        templateFile = value;
        break;
    case colQueryPath:
        queryPath = value;
        break;
    case colNameQuery:
        nameQuery = value;
        break;
    case colMatchQuery:
        matchQuery = value;
        break;
    case colMatchPrefix:
        matchPrefix = value;
        break;
    default:
        // The error text is shown only; nothing may set it here.
        if (column < colSuffix)
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
