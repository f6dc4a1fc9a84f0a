#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class QIODevice;
class QTextCodec;
class SimpleItem;

// A list of string records kept in a tab-separated text file, one record per
// line. It tracks whether it changed since it was loaded or saved. The last
// column is run-time only and is not saved.
class SimpleListContainer : public QObject
{
    Q_OBJECT
public:
    explicit SimpleListContainer(QObject* parent = nullptr);
    ~SimpleListContainer() override;

    virtual SimpleItem* newItem() const;
    virtual SimpleItem* getItem(int index) const;
    virtual SimpleItem* itemByName(const QString& name) const;
    virtual void afterLoad() {}

    int count() const { return items.size(); }
    int columnCount() const { return columnNames.size(); }
    QString data(int row, int column) const;
    void setData(int row, int column, const QString& value);
    void setModified(bool flag);
    bool isModified() const { return modified; }

    // Writes the records as save() does, without taking the file as the
    // list's own: a copy for another process to read.
    bool write(QIODevice& device) const;

    QList<SimpleItem*> items;
    QStringList columnNames;
    QString fileName;
    QTextCodec* codec;

signals:
    // A load is about to add records; listLoaded follows when it is done.
    void listAboutToBeLoaded();
    void listLoaded();
    void modifiedStatusChanged(bool modified);

public slots:
    bool load(const QString& fileName);
    bool save(const QString& fileName = QString());

private:
    bool modified = false;
};
