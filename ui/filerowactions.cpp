#include "filerowactions.h"

#include "desktopopener.h"
#include "fileitem.h"
#include "filemodel.h"

#include <QAction>
#include <QDockWidget>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTreeView>

FileRowActions::FileRowActions(QTreeView* fileView, QDockWidget* logDock, QPlainTextEdit* log, QObject* parent)
    : QObject(parent), view(fileView), logDock(logDock), log(log),
      openDocumentAct(new QAction(QIcon(QStringLiteral(":/images/iconopen.png")), QStringLiteral("Открыть документ"),
                                  this)),
      showInFolderAct(new QAction(QIcon(QStringLiteral(":/images/iconfolder.png")),
                                  QStringLiteral("Показать в папке"), this)),
      showErrorAct(new QAction(QStringLiteral("Показать ошибку"), this))
{
    openDocumentAct->setStatusTip(QStringLiteral("Открыть сформированный документ приложением по умолчанию"));
    showInFolderAct->setStatusTip(QStringLiteral("Открыть папку сформированного документа в файловом менеджере"));
    showErrorAct->setStatusTip(QStringLiteral("Выделить сообщения об ошибке файла в подробностях выполнения"));
    connect(openDocumentAct, &QAction::triggered, this, &FileRowActions::openDocument);
    connect(showInFolderAct, &QAction::triggered, this, &FileRowActions::showInFolder);
    connect(showErrorAct, &QAction::triggered, this, &FileRowActions::showError);

    // Above whatever the view offers already (copying).
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    const QList<QAction*> existing = view->actions();
    view->insertActions(existing.value(0), {openDocumentAct, showInFolderAct, showErrorAct});
    if (!existing.isEmpty())
        view->insertAction(existing.first(), separator);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &FileRowActions::contextMenu);
    connect(view, &QAbstractItemView::activated, this, &FileRowActions::activated);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, &FileRowActions::updateActions);
    // A row's document or error may come while it is current.
    connect(view->model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                const QModelIndex current = view->currentIndex();
                if (current.parent() == topLeft.parent() && current.row() >= topLeft.row()
                    && current.row() <= bottomRight.row())
                    updateActions();
            });
    connect(view->model(), &QAbstractItemModel::rowsRemoved, this, &FileRowActions::updateActions);
    connect(view->model(), &QAbstractItemModel::modelReset, this, &FileRowActions::updateActions);
    connect(log, &QPlainTextEdit::cursorPositionChanged, this, &FileRowActions::logCursorMoved);
    updateActions();
}

QString FileRowActions::madeDocument(const QModelIndex& index) const
{
    const QString path = FileModel::documentPathOf(index);
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

QString FileRowActions::errorTextOf(const QModelIndex& index) const
{
    return index.isValid() ? index.sibling(index.row(), colErrorText).data().toString() : QString();
}

void FileRowActions::updateActions()
{
    enableFor(view->currentIndex());
}

void FileRowActions::enableFor(const QModelIndex& index)
{
    const bool hasDocument = !madeDocument(index).isEmpty();
    openDocumentAct->setEnabled(hasDocument);
    showInFolderAct->setEnabled(hasDocument);
    showErrorAct->setEnabled(!errorTextOf(index).isEmpty());
}

void FileRowActions::activated(const QModelIndex& index)
{
    const QString document = madeDocument(index);
    if (!document.isEmpty())
        DesktopOpener::openDocument(document);
}

void FileRowActions::openDocument()
{
    const QString document = madeDocument(view->currentIndex());
    if (!document.isEmpty())
        DesktopOpener::openDocument(document);
}

void FileRowActions::showInFolder()
{
    const QString document = madeDocument(view->currentIndex());
    if (!document.isEmpty())
        DesktopOpener::showInFolder(document);
}

void FileRowActions::contextMenu(const QPoint& position)
{
    // The row under the pointer; below the rows there is none to act on.
    const QModelIndex index = view->indexAt(position);
    if (index.isValid() && index != view->currentIndex())
        view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    enableFor(index);
    QMenu menu(view);
    menu.addActions(view->actions());
    // What a double click does, shown as such.
    if (openDocumentAct->isEnabled())
        menu.setDefaultAction(openDocumentAct);
    menu.exec(view->viewport()->mapToGlobal(position));
    updateActions();
}

void FileRowActions::showError()
{
    emit logNeeded();
    QStringList pieces = errorTextOf(view->currentIndex()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return;
    // Every log line that carries a part of the error is marked; the last
    // one, the latest report, is selected and scrolled to.
    QList<QTextEdit::ExtraSelection> marks;
    for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        for (const QString& piece : pieces) {
            if (line.endsWith(piece)) {
                QTextEdit::ExtraSelection mark;
                mark.cursor = QTextCursor(block);
                mark.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                mark.format.setBackground(log->palette().color(QPalette::Active, QPalette::Highlight));
                mark.format.setForeground(log->palette().color(QPalette::Active, QPalette::HighlightedText));
                marks << mark;
                break;
            }
        }
    }
    logDock->show();
    logDock->raise();
    if (marks.isEmpty()) {
        log->setExtraSelections({});
        return;
    }
    markingLog = true;
    log->setTextCursor(marks.last().cursor);
    log->ensureCursorVisible();
    log->setExtraSelections(marks);
    markingLog = false;
    // So that the selected lines can be copied at once.
    log->setFocus();
}

void FileRowActions::logCursorMoved()
{
    // The marks go once the user moves on in the log.
    if (!markingLog && !log->extraSelections().isEmpty())
        log->setExtraSelections({});
}
