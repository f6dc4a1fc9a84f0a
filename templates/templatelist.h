#pragma once

#include "simplelistcontainer.h"
#include "templateitem.h"

// The catalogue of document templates, kept in "Templates.txt".
class TemplateList : public SimpleListContainer
{
    Q_OBJECT
public:
    explicit TemplateList(QObject* parent = nullptr);

    SimpleItem* newItem() const override;
    TemplateItem* getItem(int index) const override;
    int indexOf(const TemplateItem* item) const;

    static const QString catalogueFileName;

    // A message for every line of the catalogue file at `path` that cannot
    // serve as a template entry (not UTF-8 text, too few fields, no name or
    // template file, a template file or query folder outside its resource
    // folder), each naming the line.
    static QStringList unusableLines(const QString& path);
};
