#pragma once

#include "filelist.h"
#include "templatelist.h"

#include <QMainWindow>
#include <QStringList>

class ColumnFitter;
class EmptyViewHint;
class FileModel;
class FileRowActions;
class MessageHandler;
class MessageLogBuffer;
class MessageSenderObject;
class QAbstractItemView;
class QAction;
class QActionGroup;
class QComboBox;
class QCompleter;
class QDockWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTreeView;
class RunProgressIndicator;
class RunSummary;
class SimpleTableListModel;
class TerminationSignals;

// The program's one window. It owns the processing list and the template
// catalogue for the whole run, shows either the files or the templates in
// its centre, offers every command as an action in menus and tool bars, and
// hosts the message log. What the commands do to the processing list is in
// mainwindowprocessing.cpp.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    FileList& processingList() { return fileList; }
    TemplateList& templateCatalogue() { return templateList; }
    QTreeView* filesView() const { return fileView; }
    QTreeView* templatesView() const { return templateView; }
    // The log with every line received so far.
    QPlainTextEdit* messageLog() const;

    // The program whose worker processes (`program --worker`) each new
    // window's list uses for detection, naming and generation; empty (the
    // default) to do that work in threads of the window's own process.
    static void setDefaultWorkerProgram(const QString& program);

public slots:
    // Keeps the XML and ZIP names and hands them to the list once the event
    // loop runs; several calls in a row give one hand-over.
    void addFileNames(const QStringList& names);
    // What closing with «Да» does, without the question: for SIGTERM,
    // SIGINT and SIGHUP. The run is stopped, its workers waited for, the
    // settings written and the window closed.
    void closeWithoutQuestion();
    // The desktop session ends: the run is stopped and the settings written
    // before the session closes the window.
    void finishForSessionEnd();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    // Window and views.
    void setCurrentView();
    void updateInterface();
    void updateWindowTitle();
    void showToolBars();
    void showHideStatusWidget();
    void copy();
    void help();
    void about();

    // Processing control.
    void startPendingFiles();
    void addFiles();
    void startProcessing();
    void stopProcessing();
    void endProcessing();
    void deleteSelected();
    void addTemplate();
    void removeTemplate();
    void currentChanged(const QModelIndex& current, const QModelIndex& previos);
    void updateSettings(int value);
    void settingsDialog();
    void save();
    // The template check of the catalogue rows selected, also on a sample file.
    void checkTemplates();
    void checkTemplatesOnFile();

private:
    void initGlobalSettings();
    void createModelsViews();
    void createStatusWidget();
    void initGlobalMessageObjects();
    void loadBaseLists();
    void createActions();
    void createMenus();
    void createToolBars();
    void readSettings();
    void writeSettings();

    void initProcessing();
    void saveFileList();
    void saveTemplateList();
    void applyTemplateColumn();
    // Lets the running workers finish before the window goes.
    void finishRunBeforeClosing();
    QAction* newAction(const QString& text, const QString& icon, const QString& statusTip, void (MainWindow::*slot)());

    FileList fileList;
    TemplateList templateList;

    FileModel* fileModel = nullptr;
    QTreeView* fileView = nullptr;
    SimpleTableListModel* templateModel = nullptr;
    QTreeView* templateView = nullptr;
    QStackedWidget* centralStack = nullptr;
    QAbstractItemView* currentView = nullptr;

    QDockWidget* statusDock = nullptr;
    QPlainTextEdit* statusLog = nullptr;
    MessageLogBuffer* logBuffer = nullptr;
    RunProgressIndicator* runProgress = nullptr;
    RunSummary* runSummary = nullptr;
    EmptyViewHint* emptyFilesHint = nullptr;
    FileRowActions* fileRowActions = nullptr;
    // Column widths until the user sets some; none when widths were stored.
    ColumnFitter* fileColumns = nullptr;
    ColumnFitter* templateColumns = nullptr;
    MessageSenderObject* messageSender = nullptr;
    MessageHandler* messageHandler = nullptr;

    QToolBar* mainToolBar = nullptr;
    QToolBar* settingsToolBar = nullptr;
    QToolBar* formatToolBar = nullptr;
    QToolBar* templateToolBar = nullptr;
    QComboBox* formatCombo = nullptr;
    QComboBox* templateCombo = nullptr;
    QCompleter* templateCompleter = nullptr;
    QPushButton* addTemplateButton = nullptr;
    QPushButton* removeTemplateButton = nullptr;

    QAction* addFilesAct = nullptr;
    QAction* deleteSelectedAct = nullptr;
    QAction* startAct = nullptr;
    QAction* stopAct = nullptr;
    QAction* settingsAct = nullptr;
    QAction* filesViewAct = nullptr;
    QAction* templatesViewAct = nullptr;
    QAction* exitAct = nullptr;
    QAction* aboutAct = nullptr;
    QAction* helpAct = nullptr;
    QAction* copyAct = nullptr;
    QAction* saveAct = nullptr;
    QAction* statusAct = nullptr;
    QAction* showToolBarsAct = nullptr;
    QAction* checkTemplatesAct = nullptr;
    QAction* checkOnFileAct = nullptr;
    QActionGroup* viewGroup = nullptr;

    QStringList runSettingsKeys;
    QStringList pendingFileNames;
    bool startScheduled = false;
    bool closing = false;
    bool closeConfirmed = false;
    TerminationSignals* termination = nullptr;
    QString lastPath;
};
