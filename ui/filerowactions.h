#pragma once

#include <QModelIndex>
#include <QObject>

class QAction;
class QDockWidget;
class QPlainTextEdit;
class QPoint;
class QTreeView;

// What a row of the file view leads to: its document, opened with the
// desktop's default application (also by a double click or Enter), the
// document's folder in the file manager, and the log lines of its error.
// The actions act on the current row and are enabled only where there is
// something to show; the view's context menu offers them above the view's
// other actions.
class FileRowActions : public QObject
{
    Q_OBJECT
public:
    FileRowActions(QTreeView* fileView, QDockWidget* logDock, QPlainTextEdit* log, QObject* parent = nullptr);

    QAction* openDocumentAction() const { return openDocumentAct; }
    QAction* showInFolderAction() const { return showInFolderAct; }
    QAction* showErrorAction() const { return showErrorAct; }

signals:
    // The log is about to be searched: every line received must be in it.
    void logNeeded();

public slots:
    void openDocument();
    void showInFolder();
    void showError();
    void updateActions();

private slots:
    void activated(const QModelIndex& index);
    void contextMenu(const QPoint& position);
    void logCursorMoved();

private:
    void enableFor(const QModelIndex& index);
    // The document of the row, when it is there on disk.
    QString madeDocument(const QModelIndex& index) const;
    QString errorTextOf(const QModelIndex& index) const;

    QTreeView* view;
    QDockWidget* logDock;
    QPlainTextEdit* log;
    QAction* openDocumentAct;
    QAction* showInFolderAct;
    QAction* showErrorAct;
    bool markingLog = false;
};
