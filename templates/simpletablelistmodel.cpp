#include "simpletablelistmodel.h"

#include "simplelistcontainer.h"

SimpleTableListModel::SimpleTableListModel(QObject* parent) : QAbstractTableModel(parent) {}

SimpleTableListModel::~SimpleTableListModel() = default;

void SimpleTableListModel::setList(SimpleListContainer* list)
{
    beginResetModel();
    if (container)
        disconnect(container, nullptr, this, nullptr);
    container = list;
    if (container) {
        connect(container, &SimpleListContainer::listAboutToBeLoaded, this,
                &SimpleTableListModel::listAboutToBeLoaded);
        connect(container, &SimpleListContainer::listLoaded, this, &SimpleTableListModel::listLoaded);
    }
    endResetModel();
}

int SimpleTableListModel::rowCount(const QModelIndex& parent) const
{
    return container && !parent.isValid() ? container->count() : 0;
}

int SimpleTableListModel::columnCount(const QModelIndex& parent) const
{
    return container && !parent.isValid() ? container->columnCount() : 0;
}

QVariant SimpleTableListModel::data(const QModelIndex& index, int role) const
{
    if (!container || !index.isValid())
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return QVariant();
    return container->data(index.row(), index.column());
}

bool SimpleTableListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!container || !index.isValid() || role != Qt::EditRole || frozen)
        return false;
    const QString before = container->data(index.row(), index.column());
    container->setData(index.row(), index.column(), value.toString());
    if (container->data(index.row(), index.column()) != before)
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole});
    return true;
}

QVariant SimpleTableListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!container)
        return QVariant();
    // A column narrowed below its title still tells it in full.
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::ToolTipRole))
        return container->columnNames.value(section);
    if (role != Qt::DisplayRole)
        return QVariant();
    return section + 1;
}

Qt::ItemFlags SimpleTableListModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags standard = QAbstractTableModel::flags(index);
    return index.isValid() && !frozen ? standard | Qt::ItemIsEditable : standard;
}

void SimpleTableListModel::listAboutToBeLoaded()
{
    if (resetting)
        return;
    resetting = true;
    beginResetModel();
}

void SimpleTableListModel::listLoaded()
{
    // Loading adds rows; views laid out before must read the table anew.
    if (!resetting)
        beginResetModel();
    resetting = false;
    endResetModel();
}
