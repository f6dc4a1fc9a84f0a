#include "simplelistcontainer.h"

#include "simpleitem.h"

#include <QFile>
#include <QSaveFile>
#include <QTextCodec>
#include <QTextStream>

SimpleListContainer::SimpleListContainer(QObject* parent)
    : QObject(parent), columnNames({QStringLiteral("Имя"), QStringLiteral("Заголовок"), QStringLiteral("Описание")}),
      codec(QTextCodec::codecForName("UTF-8"))
{
}

SimpleListContainer::~SimpleListContainer()
{
    qDeleteAll(items);
}

SimpleItem* SimpleListContainer::newItem() const
{
    return new SimpleItem;
}

SimpleItem* SimpleListContainer::getItem(int index) const
{
    return items.value(index, nullptr);
}

SimpleItem* SimpleListContainer::itemByName(const QString& name) const
{
    for (SimpleItem* item : items) {
        if (item->data(colName).compare(name, Qt::CaseInsensitive) == 0)
            return item;
    }
    return nullptr;
}

QString SimpleListContainer::data(int row, int column) const
{
    const SimpleItem* item = getItem(row);
    if (!item || column < 0 || column >= columnCount())
        return QString();
    return item->data(column);
}

void SimpleListContainer::setData(int row, int column, const QString& value)
{
    SimpleItem* item = getItem(row);
    if (!item || column < 0 || column >= columnCount() || item->data(column) == value)
        return;
    item->setData(column, value);
    setModified(true);
}

void SimpleListContainer::setModified(bool flag)
{
    if (flag == modified)
        return;
    modified = flag;
    emit modifiedStatusChanged(flag);
}

bool SimpleListContainer::load(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    this->fileName = fileName;
    emit listAboutToBeLoaded();
    QTextStream stream(&file);
    stream.setCodec(codec);
    QString line;
    while (stream.readLineInto(&line)) {
        if (line.isEmpty())
            continue;
        SimpleItem* item = newItem();
        items.append(item);
        const int row = items.size() - 1;
        const QStringList fields = line.split(QLatin1Char('\t'));
        const int n = qMin(fields.size(), columnCount());
        for (int column = 0; column < n; ++column)
            setData(row, column, fields.at(column).simplified());
        item->afterProc();
    }
    afterLoad();
    emit listLoaded();
    setModified(false);
    return !items.isEmpty();
}

bool SimpleListContainer::save(const QString& fileName)
{
    const QString target = fileName.isEmpty() ? this->fileName : fileName;
    // Written beside the old file and put in its place only when complete,
    // so a failed save cannot leave the catalogue truncated.
    QSaveFile file(target);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    this->fileName = target;
    if (!write(file) || !file.commit())
        return false;
    setModified(false);
    return true;
}

bool SimpleListContainer::write(QIODevice& device) const
{
    QTextStream stream(&device);
    stream.setCodec(codec);
    const int savedColumns = columnCount() - 1;
    for (int row = 0; row < items.size(); ++row) {
        QStringList fields;
        for (int column = 0; column < savedColumns; ++column)
            fields << data(row, column);
        stream << fields.join(QLatin1Char('\t')) << '\n';
    }
    stream.flush();
    return stream.status() == QTextStream::Ok;
}
