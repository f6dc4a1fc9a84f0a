#include "fileitem.h"

#include "globals.h"
#include "status.h"

#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>

FileItem::FileItem(const QString& fileName, FileItem* parentItem, bool isLink, ItemAttachment attachment)
    : parent(parentItem)
{
    if (parent) {
        removed = parent->realItem()->isRemoved();
        link = isLink;
        progress = parent->state();
        if (link) {
            if (attachment == ItemAttachment::AttachNow)
                parent->appendChild(this);
            return;
        }
    }
    const QFileInfo info(fileName);
    if (info.exists()) {
        dir = info.path();
        name = info.fileName();
        base = info.baseName();
        ext = info.suffix();
        completeExt = info.completeSuffix();
        size = info.size();
    } else {
        appendErrorText(QStringLiteral("Ошибка! Файл не существует: %1").arg(shownFileName(fileName)));
    }
    if (parent && attachment == ItemAttachment::AttachNow)
        parent->appendChild(this);
}

FileItem::~FileItem()
{
    qDeleteAll(children);
}

QList<FileItem*> FileItem::childItems() const
{
    QMutexLocker lock(&mutex);
    return children;
}

int FileItem::childCount() const
{
    QMutexLocker lock(&mutex);
    return children.size();
}

FileItem* FileItem::child(int index) const
{
    QMutexLocker lock(&mutex);
    return children.value(index, nullptr);
}

int FileItem::indexOfChild(const FileItem* item) const
{
    QMutexLocker lock(&mutex);
    return children.indexOf(const_cast<FileItem*>(item));
}

void FileItem::appendChild(FileItem* item)
{
    QMutexLocker lock(&mutex);
    children.append(item);
}

void FileItem::adoptChildren(const QList<FileItem*>& items)
{
    QMutexLocker lock(&mutex);
    children += items;
}

void FileItem::removeChildItem(int index)
{
    FileItem* item = nullptr;
    {
        QMutexLocker lock(&mutex);
        if (index < 0 || index >= children.size())
            return;
        item = children.takeAt(index);
    }
    delete item;
}

int FileItem::level() const
{
    int depth = 0;
    for (const FileItem* p = parent; p; p = p->parent)
        ++depth;
    return depth;
}

const FileItem* FileItem::realItem() const
{
    const FileItem* item = this;
    while (item->link && item->parent)
        item = item->parent;
    return item;
}

FileItem* FileItem::realItem()
{
    return const_cast<FileItem*>(static_cast<const FileItem*>(this)->realItem());
}

const FileItem* FileItem::topLevelItem() const
{
    const FileItem* item = this;
    while (item->parent)
        item = item->parent;
    return item;
}

QString FileItem::sourceFileName(bool withPath) const
{
    const FileItem* real = realItem();
    return withPath ? concatPathFile(real->dir, real->name) : real->name;
}

QString FileItem::sourceBase() const
{
    return realItem()->base;
}

QString FileItem::path(bool rootFolder) const
{
    if (!parent)
        return dir;
    const FileItem* real = realItem();
    if (!rootFolder)
        return real->dir;
    return real->topLevelItem()->dir;
}

QString FileItem::formatName() const
{
    return link ? QStringLiteral("link") : ext.toUpper();
}

QString FileItem::formatTitle() const
{
    if (link)
        return QStringLiteral("Ссылка");
    const QString lower = ext.toLower();
    if (lower == QLatin1String("zip"))
        return QStringLiteral("Архив ZIP");
    if (lower == QLatin1String("sig"))
        return QStringLiteral("Подпись SIG");
    if (lower == QLatin1String("pdf"))
        return QStringLiteral("Документ PDF");
    return QStringLiteral("Файл %1").arg(ext.toUpper());
}

QString FileItem::data(int column) const
{
    switch (column) {
    case colSourceFile:
        return shownFileName(sourceFileName(true));
    case colSize:
        return QLocale().toString(realItem()->size) + QLatin1Char(' ');
    case colFileType:
        return globalShowNames() ? formatName() : formatTitle();
    case colErrorText:
        return errorText();
    default:
        return QString();
    }
}

QString FileItem::reportLine() const
{
    QStringList fields;
    for (int column = 0; column < fileColumnCount; ++column)
        fields << data(column);
    return QString(level(), QLatin1Char('-')) + fields.join(QLatin1Char('\t'));
}

QIcon FileItem::icon() const
{
    // Made on first use: icons need the GUI, which the batch command lacks.
    if (fileIcon.isNull()) {
        fileIcon = link ? QIcon(QStringLiteral(":/images/iconlink.png"))
                        : QFileIconProvider().icon(QFileInfo(sourceFileName(true)));
    }
    return fileIcon;
}

FileItemState FileItem::state() const
{
    QMutexLocker lock(&mutex);
    return progress;
}

void FileItem::setState(FileItemState state)
{
    QMutexLocker lock(&mutex);
    progress = state;
}

bool FileItem::hasError() const
{
    QMutexLocker lock(&mutex);
    return failed;
}

QString FileItem::errorText() const
{
    QMutexLocker lock(&mutex);
    return errors;
}

void FileItem::appendErrorText(const QString& text, bool keepErrorFlag)
{
    if (text.isEmpty())
        return;
    addErrorText(text, !keepErrorFlag);
    showStatus(text);
}

void FileItem::recordErrorText(const QString& text)
{
    if (!text.isEmpty())
        addErrorText(text, true);
}

void FileItem::addErrorText(const QString& text, bool setErrorFlag)
{
    QMutexLocker lock(&mutex);
    if (setErrorFlag)
        failed = true;
    if (!errors.isEmpty())
        errors += QLatin1Char('\n');
    errors += text;
}

void FileItem::clearErrors()
{
    const QList<FileItem*> kids = [this] {
        QMutexLocker lock(&mutex);
        errors.clear();
        failed = false;
        return children;
    }();
    for (FileItem* item : kids)
        item->clearErrors();
}

bool FileItem::isRemoved() const
{
    QMutexLocker lock(&mutex);
    return removed;
}

bool FileItem::remove()
{
    if (link || isRemoved())
        return false;
    const bool ok = QFile::remove(concatPathFile(dir, name));
    {
        QMutexLocker lock(&mutex);
        removed = ok;
    }
    if (!ok)
        appendErrorText(QStringLiteral("Ошибка удаления файла: %1 ").arg(shownFileName(sourceFileName(true))));
    return ok;
}
