#include "templatelist.h"

const QString TemplateList::catalogueFileName = QStringLiteral("Templates.txt");

TemplateList::TemplateList(QObject* parent) : SimpleListContainer(parent)
{
    columnNames << QStringLiteral("Суф.") << QStringLiteral("Шаблон") << QStringLiteral("Путь запросов")
                << QStringLiteral("Запрос имени") << QStringLiteral("Запрос соответствия")
                << QStringLiteral("Преф. соответствия") << QStringLiteral("Текст ошибки");
}

SimpleItem* TemplateList::newItem() const
{
    return new TemplateItem;
}

TemplateItem* TemplateList::getItem(int index) const
{
    return static_cast<TemplateItem*>(SimpleListContainer::getItem(index));
}

int TemplateList::indexOf(const TemplateItem* item) const
{
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i) == item)
            return i;
    }
    return -1;
}
