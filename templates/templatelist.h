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
};
