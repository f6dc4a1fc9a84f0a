#pragma once

#include <QAbstractTableModel>

class SimpleListContainer;

// An editable list as a table: one row per record, one column per list
// column. Every cell is editable; an edit goes through the list, which thus
// becomes modified, and is announced to every view of the model. Loading the
// list resets the model.
class SimpleTableListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SimpleTableListModel(QObject* parent = nullptr);
    ~SimpleTableListModel() override;

    // The list is not owned and must outlive the model.
    void setList(SimpleListContainer* list);
    SimpleListContainer* list() const { return container; }
    // While the list is read elsewhere (by workers during a run) it must not
    // change: no cell is editable then.
    void setReadOnly(bool readOnly) { frozen = readOnly; }
    bool isReadOnly() const { return frozen; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

public slots:
    void listLoaded();

private slots:
    void listAboutToBeLoaded();

private:
    SimpleListContainer* container = nullptr;
    bool resetting = false;
    bool frozen = false;
};
