#pragma once

#include "simpleitem.h"

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
