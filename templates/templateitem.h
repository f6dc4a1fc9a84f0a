#pragma once

#include "simpleitem.h"

// The catalogue's own columns after name, title and description; its error
// text takes the last column instead of the plain list's fourth.
enum TemplateColumn {
    colSuffix = 3,
    colTemplateFile = 4,
    colQueryPath = 5,
    colNameQuery = 6,
    colMatchQuery = 7,
    colMatchPrefix = 8,
    colTemplateErrorText = 9,
};

// A catalogue entry: which template document to use, where its queries lie,
// how to recognise its XML files and how to name the documents made from it.
class TemplateItem : public SimpleItem
{
public:
    QString data(int column) const override;
    void setData(int column, const QString& value) override;

    // "Queries", or "Queries/<query path>": the folder below the resource
    // folders that holds this template's query files.
    QString queryFolder() const;
    // Full path of a query file of this template, or empty when no resource
    // folder holds it.
    QString locateQuery(const QString& queryName) const;

    QString suffix;
    QString templateFile;
    QString queryPath;
    QString nameQuery;
    QString matchQuery;
    QString matchPrefix;
};
