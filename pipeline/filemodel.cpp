#include "filemodel.h"

#include "fileitem.h"
#include "filelist.h"
#include "settingscatalogue.h"
#include "settingsgroup.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"

#include <QColor>
#include <QFont>

namespace {

// An archive from which exactly one XML file was unpacked stands for that
// file: its row shows the file's template, document and colour.
const FileItem* representativeOf(const FileItem* item)
{
    if (!dynamic_cast<const ZipFileItem*>(item))
        return nullptr;
    const FileItem* found = nullptr;
    for (const FileItem* child : item->childItems()) {
        if (dynamic_cast<const XmlFileItem*>(child)) {
            if (found)
                return nullptr;
            found = child;
        }
    }
    return found;
}

QVariant colourSetting(const QString& key)
{
    const QColor colour = gst.value(key).value<QColor>();
    return colour.isValid() ? QVariant(colour) : QVariant();
}

QVariant backgroundForState(FileItemState state)
{
    switch (state) {
    case stateUnpacked:
        return colourSetting(stColorUnziped);
    case stateRecognized:
        return colourSetting(stColorRecognized);
    case stateGenerated:
        return colourSetting(stColorTransformed);
    case stateNew:
        break;
    }
    return QVariant();
}

} // namespace

FileModel::FileModel(FileList* fileList, QObject* parent) : QAbstractItemModel(parent), fileList(fileList)
{
    connect(fileList, &FileList::filesAboutToBeInserted, this, &FileModel::filesAboutToBeInserted);
    connect(fileList, &FileList::filesInserted, this, &FileModel::filesInserted);
    connect(fileList, &FileList::filesRemoveStart, this, &FileModel::filesRemoveStart);
    connect(fileList, &FileList::filesRemoveEnd, this, &FileModel::filesRemoveEnd);
    connect(fileList, &FileList::rowChanged, this, &FileModel::rowChanged);
    connect(fileList, &FileList::itemChanged, this, &FileModel::itemChanged);
}

FileItem* FileModel::itemOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<FileItem*>(index.internalPointer()) : nullptr;
}

int FileModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return fileList->items().size();
    if (parent.column() != 0)
        return 0;
    return itemOf(parent)->childCount();
}

int FileModel::columnCount(const QModelIndex&) const
{
    return fileList->columnNames().size();
}

QModelIndex FileModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    FileItem* item = parent.isValid() ? itemOf(parent)->child(row) : fileList->items().value(row);
    return item ? createIndex(row, column, item) : QModelIndex();
}

QModelIndex FileModel::parent(const QModelIndex& index) const
{
    const FileItem* item = itemOf(index);
    FileItem* parentItem = item ? item->parentItem() : nullptr;
    return parentItem ? indexOfItem(parentItem) : QModelIndex();
}

QString FileModel::documentPathOf(const QModelIndex& index)
{
    const FileItem* item = itemOf(index);
    if (!item)
        return QString();
    const FileItem* representative = representativeOf(item);
    const auto* xml = dynamic_cast<const XmlFileItem*>(representative ? representative : item);
    return xml ? xml->destFilePath() : QString();
}

QVariant FileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A column narrowed below its title still tells it in full.
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::ToolTipRole))
        return fileList->columnNames().value(section);
    if (role != Qt::DisplayRole)
        return QVariant();
    return section + 1;
}

Qt::ItemFlags FileModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags standard = QAbstractItemModel::flags(index);
    const FileItem* item = itemOf(index);
    if (item && index.column() == colSourceFile && item->realItem()->isRemoved())
        return Qt::ItemIsSelectable;
    return standard;
}

QVariant FileModel::data(const QModelIndex& index, int role) const
{
    const FileItem* item = itemOf(index);
    if (!item)
        return QVariant();
    const int column = index.column();
    const FileItem* representative = representativeOf(item);
    const FileItem* shown = representative ? representative : item;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return column <= colFileType ? item->data(column) : shown->data(column);
    case Qt::DecorationRole:
        if (column == colSourceFile)
            return item->icon();
        if (column == colDocument) {
            if (const auto* xml = dynamic_cast<const XmlFileItem*>(shown); xml && xml->state() > stateRecognized)
                return xml->destIcon();
        }
        return QVariant();
    case Qt::FontRole:
        if (item->hasError()) {
            QFont bold;
            bold.setWeight(QFont::Bold);
            return bold;
        }
        if (column == colSourceFile && item->realItem()->isRemoved()) {
            QFont italic;
            italic.setItalic(true);
            return italic;
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        return column == colSize ? QVariant(int(Qt::AlignRight)) : QVariant();
    case Qt::BackgroundRole:
        return backgroundForState(shown->state());
    case Qt::ForegroundRole:
        return item->hasError() ? colourSetting(stColorError) : QVariant();
    default:
        return QVariant();
    }
}

int FileModel::itemRow(FileItem* item) const
{
    return fileList->itemRow(item);
}

QModelIndex FileModel::indexOfItem(FileItem* item) const
{
    if (!item)
        return QModelIndex();
    const int row = itemRow(item);
    return row < 0 ? QModelIndex() : createIndex(row, 0, item);
}

void FileModel::filesAboutToBeInserted(int first, int last, FileItem* parentItem)
{
    beginInsertRows(indexOfItem(parentItem), first, last);
    inserting = true;
}

void FileModel::filesInserted(int, int, FileItem*)
{
    if (!inserting) {
        // Rows that arrived unannounced: the views must read everything anew.
        beginResetModel();
        endResetModel();
        return;
    }
    inserting = false;
    endInsertRows();
}

void FileModel::filesRemoveStart(int first, int last, FileItem* parentItem)
{
    beginRemoveRows(indexOfItem(parentItem), first, last);
}

void FileModel::filesRemoveEnd()
{
    endRemoveRows();
}

void FileModel::rowChanged(int row, FileItem* parentItem)
{
    const QModelIndex parent = indexOfItem(parentItem);
    if (row < 0 || row >= rowCount(parent) || (parentItem && !parent.isValid()))
        return;
    // Cell by cell: a view repaints just the cells of a single-cell change,
    // and nothing when they are scrolled away, where a range makes it paint
    // all it shows. A long run changes every row twice.
    for (int column = 0; column < columnCount(); ++column) {
        const QModelIndex cell = index(row, column, parent);
        emit dataChanged(cell, cell);
    }
}

void FileModel::itemChanged(FileItem* item)
{
    if (!item)
        return;
    FileItem* parentItem = item->parentItem();
    rowChanged(itemRow(item), parentItem);
    // An archive's row may show this file as its representative.
    if (dynamic_cast<ZipFileItem*>(parentItem))
        rowChanged(itemRow(parentItem), parentItem->parentItem());
}
