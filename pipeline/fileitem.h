#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QString>

// How far an item has come through the steps of processing.
enum FileItemState {
    stateNew = 0,
    stateUnpacked = 1,
    stateRecognized = 2,
    stateGenerated = 3,
};

// The columns of the processing list, in the report and in the file view.
enum FileColumn {
    colSourceFile = 0,
    colSize = 1,
    colFileType = 2,
    colTemplate = 3,
    colDocument = 4,
    colErrorText = 5,
};
const int fileColumnCount = colErrorText + 1;

// Whether a new item joins its parent's children at once, or waits to be
// adopted with adoptChildren() once it is complete.
enum class ItemAttachment { AttachNow, AttachLater };

// One entry of the processing list: a file the user added, a file unpacked
// from an archive, or (for XML files) an additional template entry, a "link".
//
// Threads: items are created and destroyed on the main thread. During a
// processing step a worker thread writes the fields of the one item it owns
// while the view may read the same item on the main thread. Every field that
// changes after construction (state, errors, the removed flag, the children
// and, in XmlFileItem, the template and destination) is therefore read and
// written only through the accessors below, under the item's own mutex. The
// lock is held only to copy a value in or out, never while calling out of
// the item, and never two item locks at a time, so it cannot deadlock.
// The name fields are fixed at construction and read without a lock. The
// icons are created and read on the main thread only.
class FileItem
{
public:
    FileItem(const QString& fileName, FileItem* parentItem, bool isLink,
             ItemAttachment attachment = ItemAttachment::AttachNow);
    virtual ~FileItem();
    FileItem(const FileItem&) = delete;
    FileItem& operator=(const FileItem&) = delete;

    virtual QString data(int column) const;
    // The item's line of the processing-list report, without its line end:
    // a "-" for each level below the top, then the columns, tab-separated.
    QString reportLine() const;

    // The tree.
    FileItem* parentItem() const { return parent; }
    QList<FileItem*> childItems() const;
    int childCount() const;
    FileItem* child(int index) const;
    int indexOfChild(const FileItem* item) const;
    void removeChildItem(int index);
    // Depth of the item below the top level (0 for a top-level item).
    int level() const;

    // The item whose file this is: the item itself, or for a link the
    // nearest ancestor that is not a link.
    const FileItem* realItem() const;
    FileItem* realItem();
    const FileItem* topLevelItem() const;

    // Fixed at construction.
    const QString& dirPath() const { return dir; }
    const QString& fileName() const { return name; }
    const QString& baseName() const { return base; }
    const QString& suffix() const { return ext; }
    const QString& completeSuffix() const { return completeExt; }
    qint64 fileSize() const { return size; }
    bool isLink() const { return link; }

    QString sourceFileName(bool withPath) const;
    QString sourceBase() const;
    QString path(bool rootFolder) const;
    QString formatName() const;
    QString formatTitle() const;
    QIcon icon() const;

    // Progress and errors, safe from any thread.
    FileItemState state() const;
    void setState(FileItemState state);
    bool hasError() const;
    QString errorText() const;
    void appendErrorText(const QString& text, bool keepErrorFlag = false);
    // Appends to the error text and sets the error flag without showing the
    // text: for work done elsewhere (a worker process) that showed it already.
    void recordErrorText(const QString& text);
    void clearErrors();
    bool isRemoved() const;
    bool remove();

protected:
    // Children are added from the thread that owns the item (the unpacking
    // worker adds the files of its archive), so under the lock, and only
    // when fully constructed: a view may read them at once.
    void appendChild(FileItem* item);
    void adoptChildren(const QList<FileItem*>& items);

    mutable QMutex mutex;

private:
    void addErrorText(const QString& text, bool setErrorFlag);

    FileItem* const parent;
    QList<FileItem*> children;
    QString dir;
    QString name;
    QString base;
    QString ext;
    QString completeExt;
    qint64 size = 0;
    bool link = false;
    bool removed = false;
    QString errors;
    FileItemState progress = stateNew;
    bool failed = false;
    mutable QIcon fileIcon;
};

Q_DECLARE_METATYPE(FileItem*)
