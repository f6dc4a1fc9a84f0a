#pragma once

#include <QAbstractItemModel>

class FileItem;
class FileList;

// The processing list as a tree for the file view: one row per item, the
// list's six columns, archives, unpacked files and additional template
// entries as parent and child rows. It adds what the items do not carry:
// icons, fonts, alignment and the colours of each item's progress and
// errors (read from the settings every time, so a changed colour shows at
// the next repaint). It never changes the list; it follows its signals,
// which all arrive on the main thread.
class FileModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit FileModel(FileList* fileList, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int itemRow(FileItem* item) const;
    static FileItem* itemOf(const QModelIndex& index);
    // The document the row names in its document column (its own, or that
    // of the one XML file of an archive), or empty while it has none.
    static QString documentPathOf(const QModelIndex& index);

public slots:
    void filesAboutToBeInserted(int first, int last, FileItem* parentItem);
    void filesInserted(int first, int last, FileItem* parentItem);
    void filesRemoveStart(int first, int last, FileItem* parentItem);
    void filesRemoveEnd();
    void rowChanged(int row, FileItem* parentItem);
    void itemChanged(FileItem* item);

private:
    QModelIndex indexOfItem(FileItem* item) const;

    FileList* fileList;
    bool inserting = false;
};
