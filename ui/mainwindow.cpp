#include "mainwindow.h"

#include "aboutdialog.h"
#include "columnfitter.h"
#include "desktopopener.h"
#include "emptyviewhint.h"
#include "filemodel.h"
#include "filerowactions.h"
#include "globals.h"
#include "messagehandler.h"
#include "messagelogbuffer.h"
#include "messagesenderobject.h"
#include "runprogressindicator.h"
#include "runsummary.h"
#include "settingscatalogue.h"
#include "settingsdialog.h"
#include "settingsgroup.h"
#include "simpletablelistmodel.h"
#include "status.h"
#include "templatecheckdialog.h"
#include "terminationsignals.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"
#include "ziputil.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

namespace {

const QString productName = QStringLiteral("Плинтворкс");

QString defaultWorkerProgram;

// Where the manual is looked for: beside the executable, named like it, and
// then where an installed program keeps its documentation.
QString manualPath()
{
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QString name = executable.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".pdf");
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QCoreApplication::applicationDirPath()
                              + QStringLiteral("/../" PLINTHWORKS_DOC_SUBDIR "/") + name;
    return QFileInfo::exists(installed) ? QFileInfo(installed).canonicalFilePath() : beside;
}

} // namespace

QPlainTextEdit* MainWindow::messageLog() const
{
    logBuffer->flush();
    return statusLog;
}

void MainWindow::setDefaultWorkerProgram(const QString& program)
{
    defaultWorkerProgram = program;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    fileList.setWorkerProgram(defaultWorkerProgram);
    setWindowTitle(productName);
    initGlobalResourcePaths();
    initGlobalSettings();

    createModelsViews();
    createStatusWidget();
    initGlobalMessageObjects();
    loadBaseLists();
    createActions();
    createMenus();
    createToolBars();
    readSettings();

    connect(&fileList, &FileList::processingStarted, this, &MainWindow::updateInterface);
    connect(&fileList, &FileList::processingFinished, this, &MainWindow::updateInterface);
    connect(&fileList, &FileList::processingFinished, this, &MainWindow::endProcessing, Qt::QueuedConnection);
    connect(fileView->selectionModel(), &QItemSelectionModel::currentChanged, this, &MainWindow::currentChanged);

    setAcceptDrops(true);
    ZipUtil::initDefaults();

    termination = new TerminationSignals(this);
    connect(termination, &TerminationSignals::terminationRequested, this, &MainWindow::closeWithoutQuestion);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::finishForSessionEnd);
}

MainWindow::~MainWindow()
{
    // Workers report through the message objects and use the items: they
    // finish before either goes.
    fileList.stopAndWait();
    if (globalMessageSender() == messageSender)
        setGlobalMessageSender(nullptr);
    if (globalMessageHandler() == messageHandler)
        setGlobalMessageHandler(nullptr);
    // The models go before the lists they show; their views let go of them.
    delete fileModel;
    delete templateModel;
}

void MainWindow::initGlobalSettings()
{
    ::initGlobalSettings();
}

void MainWindow::createModelsViews()
{
    fileModel = new FileModel(&fileList);
    fileView = new QTreeView;
    fileView->setObjectName(QStringLiteral("fileView"));
    fileView->setModel(fileModel);
    fileView->setSelectionMode(QAbstractItemView::ContiguousSelection);
    fileView->setUniformRowHeights(true);

    templateModel = new SimpleTableListModel;
    templateModel->setList(&templateList);
    templateView = new QTreeView;
    templateView->setObjectName(QStringLiteral("templateView"));
    templateView->setModel(templateModel);
    templateView->setSelectionMode(QAbstractItemView::ContiguousSelection);
    templateView->setRootIsDecorated(false);

    centralStack = new QStackedWidget;
    centralStack->addWidget(fileView);
    centralStack->addWidget(templateView);
    setCentralWidget(centralStack);
    currentView = fileView;
}

void MainWindow::createStatusWidget()
{
    statusDock = new QDockWidget(QStringLiteral("Подробности выполнения"), this);
    statusDock->setObjectName(QStringLiteral("statusWidget"));
    statusDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    statusLog = new QPlainTextEdit(statusDock);
    statusLog->setObjectName(QStringLiteral("statusLog"));
    statusLog->setReadOnly(true);
    statusDock->setWidget(statusLog);
    addDockWidget(Qt::BottomDockWidgetArea, statusDock);
    statusBar()->showMessage(QStringLiteral("Готов"));

    runSummary = new RunSummary(&fileList, statusBar());
    statusBar()->addWidget(runSummary, 1);
    runProgress = new RunProgressIndicator(&fileList, this);
    statusBar()->addPermanentWidget(runProgress);
}

void MainWindow::initGlobalMessageObjects()
{
    messageSender = new MessageSenderObject(this);
    setGlobalMessageSender(messageSender);
    logBuffer = new MessageLogBuffer(statusLog);
    connect(messageSender, &MessageSenderObject::sendMessageSignal, logBuffer, &MessageLogBuffer::append,
            Qt::QueuedConnection);
    messageHandler = new MessageHandler(this);
    setGlobalMessageHandler(messageHandler);
}

void MainWindow::loadBaseLists()
{
    const QString catalogue = locateInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName);
    if (!catalogue.isEmpty() && templateList.load(catalogue)) {
        // Lines that cannot serve a file are named in the log, as the batch command does.
        for (const QString& problem : TemplateList::unusableLines(catalogue))
            showStatus(problem);
    }
    connect(&templateList, &SimpleListContainer::modifiedStatusChanged, this, &MainWindow::updateWindowTitle);
    fileList.setTemplateList(&templateList);

    QStringList failed;
    if (templateList.count() == 0)
        failed << QStringLiteral("список шаблонов");
    if (!failed.isEmpty()) {
        QMessageBox::critical(this, productName,
                              QStringLiteral("Ошибка инициализации приложения! Не удалось загрузить:\n")
                                  + failed.join(QStringLiteral(";\n"))
                                  + QStringLiteral(".\nКорректная работа приложения не возможна!"),
                              QMessageBox::Ok);
    }
}

QAction* MainWindow::newAction(const QString& text, const QString& icon, const QString& statusTip,
                               void (MainWindow::*slot)())
{
    auto* action = icon.isEmpty() ? new QAction(text, this) : new QAction(QIcon(icon), text, this);
    action->setStatusTip(statusTip);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void MainWindow::createActions()
{
    addFilesAct = newAction(QStringLiteral("Добавить файлы..."), QStringLiteral(":/images/iconadd.png"),
                            QStringLiteral("Добавить файлы для обработки"), &MainWindow::addFiles);
    addFilesAct->setShortcuts(QKeySequence::Open);
    deleteSelectedAct = newAction(QStringLiteral("Исключить файлы"), QStringLiteral(":/images/icondelete.png"),
                                  QStringLiteral("Исключить выбранные файлы из обработки"),
                                  &MainWindow::deleteSelected);
    deleteSelectedAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    startAct = newAction(QStringLiteral("Запустить обработку"), QStringLiteral(":/images/iconstart.png"),
                         QStringLiteral("Запустить обработку"), &MainWindow::startProcessing);
    startAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    stopAct = newAction(QStringLiteral("Остановить обработку"), QStringLiteral(":/images/iconstop.png"),
                        QStringLiteral("Остановить обработку"), &MainWindow::stopProcessing);
    stopAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    settingsAct = newAction(QStringLiteral("Настройки"), QStringLiteral(":/images/iconsettings.png"),
                            QStringLiteral("Отображает диалог настроек"), &MainWindow::settingsDialog);

    filesViewAct = newAction(QStringLiteral("Обрабатываемые файлы"), QString(),
                             QStringLiteral("Показать обрабатываемые файлы"), &MainWindow::setCurrentView);
    filesViewAct->setCheckable(true);
    filesViewAct->setChecked(true);
    templatesViewAct = newAction(QStringLiteral("Шаблоны документов"), QString(),
                                 QStringLiteral("Показать шаблоны документов"), &MainWindow::setCurrentView);
    templatesViewAct->setCheckable(true);
    viewGroup = new QActionGroup(this);
    viewGroup->setExclusive(true);
    viewGroup->addAction(filesViewAct);
    viewGroup->addAction(templatesViewAct);

    exitAct = new QAction(QIcon(QStringLiteral(":/images/iconexit.png")), QStringLiteral("Выход"), this);
    exitAct->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    exitAct->setStatusTip(QStringLiteral("Выйти из приложения"));
    connect(exitAct, &QAction::triggered, this, &QWidget::close);
    aboutAct = newAction(QStringLiteral("О программе..."), QString(), QStringLiteral("Показать диалог «О программе»"),
                         &MainWindow::about);
    helpAct = newAction(QStringLiteral("Справка"), QString(), QStringLiteral("Справка"), &MainWindow::help);
    helpAct->setShortcut(QKeySequence(Qt::Key_F1));
    copyAct = newAction(QStringLiteral("Копировать"), QStringLiteral(":/images/iconcopy.png"),
                        QStringLiteral("Копировать выделение в буфер обмена"), &MainWindow::copy);
    copyAct->setShortcuts(QKeySequence::Copy);
    saveAct = newAction(QStringLiteral("Сохранить"), QStringLiteral(":/images/iconsave.png"),
                        QStringLiteral("Сохранить список файлов и результат обработки в текстовый файл"),
                        &MainWindow::save);
    saveAct->setShortcuts(QKeySequence::Save);
    statusAct = newAction(QStringLiteral("Подробности выполнения"), QString(),
                          QStringLiteral("Показать/скрыть окно с подробностями выполнения процесса обработки файлов"),
                          &MainWindow::showHideStatusWidget);
    showToolBarsAct = newAction(QStringLiteral("Показать панели инструментов"), QString(),
                                QStringLiteral("Включить отображение всех доступных панелей инструментов"),
                                &MainWindow::showToolBars);

    checkTemplatesAct = newAction(QStringLiteral("Проверить шаблон"), QString(),
                                  QStringLiteral("Проверить выбранные шаблоны: команды, запросы и ошибки в них"),
                                  &MainWindow::checkTemplates);
    checkOnFileAct = newAction(QStringLiteral("Проверить на файле…"), QString(),
                               QStringLiteral("Проверить выбранные шаблоны и выполнить их запросы на XML-файле"),
                               &MainWindow::checkTemplatesOnFile);

    // "Копировать" works on whichever view has the focus, by its shortcut
    // and from the views' context menus.
    addAction(copyAct);
    for (QTreeView* view : {fileView, templateView}) {
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        view->addAction(copyAct);
    }
    // A made document, its folder and the log lines of an error, from the row.
    fileRowActions = new FileRowActions(fileView, statusDock, statusLog, this);
    connect(fileRowActions, &FileRowActions::logNeeded, logBuffer, &MessageLogBuffer::flush);

    // What a newcomer meets first, named as the action and its keys are.
    emptyFilesHint = new EmptyViewHint(
        fileView, QStringLiteral("Перетащите сюда XML-файлы или ZIP-архивы или нажмите «%1» (%2)")
                      .arg(addFilesAct->text(), addFilesAct->shortcut().toString(QKeySequence::NativeText)));

    templateView->addActions({checkTemplatesAct, checkOnFileAct});
}

void MainWindow::createMenus()
{
    QMenu* operations = menuBar()->addMenu(QStringLiteral("Операции"));
    operations->addAction(addFilesAct);
    operations->addAction(deleteSelectedAct);
    operations->addAction(startAct);
    operations->addAction(stopAct);
    operations->addSeparator();
    operations->addAction(saveAct);
    operations->addSeparator();
    operations->addAction(checkTemplatesAct);
    operations->addAction(checkOnFileAct);
    operations->addSeparator();
    operations->addAction(exitAct);

    QMenu* settings = menuBar()->addMenu(QStringLiteral("Настройки"));
    settings->addAction(settingsAct);
    settings->addSeparator();
    settings->addAction(filesViewAct);
    settings->addAction(templatesViewAct);
    settings->addSeparator();
    settings->addAction(statusAct);
    settings->addAction(showToolBarsAct);

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("Справка"));
    helpMenu->addAction(helpAct);
    helpMenu->addSeparator();
    helpMenu->addAction(aboutAct);
}

void MainWindow::createToolBars()
{
    mainToolBar = addToolBar(QStringLiteral("Действия"));
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    for (QAction* action : {addFilesAct, deleteSelectedAct, startAct, stopAct, saveAct, settingsAct})
        mainToolBar->addAction(action);

    // The run settings as toggle buttons beside the actions: their titles,
    // too long for one row of a narrow window, are their tool tips.
    settingsToolBar = addToolBar(QStringLiteral("Настройки"));
    settingsToolBar->setObjectName(QStringLiteral("settingsToolBar"));
    struct Toggle {
        QString key;
        QString text;
        QString icon;
        QString statusTip;
    };
    const QList<Toggle> toggles{
        {stRunAutoDetect, QStringLiteral("Автоподбор шаблона"), QStringLiteral(":/images/iconautodetect.png"),
         QStringLiteral("Подбирать шаблон сразу после добавления XML файла в список")},
        {stRunRenameDest, QStringLiteral("Переименовывать формируемые"), QStringLiteral(":/images/iconrename.png"),
         QStringLiteral("Брать имя формируемого документа из данных XML файла")},
        {stRunOpenDocument, QStringLiteral("Открывать документы"), QStringLiteral(":/images/iconopen.png"),
         QStringLiteral("Открывать каждый сформированный документ приложением по умолчанию")},
        {stRunSavePdf, QStringLiteral("Также сохранять в PDF"), QStringLiteral(":/images/iconpdf.png"),
         QStringLiteral("Сохранять рядом с каждым документом его PDF с тем же именем (его делает LibreOffice)")}};
    runSettingsKeys.clear();
    QList<QToolButton*> toggleButtons;
    for (const Toggle& toggle : toggles) {
        auto* button = new QToolButton(settingsToolBar);
        button->setObjectName(toggle.key + QStringLiteral("Box"));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(QIcon(toggle.icon));
        button->setText(toggle.text);
        button->setToolTip(toggle.text);
        button->setStatusTip(toggle.statusTip);
        button->setIconSize(settingsToolBar->iconSize());
        button->setToolButtonStyle(settingsToolBar->toolButtonStyle());
        connect(settingsToolBar, &QToolBar::iconSizeChanged, button, &QToolButton::setIconSize);
        connect(settingsToolBar, &QToolBar::toolButtonStyleChanged, button, &QToolButton::setToolButtonStyle);
        settingsToolBar->addWidget(button);
        toggleButtons << button;
        runSettingsKeys << toggle.key;
    }
    SettingsDialog::offerPdf(settingsToolBar->findChild<QToolButton*>(stRunSavePdf + QStringLiteral("Box")));
    gst.group(sgRunSettings).writeToWidget(settingsToolBar, runSettingsKeys);
    for (QToolButton* button : toggleButtons)
        connect(button, &QToolButton::toggled, this, &MainWindow::updateSettings);

    addToolBarBreak();

    formatToolBar = addToolBar(QStringLiteral("Формат"));
    formatToolBar->setObjectName(QStringLiteral("formatToolBar"));
    formatToolBar->addWidget(new QLabel(QStringLiteral("Формат:"), formatToolBar));
    formatCombo = new QComboBox(formatToolBar);
    formatCombo->setObjectName(QStringLiteral("formatCombo"));
    formatCombo->addItems({QStringLiteral("Формат DOCX (Word)"), QStringLiteral("Формат ODT (Writer)"),
                           QStringLiteral("Формат RTF")});
    formatCombo->setCurrentIndex(qBound(0, gst[stRunDocumentFormat].toInt(), formatCombo->count() - 1));
    formatToolBar->addWidget(formatCombo);
    connect(formatCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWindow::updateSettings);

    templateToolBar = addToolBar(QStringLiteral("Шаблон"));
    templateToolBar->setObjectName(QStringLiteral("templateToolBar"));
    templateToolBar->addWidget(new QLabel(QStringLiteral("Шаблон:"), templateToolBar));
    templateCombo = new QComboBox(templateToolBar);
    templateCombo->setObjectName(QStringLiteral("templateCombo"));
    templateCombo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // It takes the room the row has, and a narrow window does not push the
    // buttons behind it out of sight.
    templateCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    templateCombo->setMinimumContentsLength(12);
    templateCombo->setEditable(true);
    templateCombo->setInsertPolicy(QComboBox::NoInsert);
    templateCombo->setModel(templateModel);
    templateCompleter = new QCompleter(templateModel, this);
    templateCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    templateCombo->setCompleter(templateCompleter);
    applyTemplateColumn();
    templateToolBar->addWidget(templateCombo);
    addTemplateButton = new QPushButton(QStringLiteral("Добавить"), templateToolBar);
    addTemplateButton->setObjectName(QStringLiteral("addTemplateButton"));
    templateToolBar->addWidget(addTemplateButton);
    connect(addTemplateButton, &QPushButton::clicked, this, &MainWindow::addTemplate);
    removeTemplateButton = new QPushButton(QStringLiteral("Убрать"), templateToolBar);
    removeTemplateButton->setObjectName(QStringLiteral("removeTemplateButton"));
    templateToolBar->addWidget(removeTemplateButton);
    connect(removeTemplateButton, &QPushButton::clicked, this, &MainWindow::removeTemplate);
    // A stored window state, once there is one, decides instead.
    templateToolBar->setVisible(gst[stShowTemplates].toBool());
}

void MainWindow::applyTemplateColumn()
{
    const int column = gst[stShowNames].toBool() ? colName : colTitle;
    templateCombo->setModelColumn(column);
    templateCompleter->setCompletionColumn(column);
}

void MainWindow::showToolBars()
{
    for (QToolBar* bar : {mainToolBar, settingsToolBar, formatToolBar, templateToolBar})
        bar->show();
}

void MainWindow::showHideStatusWidget()
{
    statusDock->setVisible(!statusDock->isVisible());
}

void MainWindow::setCurrentView()
{
    auto* action = qobject_cast<QAction*>(sender());
    const int page = action ? viewGroup->actions().indexOf(action) : -1;
    if (page < 0 || page >= centralStack->count())
        return;
    centralStack->setCurrentIndex(page);
    currentView = qobject_cast<QAbstractItemView*>(centralStack->currentWidget());
    updateWindowTitle();
}

void MainWindow::updateInterface()
{
    const bool idle = !fileList.isProcessing();
    for (QAction* action : {addFilesAct, deleteSelectedAct, startAct, saveAct})
        action->setEnabled(idle);
    // Workers read the catalogue during a run.
    templateModel->setReadOnly(!idle);
}

void MainWindow::updateWindowTitle()
{
    const QAction* viewAction = viewGroup->checkedAction();
    const QString viewTitle = viewAction ? viewAction->text() : QString();
    if (currentView == templateView) {
        setWindowTitle(viewTitle + QStringLiteral(": ") + shownFileName(templateList.fileName)
                       + QStringLiteral("[*]  — ") + productName);
        setWindowModified(templateList.isModified());
        return;
    }
    setWindowModified(false);
    if (fileList.items().isEmpty()) {
        setWindowTitle(productName);
        return;
    }
    int xmlCount = 0;
    int zipCount = 0;
    for (const FileItem* item : fileList.items()) {
        if (dynamic_cast<const XmlFileItem*>(item))
            ++xmlCount;
        else if (dynamic_cast<const ZipFileItem*>(item))
            ++zipCount;
    }
    QStringList parts;
    if (xmlCount > 0)
        parts << QStringLiteral("*.xml (%1 шт.)").arg(xmlCount);
    if (zipCount > 0)
        parts << QStringLiteral("*.zip (%1 шт.)").arg(zipCount);
    setWindowTitle(viewTitle + QStringLiteral(": ") + parts.join(QStringLiteral("; ")) + QStringLiteral("[*] — ")
                   + productName);
}

void MainWindow::copy()
{
    const QItemSelectionModel* selection = currentView ? currentView->selectionModel() : nullptr;
    if (!selection || !selection->hasSelection())
        return;
    const QModelIndexList indexes = selection->selectedIndexes();
    if (indexes.isEmpty())
        return;
    // The selection is one rectangle of cells under one parent.
    const QModelIndex parent = indexes.first().parent();
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    for (const QModelIndex& index : indexes) {
        if (index.parent() != parent)
            continue;
        top = qMin(top, index.row());
        bottom = qMax(bottom, index.row());
        left = qMin(left, index.column());
        right = qMax(right, index.column());
    }
    const QAbstractItemModel* model = currentView->model();
    QStringList lines;
    for (int row = top; row <= bottom; ++row) {
        QStringList cells;
        for (int column = left; column <= right; ++column)
            cells << model->index(row, column, parent).data(Qt::DisplayRole).toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    const QString text = lines.join(QLatin1Char('\n'));
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void MainWindow::checkTemplates()
{
    TemplateCheckDialog::checkSelected(this, templateList, templateView->selectionModel(), QString());
}

void MainWindow::checkTemplatesOnFile()
{
    const QString sample = QFileDialog::getOpenFileName(this, QStringLiteral("Файл для проверки шаблона"), lastPath,
                                                        QStringLiteral("Файлы XML (*.xml)"));
    if (!sample.isEmpty())
        TemplateCheckDialog::checkSelected(this, templateList, templateView->selectionModel(), sample);
}

void MainWindow::help()
{
    DesktopOpener::openUrl(QUrl::fromLocalFile(manualPath()));
}

void MainWindow::about()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::readSettings()
{
    QSettings settings;
    const QByteArray geometry = settings.value(stGeometry).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(800, 600);
    restoreState(settings.value(stWindowState).toByteArray(), 0);
    lastPath = QDir::fromNativeSeparators(settings.value(stLastPath).toString());
    if (lastPath.isEmpty())
        lastPath = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Stored widths are the user's; without them the columns fit what they show.
    if (!tableColumsRead(QStringLiteral("Files"), fileView))
        fileColumns = new ColumnFitter(fileView, {colTemplate}, this);
    if (!tableColumsRead(QStringLiteral("Templates"), templateView))
        templateColumns = new ColumnFitter(templateView, {colDescription}, this);
    const int index = settings.value(stTemplateIndex, 0).toInt();
    templateCombo->setCurrentIndex(qBound(0, index, templateCombo->count() - 1));
}

void MainWindow::writeSettings()
{
    QSettings settings;
    settings.setValue(stGeometry, saveGeometry());
    settings.setValue(stWindowState, saveState(0));
    settings.setValue(stLastPath, QDir::toNativeSeparators(lastPath));
    settings.setValue(stTemplateIndex, templateCombo->currentIndex());
    tableColumsWrite(QStringLiteral("Files"), fileView);
    tableColumsWrite(QStringLiteral("Templates"), templateView);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (closing) {
        event->ignore();
        return;
    }
    if (fileList.isProcessing() && !closeConfirmed) {
        QMessageBox question(QMessageBox::Warning, productName,
                             QStringLiteral("Идет процесс обработки файлов!\n Хотите остановить обработку и выйти?"),
                             QMessageBox::Yes | QMessageBox::No, this);
        question.setDefaultButton(QMessageBox::No);
        question.setEscapeButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    if (fileList.isProcessing())
        finishRunBeforeClosing();
    writeSettings();
    event->accept();
}

void MainWindow::closeWithoutQuestion()
{
    // A modal dialog open at that moment would keep the window from closing.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
    closeConfirmed = true;
    if (!close())
        closeConfirmed = false;
}

void MainWindow::finishForSessionEnd()
{
    if (fileList.isProcessing())
        finishRunBeforeClosing();
    writeSettings();
}

void MainWindow::finishRunBeforeClosing()
{
    closing = true;
    showStatus(QStringLiteral("Отправлен запрос на прерывание обработки файлов"));
    showStatus(QStringLiteral("Ожидание завершения обрабатываемых файлов перед выходом"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (fileList.isProcessing()) {
        QEventLoop loop;
        connect(&fileList, &FileList::processingFinished, &loop, &QEventLoop::quit);
        fileList.cancelQueuedRun();
        fileList.interruptProcessing();
        if (fileList.isProcessing())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    QApplication::restoreOverrideCursor();
    closing = false;
}
