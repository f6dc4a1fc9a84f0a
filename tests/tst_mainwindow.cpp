// The real main window, offscreen, on the bundled examples: its actions and
// tool bars, the title, adding files, the automatic and full runs with the
// documents they make, stop, exclude, copy, save, the settings dialog's
// effects, closing during a run, file-open requests and the about text.
#include "aboutdialog.h"
#include "desktopopener.h"
#include "filemodel.h"
#include "globals.h"
#include "mainwindow.h"
#include "myapplication.h"
#include "runsummary.h"
#include "settingscatalogue.h"
#include "settingsdialog.h"
#include "settingsgroup.h"
#include "templatecheckdialog.h"
#include "testsupport.h"
#include "xmlfileitem.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDesktopServices>
#include <QDockWidget>
#include <QHeaderView>
#include <QFileDialog>
#include <QFileOpenEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

// Answers the next modal dialog the window opens, from the event loop that
// the dialog runs.
void answerModal(std::function<void(QWidget*)> answer)
{
    auto* poll = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && started->elapsed() < 10000)
            return;
        poll->stop();
        poll->deleteLater();
        if (modal)
            answer(modal);
    });
    poll->start(10);
}

void clickMessageButton(QMessageBox::StandardButton button)
{
    answerModal([button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        box->button(button)->click();
    });
}

// Answers the file dialog the next action opens. The dialog's own folder
// model loads in the background and may reset what was typed, so the answer
// is given again for as long as the dialog stays open.
void chooseFile(const QString& path)
{
    auto* poll = new QTimer;
    auto answered = std::make_shared<bool>(false);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog) {
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
                name->setText(path);
            else
                dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            *answered = true;
            return;
        }
        if (*answered || started->elapsed() > 10000) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(50);
}

QStringList actionTexts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (const QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return texts;
}


// A double click as the window system delivers it, through the window: the
// view sees the first click end before the second begins.
void doubleClick(QTreeView* view, const QModelIndex& index)
{
    QWidget* top = view->window();
    const QPoint at = view->viewport()->mapTo(top, view->visualRect(index).center());
    QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

// Takes the URLs the desktop would be asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QUrl opened;
    Q_INVOKABLE void open(const QUrl& url) { opened = url; }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir work;
    ResourceFolder* res = nullptr;
    int folderCount = 0;

    // Fresh copies of the bundled sample files.
    QStringList exampleFiles(const QString& only = QString())
    {
        const QString folder = work.path() + QStringLiteral("/data%1").arg(++folderCount);
        QDir().mkpath(folder);
        QStringList names;
        const QDir source(PLINTHWORKS_SOURCE_DIR "/examples/data");
        for (const QString& name : source.entryList(QDir::Files, QDir::Name)) {
            QFile::copy(source.filePath(name), folder + "/" + name);
            if ((name.endsWith(".xml") || name.endsWith(".zip")) && (only.isEmpty() || name.contains(only)))
                names << folder + "/" + name;
        }
        return names;
    }

    void copyTree(const QString& from, const QString& to)
    {
        QDir().mkpath(to);
        const QDir dir(from);
        for (const QString& name : dir.entryList(QDir::Files))
            QFile::copy(dir.filePath(name), to + "/" + name);
        for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            copyTree(dir.filePath(sub), to + "/" + sub);
    }

    QString logText(MainWindow& window) { return window.messageLog()->toPlainText(); }

    // Every title told in its header's tool tip; the columns named whole,
    // title and content, and within the view.
    static void verifyColumns(const QTreeView* view, const QList<int>& whole)
    {
        const QAbstractItemModel* model = view->model();
        const QHeaderView* header = view->header();
        const QAbstractItemView* base = view; // the size hint is public there
        for (int column = 0; column < model->columnCount(); ++column) {
            const QString title = model->headerData(column, Qt::Horizontal).toString();
            QCOMPARE(model->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString(), title);
            if (!whole.contains(column))
                continue;
            const int width = view->columnWidth(column);
            QVERIFY2(width >= header->sectionSizeHint(column), qPrintable(title));
            QVERIFY2(width >= base->sizeHintForColumn(column), qPrintable(title));
            QVERIFY2(header->sectionViewportPosition(column) + width <= view->viewport()->width(), qPrintable(title));
        }
    }

private slots:
    void initTestCase()
    {
        if (!initWindowTests())
            QSKIP("the batch command, which serves as the worker program, was not built");
        res = new ResourceFolder;
        copyTree(PLINTHWORKS_SOURCE_DIR "/examples/resources", res->path());
    }
    void cleanupTestCase() { delete res; }
    void init() { clearSettingsStore(); }

    void actions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<QString>("statusTip");
        QTest::addColumn<bool>("hasIcon");
        QTest::newRow("add") << "Добавить файлы..." << QKeySequence(QKeySequence::Open)
                             << "Добавить файлы для обработки" << true;
        QTest::newRow("exclude") << "Исключить файлы" << QKeySequence("Ctrl+Del")
                                 << "Исключить выбранные файлы из обработки" << true;
        QTest::newRow("start") << "Запустить обработку" << QKeySequence("Ctrl+R") << "Запустить обработку" << true;
        QTest::newRow("stop") << "Остановить обработку" << QKeySequence("Ctrl+T") << "Остановить обработку" << true;
        QTest::newRow("settings") << "Настройки" << QKeySequence() << "Отображает диалог настроек" << true;
        QTest::newRow("files view") << "Обрабатываемые файлы" << QKeySequence() << "Показать обрабатываемые файлы"
                                    << false;
        QTest::newRow("templates view") << "Шаблоны документов" << QKeySequence() << "Показать шаблоны документов"
                                        << false;
        QTest::newRow("exit") << "Выход" << QKeySequence("Alt+F4") << "Выйти из приложения" << true;
        QTest::newRow("about") << "О программе..." << QKeySequence() << "Показать диалог «О программе»" << false;
        QTest::newRow("help") << "Справка" << QKeySequence("F1") << "Справка" << false;
        QTest::newRow("copy") << "Копировать" << QKeySequence(QKeySequence::Copy)
                              << "Копировать выделение в буфер обмена" << true;
        QTest::newRow("save") << "Сохранить" << QKeySequence(QKeySequence::Save)
                              << "Сохранить список файлов и результат обработки в текстовый файл" << true;
        QTest::newRow("details") << "Подробности выполнения" << QKeySequence()
                                 << "Показать/скрыть окно с подробностями выполнения процесса обработки файлов"
                                 << false;
        QTest::newRow("tool bars") << "Показать панели инструментов" << QKeySequence()
                                   << "Включить отображение всех доступных панелей инструментов" << false;
        QTest::newRow("check") << "Проверить шаблон" << QKeySequence()
                               << "Проверить выбранные шаблоны: команды, запросы и ошибки в них" << false;
        QTest::newRow("check on a file") << "Проверить на файле…" << QKeySequence()
                                         << "Проверить выбранные шаблоны и выполнить их запросы на XML-файле" << false;
    }
    void actions()
    {
        QFETCH(QString, text);
        QFETCH(QKeySequence, shortcut);
        QFETCH(QString, statusTip);
        QFETCH(bool, hasIcon);
        MainWindow window;
        QAction* action = nullptr;
        for (QAction* candidate : window.findChildren<QAction*>()) {
            if (candidate->text() == text && candidate->parent() == &window) {
                QVERIFY2(!action, "one action per text");
                action = candidate;
            }
        }
        QVERIFY(action);
        QCOMPARE(action->shortcut(), shortcut);
        QCOMPARE(action->statusTip(), statusTip);
        QCOMPARE(!action->icon().isNull(), hasIcon);
    }

    void menusAndToolBars()
    {
        MainWindow window;
        window.show();
        QStringList menus;
        QList<QStringList> contents;
        for (QAction* menu : window.menuBar()->actions()) {
            menus << menu->text();
            contents << actionTexts(menu->menu()->actions());
        }
        QCOMPARE(menus, QStringList({"Операции", "Настройки", "Справка"}));
        QCOMPARE(contents.at(0), QStringList({"Добавить файлы...", "Исключить файлы", "Запустить обработку",
                                              "Остановить обработку", "|", "Сохранить", "|", "Проверить шаблон",
                                              "Проверить на файле…", "|", "Выход"}));
        QCOMPARE(actionTexts(window.templatesView()->actions()),
                 QStringList({"Копировать", "Проверить шаблон", "Проверить на файле…"}));
        QCOMPARE(contents.at(1), QStringList({"Настройки", "|", "Обрабатываемые файлы", "Шаблоны документов", "|",
                                              "Подробности выполнения", "Показать панели инструментов"}));
        QCOMPARE(contents.at(2), QStringList({"Справка", "|", "О программе..."}));

        QStringList bars;
        for (QToolBar* bar : window.findChildren<QToolBar*>())
            bars << bar->objectName() + ":" + bar->windowTitle() + (bar->isVisible() ? "" : " (hidden)");
        QCOMPARE(bars, QStringList({"mainToolBar:Действия", "settingsToolBar:Настройки", "formatToolBar:Формат",
                                    "templateToolBar:Шаблон (hidden)"}));
        const auto* mainBar = window.findChild<QToolBar*>("mainToolBar");
        QCOMPARE(actionTexts(mainBar->actions()),
                 QStringList({"Добавить файлы...", "Исключить файлы", "Запустить обработку", "Остановить обработку",
                              "Сохранить", "Настройки"}));
        QCOMPARE(window.toolBarBreak(window.findChild<QToolBar*>("formatToolBar")), true);
        // The run settings are toggle buttons, their titles their tool tips.
        auto* settingsBar = window.findChild<QToolBar*>("settingsToolBar");
        QStringList boxes;
        for (QToolButton* box : settingsBar->findChildren<QToolButton*>(QRegularExpression("Box$"))) {
            QVERIFY(box->isCheckable() && !box->icon().isNull());
            // Without LibreOffice the PDF button says what to install instead.
            if (box->isEnabled())
                QCOMPARE(box->toolTip(), box->text());
            boxes << box->objectName() + "=" + box->text() + (box->isChecked() ? " on" : "");
        }
        QCOMPARE(boxes, QStringList({"runAutoDetectBox=Автоподбор шаблона on",
                                     "runRenameDestBox=Переименовывать формируемые",
                                     "runOpenDocumentBox=Открывать документы",
                                     "runSavePdfBox=Также сохранять в PDF"}));
        auto* format = window.findChild<QComboBox*>("formatCombo");
        QCOMPARE(format->count(), 3);
        QCOMPARE(format->itemText(1), QString("Формат ODT (Writer)"));
        QCOMPARE(format->currentIndex(), 0);
        auto* templates = window.findChild<QComboBox*>("templateCombo");
        QVERIFY(templates->isEditable());
        QCOMPARE(templates->currentText(), QString("Счёт на оплату"));
        QCOMPARE(templates->completer()->caseSensitivity(), Qt::CaseInsensitive);
        QCOMPARE(window.findChild<QDockWidget*>("statusWidget")->windowTitle(), QString("Подробности выполнения"));
        QCOMPARE(window.statusBar()->currentMessage(), QString("Готов"));
        QCOMPARE(window.size(), QSize(800, 600));

        // Shown tool bars, a moved dock and the window state come back at the next start.
        actionNamed(&window, "Показать панели инструментов")->trigger();
        QVERIFY(window.findChild<QToolBar*>("templateToolBar")->isVisible());
        actionNamed(&window, "Подробности выполнения")->trigger();
        window.resize(900, 640);
        window.close();
        MainWindow again;
        again.show();
        QVERIFY(again.findChild<QToolBar*>("templateToolBar")->isVisible());
        QVERIFY(!again.findChild<QDockWidget*>("statusWidget")->isVisible());
        QCOMPARE(again.size(), QSize(900, 640));
    }

    // At the first size with no widths stored, the names of the files and of
    // their documents are whole and in sight; the user's widths are kept.
    void firstStartColumnsFit()
    {
        {
            MainWindow window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.size(), QSize(800, 600));
            verifyColumns(window.filesView(), {colSourceFile, colSize, colFileType, colDocument});
            const QStringList files = exampleFiles();
            window.addFileNames(files);
            QTRY_COMPARE(window.processingList().items().size(), files.size());
            QVERIFY(waitForRunEnd(window));
            actionNamed(&window, "Запустить обработку")->trigger();
            QVERIFY(waitForRunEnd(window));
            QTreeView* view = window.filesView();
            view->expandAll();
            QTest::qWait(300); // the widths follow the rows
            verifyColumns(view, {colSourceFile, colSize, colFileType, colDocument});
            QVERIFY(view->columnWidth(colTemplate) > 0);
            // The catalogue has too many columns for the window: it scrolls,
            // every title whole.
            actionNamed(&window, "Шаблоны документов")->trigger();
            QTest::qWait(300);
            for (int column = 0; column < window.templatesView()->model()->columnCount(); ++column)
                QVERIFY(window.templatesView()->columnWidth(column)
                        >= window.templatesView()->header()->sectionSizeHint(column));

            // A column the user sets stays as set.
            window.templatesView()->header()->resizeSection(colName, 300);
            window.resize(700, 600);
            QTest::qWait(300);
            QCOMPARE(window.templatesView()->columnWidth(colName), 300);
        }
        clearSettingsStore();
        const QList<QVariant> stored{60, 61, 62, 63, 64, 65};
        QSettings().setValue("TableColumns/Files", stored);
        MainWindow window;
        window.show();
        window.addFileNames(exampleFiles("invoice_147"));
        QTRY_COMPARE(window.processingList().items().size(), 1);
        QVERIFY(waitForRunEnd(window));
        QTest::qWait(300);
        for (int column = 0; column < 5; ++column)
            QCOMPARE(window.filesView()->columnWidth(column), stored.at(column).toInt());
    }

    // With all tool bars shown at the first size nothing hides behind the
    // extension button, even with one more run setting beside the others.
    void toolBarsFitTheFirstSize()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        actionNamed(&window, "Показать панели инструментов")->trigger();
        auto* settingsBar = window.findChild<QToolBar*>("settingsToolBar");
        auto* another = new QToolButton(settingsBar);
        another->setCheckable(true);
        another->setIcon(QIcon(":/images/iconsave.png"));
        another->setText("Также сохранять в PDF");
        settingsBar->addWidget(another);
        QTest::qWait(50);
        const QList<QToolBar*> bars = window.findChildren<QToolBar*>();
        QCOMPARE(bars.size(), 4);
        for (const QToolBar* bar : bars) {
            QVERIFY(bar->isVisible());
            const auto* extension = bar->findChild<QWidget*>("qt_toolbar_ext_button");
            QVERIFY(extension);
            QVERIFY2(!extension->isVisible(), qPrintable(bar->objectName()));
        }
    }

    void emptyListExplainsItself()
    {
        MainWindow window;
        gst[stRunAutoUnzip] = false;
        gst[stRunAutoDetect] = false;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* hint = window.filesView()->findChild<QLabel*>("emptyViewHint");
        QVERIFY(hint && hint->isVisible());
        QCOMPARE(hint->text(), QStringLiteral("Перетащите сюда XML-файлы или ZIP-архивы или нажмите "
                                              "«Добавить файлы...» (Ctrl+O)"));
        QCOMPARE(hint->geometry(), window.filesView()->viewport()->rect());
        QCOMPARE(hint->alignment(), Qt::AlignCenter);
        QVERIFY(hint->testAttribute(Qt::WA_TransparentForMouseEvents));
        const QColor shown = hint->palette().color(hint->foregroundRole());
        QVERIFY(shown != window.filesView()->palette().color(QPalette::Text)); // grey
        QCOMPARE(QColor(shown).value(), 127);
        window.addFileNames(exampleFiles("invoice_147"));
        QTRY_VERIFY(!hint->isVisible());
        window.processingList().removeRows(0, 0);
        QVERIFY(hint->isVisible());
    }

    void runSummaryWording_data()
    {
        QTest::addColumn<int>("documents");
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("msecs");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << 1 << 0 << 1500 << false << "Готово: 1 документ за 0:01, ошибок нет";
        QTest::newRow("few") << 2 << 1 << 62000 << false << "Готово: 2 документа за 1:02, 1 файл с ошибками";
        QTest::newRow("many") << 6 << 3 << 999 << false << "Готово: 6 документов за 0:00, 3 файла с ошибками";
        QTest::newRow("teens") << 11 << 14 << 0 << false << "Готово: 11 документов за 0:00, 14 файлов с ошибками";
        QTest::newRow("twenties") << 21 << 22 << 0 << false << "Готово: 21 документ за 0:00, 22 файла с ошибками";
        QTest::newRow("hundreds") << 112 << 101 << 0 << false
                                  << "Готово: 112 документов за 0:00, 101 файл с ошибками";
        QTest::newRow("none") << 0 << 5 << 0 << false << "Готово: 0 документов за 0:00, 5 файлов с ошибками";
        QTest::newRow("stopped") << 3 << 0 << 4000 << true << "Остановлено: 3 документа за 0:04, ошибок нет";
    }
    void runSummaryWording()
    {
        QFETCH(int, documents);
        QFETCH(int, errors);
        QFETCH(int, msecs);
        QFETCH(bool, stopped);
        QFETCH(QString, text);
        QCOMPARE(RunSummary::summaryText(documents, errors, msecs, stopped), text);
    }

    // After a run with a failed file: the summary in the error colour, kept
    // through an automatic run; a made document opens from its row, by the
    // action, Enter or a double click, its folder in the file manager; the
    // failed row shows its error in the log.
    void resultsOneClickAway()
    {
        const QString act = res->path() + "/Templates/act.docx";
        QVERIFY(QFile::rename(act, act + ".away"));
        QList<QUrl> opened;
        DesktopOpener::setHandler([&opened](const QUrl& url) {
            opened << url;
            return true;
        });
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList files = exampleFiles().filter(QRegularExpression("(AKT_2024-031|invoice_147)"));
        QCOMPARE(files.size(), 2);
        window.addFileNames(files);
        QTRY_COMPARE(window.processingList().items().size(), 2);
        QVERIFY(waitForRunEnd(window));
        QTreeView* view = window.filesView();
        const QAbstractItemModel* model = view->model();
        const QModelIndex actRow = model->index(0, 0);
        const QModelIndex invoiceRow = model->index(1, 0);
        QVERIFY(actRow.data().toString().startsWith("AKT_"));
        QAction* open = actionNamed(&window, "Открыть документ");
        QAction* folder = actionNamed(&window, "Показать в папке");
        QAction* showError = actionNamed(&window, "Показать ошибку");
        QVERIFY(open && folder && showError);
        view->setCurrentIndex(invoiceRow);
        QVERIFY(!open->isEnabled() && !folder->isEnabled() && !showError->isEnabled()); // nothing made yet

        actionNamed(&window, "Запустить обработку")->trigger();
        QVERIFY(waitForRunEnd(window));
        QVERIFY(QFile::rename(act + ".away", act));
        auto* summary = window.findChild<QLabel*>("runSummary");
        QVERIFY(summary->isVisible());
        QVERIFY2(QRegularExpression("^Готово: 1 документ за \\d+:\\d\\d, 1 файл с ошибками$").match(summary->text()).hasMatch(),
                 qPrintable(summary->text()));
        QCOMPARE(summary->palette().color(summary->foregroundRole()), QColor(255, 0, 0));

        const QString document = QFileInfo(files.last()).path() + "/invoice_147_счёт.docx";
        QVERIFY(QFileInfo::exists(document));
        QVERIFY(open->isEnabled() && folder->isEnabled() && !showError->isEnabled());
        open->trigger();
        folder->trigger();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Return);
        doubleClick(view, invoiceRow);
        const QUrl documentUrl = QUrl::fromLocalFile(document);
        QCOMPARE(opened, QList<QUrl>({documentUrl, QUrl::fromLocalFile(QFileInfo(files.last()).path()), documentUrl,
                                      documentUrl}));

        // The failed row: no document to open; its error selected in the log.
        view->setCurrentIndex(actRow);
        QVERIFY(!open->isEnabled() && !folder->isEnabled() && showError->isEnabled());
        doubleClick(view, actRow);
        QCOMPARE(opened.size(), 4);
        window.findChild<QDockWidget*>("statusWidget")->hide();
        showError->trigger();
        QVERIFY(window.findChild<QDockWidget*>("statusWidget")->isVisible());
        QPlainTextEdit* log = window.messageLog();
        const QString error = model->index(0, colErrorText).data().toString();
        QVERIFY(error.contains("Не найден файл шаблона: act.docx"));
        QVERIFY(log->textCursor().selectedText().endsWith(error));
        QCOMPARE(log->extraSelections().size(), 1);

        // The context menu offers them for the row under the pointer.
        QStringList offered;
        QTimer::singleShot(100, [&offered] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                for (const QAction* action : popup->actions())
                    offered << (action->isSeparator() ? "|" : action->text() + (action->isEnabled() ? "" : " (off)"));
                popup->close();
            }
        });
        emit view->customContextMenuRequested(view->visualRect(invoiceRow).center());
        QCOMPARE(offered, QStringList({"Открыть документ", "Показать в папке", "Показать ошибку (off)", "|",
                                       "Копировать"}));

        // An automatic run leaves the summary of the last run.
        window.addFileNames(exampleFiles("invoice_152"));
        QTRY_COMPARE(window.processingList().items().size(), 3);
        QVERIFY(waitForRunEnd(window));
        QVERIFY(summary->isVisible());
        QVERIFY(summary->text().startsWith("Готово: 1 документ"));
        DesktopOpener::setHandler({});
    }

    void titleInEveryForm()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QString("Плинтворкс"));
        gst[stRunAutoUnzip] = true;
        gst[stRunAutoDetect] = false;
        QStringList files = exampleFiles();
        files.removeAll(files.filter("invoice_152").value(0));
        window.addFileNames(files.filter(QRegularExpression("(AKT|contract|invoice)")).mid(0, 3)
                            + files.filter("archive.zip"));
        QTRY_COMPARE(window.processingList().items().size(), 4);
        QVERIFY(waitForRunEnd(window));
        QCOMPARE(window.processingList().items().at(3)->childCount(), 3); // unpacked: not counted
        QCOMPARE(window.windowTitle(),
                 QStringLiteral("Обрабатываемые файлы: *.xml (3 шт.); *.zip (1 шт.)[*] — Плинтворкс"));
        QVERIFY(!window.isWindowModified());

        window.processingList().removeRows(0, 2);
        actionNamed(&window, "Шаблоны документов")->trigger();
        QCOMPARE(window.windowTitle(), QStringLiteral("Шаблоны документов: Templates.txt[*]  — Плинтворкс"));
        QVERIFY(!window.isWindowModified());
        window.templatesView()->model()->setData(window.templatesView()->model()->index(0, 2), "изменено");
        QVERIFY(window.isWindowModified());
        actionNamed(&window, "Обрабатываемые файлы")->trigger();
        QCOMPARE(window.windowTitle(), QStringLiteral("Обрабатываемые файлы: *.zip (1 шт.)[*] — Плинтворкс"));
        QVERIFY(!window.isWindowModified());
        window.templateCatalogue().setModified(false);
    }

    void addingFilesAndTheAutomaticRuns_data()
    {
        QTest::addColumn<bool>("autoUnzip");
        QTest::addColumn<bool>("autoDetect");
        QTest::addColumn<int>("zipState");
        QTest::addColumn<int>("xmlState");
        QTest::newRow("both on: up to detection") << true << true << 1 << 2;
        QTest::newRow("detection only: still unpacks") << false << true << 1 << 2;
        QTest::newRow("unpacking only") << true << false << 1 << 0;
        QTest::newRow("both off: nothing starts") << false << false << 0 << 0;
    }
    void addingFilesAndTheAutomaticRuns()
    {
        QFETCH(bool, autoUnzip);
        QFETCH(bool, autoDetect);
        QFETCH(int, zipState);
        QFETCH(int, xmlState);
        MainWindow window;
        gst[stRunAutoUnzip] = autoUnzip;
        gst[stRunAutoDetect] = autoDetect;
        const QStringList files = exampleFiles();
        QSignalSpy inserted(&window.processingList(), &FileList::filesInserted);
        QSignalSpy started(&window.processingList(), &FileList::processingStarted);
        const QString folder = QFileInfo(files.first()).path();
        QVERIFY(QFile::copy(files.filter("invoice_147").first(), folder + "/invoice_147 copy.XML"));
        window.addFileNames({folder + "/invoice_147 copy.XML", folder + "/stamp.jpg"});
        window.addFileNames({files.filter("archive").first()});
        QCOMPARE(window.processingList().items().size(), 0); // handed over once the loop runs
        QTRY_COMPARE(inserted.count(), 1);
        QCOMPARE(window.processingList().items().size(), 2);
        QVERIFY(waitForRunEnd(window));
        QCOMPARE(started.count(), autoUnzip || autoDetect ? 1 : 0);
        QCOMPARE(window.processingList().items().at(1)->state(), zipState);
        QCOMPARE(window.processingList().items().at(0)->state(), xmlState);
        QVERIFY(!logText(window).contains("ЗАВЕРШЕН")); // automatic runs make no documents
        QVERIFY(QDir(QFileInfo(files.first()).path()).entryList({"*.docx"}).isEmpty());
    }

    void dropAcceptsOnlyTheFileView()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList files = exampleFiles();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(files.filter("invoice_147").first()),
                      QUrl::fromLocalFile(files.filter("archive").first()),
                      QUrl::fromLocalFile(QFileInfo(files.first()).path() + "/stamp.jpg")});
        const QPoint inView = window.filesView()->mapTo(&window, window.filesView()->rect().center());
        // Straight to the window's handlers: outside a real drag Qt's own
        // dispatch holds such events back.
        QObject* target = &window;
        QDragMoveEvent over(inView, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        target->event(&over);
        QVERIFY(over.isAccepted());
        QDragMoveEvent outside(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        target->event(&outside);
        QVERIFY(!outside.isAccepted());
        actionNamed(&window, "Шаблоны документов")->trigger();
        QDragMoveEvent onTemplates(inView, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        target->event(&onTemplates);
        QVERIFY(!onTemplates.isAccepted());
        actionNamed(&window, "Обрабатываемые файлы")->trigger();

        QDropEvent drop(inView, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        target->event(&drop);
        QTRY_COMPARE(window.processingList().items().size(), 2);
        QVERIFY(waitForRunEnd(window));
    }

    // The road of the bundled examples: added, unpacked, recognised,
    // generated, each row in its colour, with the progress shown meanwhile.
    void startMakesTheDocuments()
    {
        MainWindow window;
        window.show();
        const QStringList files = exampleFiles();
        window.addFileNames(files);
        QTRY_COMPARE(window.processingList().items().size(), files.size());
        QVERIFY(waitForRunEnd(window));
        auto* progress = window.findChild<QWidget*>("runProgress");
        QVERIFY(progress && !progress->isVisible());
        QSignalSpy stepStarted(&window.processingList(), &FileList::procStepStarted);
        // What the status bar shows as each item of a step is done.
        QStringList shown;
        connect(&window.processingList(), &FileList::procStepProgress, &window, [&] {
            const auto* bar = progress->findChild<QProgressBar*>("runProgressBar");
            shown << progress->findChild<QLabel*>("runStepLabel")->text() + " " + bar->text() + " "
                         + progress->findChild<QLabel*>("runElapsedLabel")->text();
        });
        actionNamed(&window, "Запустить обработку")->trigger();
        QVERIFY(!actionNamed(&window, "Добавить файлы...")->isEnabled());
        QVERIFY(actionNamed(&window, "Остановить обработку")->isEnabled());
        QVERIFY(progress->isVisible());
        auto* summary = window.findChild<QLabel*>("runSummary");
        QVERIFY(summary && !summary->isVisible());
        QVERIFY(waitForRunEnd(window));
        QVERIFY(!progress->isVisible());
        // The run is told until the next one.
        QVERIFY(summary->isVisible());
        QVERIFY2(QRegularExpression(QStringLiteral("^Готово: %1 документов за \\d+:\\d\\d, ошибок нет$")
                                        .arg(window.processingList().xmlFiles().size()))
                     .match(summary->text())
                     .hasMatch(),
                 qPrintable(summary->text()));
        QVERIFY(actionNamed(&window, "Добавить файлы...")->isEnabled());
        QTRY_VERIFY(logText(window).contains("ЗАВЕРШЕН процесс обработки файлов"));
        QVERIFY(logText(window).contains("ЗАПУЩЕН процесс обработки файлов"));
        QVERIFY(!stepStarted.isEmpty());
        const QRegularExpression lastItem(
            QStringLiteral("^Формирование документов %1 из %1 \\d+:\\d\\d$").arg(window.processingList().xmlFiles().size()));
        QVERIFY2(!shown.filter(lastItem).isEmpty(), qPrintable(shown.join('\n')));

        const QDir folder(QFileInfo(files.first()).path());
        for (const char* document : {"invoice_147_счёт.docx", "invoice_152_счёт.docx", "2024-031_акт.docx",
                                     "contract_21-2024_договор.docx", "invoice_158_счёт.docx"})
            QVERIFY2(folder.exists(QString::fromUtf8(document)), document);
        const QAbstractItemModel* model = window.filesView()->model();
        const int archiveRow = files.indexOf(files.filter("archive").first());
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            QVERIFY(!index.data(Qt::ForegroundRole).isValid());
            if (row != archiveRow)
                QCOMPARE(index.data(Qt::BackgroundRole).value<QColor>(), QColor(204, 255, 204));
        }
        // An archive of several files stays unpacked; its files below it are done.
        const QModelIndex archive = model->index(archiveRow, 0);
        QCOMPARE(archive.data(Qt::BackgroundRole).value<QColor>(), QColor(240, 240, 240));
        QCOMPARE(model->rowCount(archive), 3);
        QVERIFY(model->index(0, 4, archive).data().toString().endsWith(".docx"));
        QCOMPARE(model->index(0, 0, archive).data(Qt::BackgroundRole).value<QColor>(), QColor(204, 255, 204));
    }

    // The tool bar's PDF box is stored at once; a run then makes each PDF
    // beside its document, and the document column and the log name it.
    // Without LibreOffice the box says what to install.
    void pdfBesideTheDocuments()
    {
        {
            const QByteArray path = qgetenv("PATH");
            qputenv("PATH", "/nonexistent");
            MainWindow window;
            qputenv("PATH", path);
            const auto* box = window.findChild<QToolBar*>("settingsToolBar")->findChild<QAbstractButton*>("runSavePdfBox");
            QVERIFY(!box->isEnabled());
            QVERIFY(box->toolTip().contains("libreoffice-writer-nogui"));
        }
        if (!SettingsDialog::pdfAvailable())
            QSKIP("LibreOffice or its Python bridge is not installed");
        QSettings().setValue("RunSettings/runParallel", false); // one worker, one office
        MainWindow window;
        window.show();
        auto* box = window.findChild<QToolBar*>("settingsToolBar")->findChild<QAbstractButton*>("runSavePdfBox");
        QVERIFY(box->isEnabled());
        box->setChecked(true);
        QCOMPARE(QSettings().value("RunSettings/runSavePdf").toBool(), true);
        const QStringList files = exampleFiles("invoice_147");
        window.addFileNames(files);
        QTRY_COMPARE(window.processingList().items().size(), 1);
        QVERIFY(waitForRunEnd(window));
        actionNamed(&window, "Запустить обработку")->trigger();
        QVERIFY(waitForRunEnd(window, 120000));
        const QString folder = QFileInfo(files.first()).path();
        QVERIFY(readFile(folder + QStringLiteral("/invoice_147_счёт.pdf")).startsWith("%PDF-"));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/invoice_147_счёт.docx")));
        QCOMPARE(window.filesView()->model()->index(0, 4).data().toString(),
                 QStringLiteral("invoice_147_счёт.docx, invoice_147_счёт.pdf"));
        QTRY_VERIFY(logText(window).contains(QStringLiteral("и в PDF: invoice_147_счёт.pdf")));
    }

    void stopDuringARun()
    {
        MainWindow window;
        gst[stRunAutoUnzip] = false;
        gst[stRunAutoDetect] = false;
        gst[stRunParallel] = false;
        QStringList many;
        const QString folder = work.path() + "/many";
        QDir().mkpath(folder);
        const QString source = PLINTHWORKS_SOURCE_DIR "/examples/data/invoice_147.xml";
        for (int i = 0; i < 60; ++i) {
            many << folder + QStringLiteral("/invoice_%1.xml").arg(i);
            QFile::copy(source, many.last());
        }
        window.addFileNames(many);
        QTRY_COMPARE(window.processingList().items().size(), 60);
        actionNamed(&window, "Остановить обработку")->trigger(); // not running: nothing
        QVERIFY(!logText(window).contains("прерывание"));
        actionNamed(&window, "Запустить обработку")->trigger();
        QTRY_VERIFY(window.processingList().items().at(0)->state() >= 2);
        // A file dropped meanwhile waits for the run, and stopping the run
        // does not take its turn away.
        gst[stRunAutoDetect] = true;
        const QString late = folder + "/late/invoice_late.xml";
        QDir().mkpath(QFileInfo(late).path());
        QVERIFY(QFile::copy(source, late));
        QSignalSpy started(&window.processingList(), &FileList::processingStarted);
        window.addFileNames({late});
        QTRY_COMPARE(window.processingList().items().size(), 61);
        actionNamed(&window, "Остановить обработку")->trigger();
        QTRY_VERIFY(logText(window).contains("Отправлен запрос на прерывание обработки файлов"));
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), 1, 20000);
        QVERIFY(waitForRunEnd(window));
        const int documents = QDir(folder).entryList({"*.docx"}).size();
        QVERIFY2(documents < 60, qPrintable(QString::number(documents)));
        QCOMPARE(window.processingList().items().last()->state(), 2);
        QVERIFY(QDir(QFileInfo(late).path()).entryList({"*.docx"}).isEmpty());
    }

    void excludeTakesTheFirstRunOfSelectedRows()
    {
        MainWindow window;
        gst[stRunAutoUnzip] = false;
        gst[stRunAutoDetect] = false;
        const QStringList files = exampleFiles().filter(".xml");
        window.addFileNames(files.mid(0, 6));
        QTRY_COMPARE(window.processingList().items().size(), 6);
        QTreeView* view = window.filesView();
        auto* selection = view->selectionModel();
        for (int row : {1, 2, 4}) // rows 2, 3 and 5 as numbered in the view
            selection->select(view->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QString fourth = view->model()->index(3, 0).data().toString();
        const QString fifth = view->model()->index(4, 0).data().toString();
        actionNamed(&window, "Исключить файлы")->trigger();
        QCOMPARE(window.processingList().items().size(), 4);
        QCOMPARE(view->model()->index(1, 0).data().toString(), fourth);
        QCOMPARE(view->model()->index(2, 0).data().toString(), fifth);
        QCOMPARE(view->currentIndex().row(), 1);
        QVERIFY(selection->isRowSelected(1, QModelIndex()));
        QVERIFY(!selection->isRowSelected(2, QModelIndex()));
        QCOMPARE(window.windowTitle(), QStringLiteral("Обрабатываемые файлы: *.xml (4 шт.)[*] — Плинтворкс"));
    }

    void copyABlockOfCells()
    {
        MainWindow window;
        gst[stRunAutoUnzip] = false;
        gst[stRunAutoDetect] = false;
        const QStringList files = exampleFiles().filter(".xml");
        window.addFileNames(files.mid(0, 3));
        QTRY_COMPARE(window.processingList().items().size(), 3);
        QTreeView* view = window.filesView();
        const QAbstractItemModel* model = view->model();
        view->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, 2)),
                                       QItemSelectionModel::ClearAndSelect);
        QApplication::clipboard()->clear();
        actionNamed(&window, "Копировать")->trigger();
        const QString text = QApplication::clipboard()->text();
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(!text.endsWith('\n'));
        QCOMPARE(lines.at(0).split('\t').size(), 3);
        QCOMPARE(lines.at(1).split('\t').at(0), model->index(1, 0).data().toString());
        QCOMPARE(lines.at(0).split('\t').at(2), QString("Файл XML"));
        QVERIFY(view->actions().contains(actionNamed(&window, "Копировать"))); // in the context menu

        // Its shortcut, pressed in the view, copies the block, not only the current cell.
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        view->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);
    }

    void saveTheListAndTheCatalogue()
    {
        MainWindow window;
        gst[stRunAutoUnzip] = false;
        gst[stRunAutoDetect] = false;
        const QStringList files = exampleFiles().filter(".xml");
        window.addFileNames(files.mid(0, 2));
        QTRY_COMPARE(window.processingList().items().size(), 2);
        const QString report = work.path() + "/report.txt";
        chooseFile(report);
        actionNamed(&window, "Сохранить")->trigger();
        const QStringList lines = QString::fromUtf8(readFile(report)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).split('\t').at(0), QFileInfo(files.at(0)).fileName());
        QTRY_VERIFY(logText(window).contains("Список обработки сохранен в файл: report.txt"));

        // A catalogue whose file cannot be written goes, if the user agrees,
        // to the user's own resource folder; the shared one stays as it was.
        actionNamed(&window, "Шаблоны документов")->trigger();
        const QString shared = window.templateCatalogue().fileName;
        const QByteArray before = readFile(shared);
        QVERIFY(QFile::remove(shared) && QDir().mkdir(shared)); // a folder cannot be written as a file
        auto* model = window.templatesView()->model();
        model->setData(model->index(0, 2), "правка");
        clickMessageButton(QMessageBox::No);
        actionNamed(&window, "Сохранить")->trigger();
        QTRY_VERIFY(logText(window).contains("Ошибка сохранения списка Шаблоны документов в файл: Templates.txt"));
        QVERIFY(window.isWindowModified());

        clickMessageButton(QMessageBox::Yes);
        actionNamed(&window, "Сохранить")->trigger();
        const QString own = writableInResource("Settings", "Templates.txt");
        QTRY_VERIFY(logText(window).contains("Список Шаблоны документов сохранен в файл: Templates.txt"));
        QVERIFY(QString::fromUtf8(readFile(own)).contains("правка"));
        QCOMPARE(window.templateCatalogue().fileName, own);
        QVERIFY(!window.isWindowModified());
        QVERIFY(QDir().rmdir(shared));
        QVERIFY(writeFile(shared, before));
        QFile::remove(own);
    }

    void settingsDialogEffects()
    {
        MainWindow window;
        window.show();
        answerModal([](QWidget* dialog) {
            QCOMPARE(dialog->objectName(), QString("SettingsDialog"));
            dialog->findChild<QCheckBox*>("showPathBox")->setChecked(true);
            dialog->findChild<QCheckBox*>("showNamesBox")->setChecked(true);
            // All three keys the tool bar shows change at once.
            dialog->findChild<QCheckBox*>("runRenameDestBox")->setChecked(true);
            dialog->findChild<QCheckBox*>("runAutoDetectBox")->setChecked(false);
            dialog->findChild<QCheckBox*>("runOpenDocumentBox")->setChecked(true);
            qobject_cast<QDialog*>(dialog)->accept();
        });
        actionNamed(&window, "Настройки")->trigger();
        QVERIFY(globalShowPath());
        QVERIFY(globalShowNames());
        auto* toolBar = window.findChild<QToolBar*>("settingsToolBar");
        QVERIFY(toolBar->findChild<QAbstractButton*>("runRenameDestBox")->isChecked());
        QVERIFY(!toolBar->findChild<QAbstractButton*>("runAutoDetectBox")->isChecked());
        QVERIFY(toolBar->findChild<QAbstractButton*>("runOpenDocumentBox")->isChecked());
        for (const QString& key : {stRunRenameDest, stRunOpenDocument})
            QCOMPARE(gst[key], QVariant(true));
        QCOMPARE(gst[stRunAutoDetect], QVariant(false));
        QCOMPARE(QSettings().value("RunSettings/runAutoDetect").toBool(), false);
        QCOMPARE(QSettings().value("RunSettings/runOpenDocument").toBool(), true);
        auto* templates = window.findChild<QComboBox*>("templateCombo");
        QCOMPARE(templates->modelColumn(), 0);
        QCOMPARE(templates->completer()->completionColumn(), 0);
        QCOMPARE(templates->currentText(), QString("invoice"));
        actionNamed(&window, "Шаблоны документов")->trigger();
        QVERIFY(window.windowTitle().contains(QDir::toNativeSeparators(window.templateCatalogue().fileName)));
        QCOMPARE(QSettings().value("RunSettings/runRenameDest").toBool(), true);

        // The tool bar's boxes and the format combo box store the run settings at once.
        toolBar->findChild<QAbstractButton*>("runAutoDetectBox")->setChecked(true);
        QCOMPARE(QSettings().value("RunSettings/runAutoDetect").toBool(), true);
        window.findChild<QComboBox*>("formatCombo")->setCurrentIndex(2);
        QCOMPARE(QSettings().value("RunSettings/runDocumentFormat").toInt(), 2);
        setGlobalShowPath(false);
        setGlobalShowNames(false);
    }

    void storedStateIsClamped()
    {
        QSettings().setValue("templateIndex", 99);
        QSettings().setValue("RunSettings/runDocumentFormat", 5);
        MainWindow window;
        auto* templates = window.findChild<QComboBox*>("templateCombo");
        QCOMPARE(templates->currentIndex(), templates->count() - 1);
        QCOMPARE(window.findChild<QComboBox*>("formatCombo")->currentText(), QString("Формат RTF"));
    }

    // Closing asks first; SIGTERM (or SIGINT, SIGHUP) and the end of the
    // desktop session do what «Да» does without asking.
    void closeDuringARun_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("confirmed") << "yes";
        QTest::newRow("refused") << "no";
        QTest::newRow("SIGTERM") << "sigterm";
        QTest::newRow("session end") << "session";
    }
    void closeDuringARun()
    {
        QFETCH(QString, how);
        auto* window = new MainWindow;
        window->show();
        gst[stRunAutoUnzip] = false;
        gst[stRunAutoDetect] = false;
        const QString folder = work.path() + "/close-" + how;
        QDir().mkpath(folder);
        QStringList many;
        for (int i = 0; i < 40; ++i) {
            many << folder + QStringLiteral("/invoice_%1.xml").arg(i);
            QFile::copy(PLINTHWORKS_SOURCE_DIR "/examples/data/invoice_147.xml", many.last());
        }
        window->addFileNames(many);
        QTRY_COMPARE(window->processingList().items().size(), 40);
        actionNamed(window, "Запустить обработку")->trigger();
        QVERIFY(window->processingList().isProcessing());
        if (how == "sigterm") {
            ::raise(SIGTERM);
            QTRY_VERIFY(!window->isVisible());
        } else if (how == "session") {
            window->finishForSessionEnd();
        } else {
            clickMessageButton(how == "yes" ? QMessageBox::Yes : QMessageBox::No);
            window->close();
            QCOMPARE(window->isVisible(), how == "no");
        }
        if (how != "no") {
            QVERIFY(!window->processingList().isProcessing());
            QVERIFY(QSettings().contains("geometry"));
            QVERIFY(logText(*window).contains("Отправлен запрос на прерывание обработки файлов"));
            // Nothing half-written is left under a document's name or beside it.
            QVERIFY(QDir(folder).entryList({".pw-*"}, QDir::Files | QDir::Hidden).isEmpty());
            for (const QString& name : QDir(folder).entryList({"*.docx"}, QDir::Files))
                QVERIFY2(QFileInfo(folder + "/" + name).size() > 0, qPrintable(name));
        } else {
            QVERIFY(!QSettings().contains("geometry"));
            QVERIFY(waitForRunEnd(*window));
        }
        delete window;
        QTest::qWait(20);
    }

    void fileOpenRequests()
    {
        auto* app = qobject_cast<MyApplication*>(qApp);
        QVERIFY(app);
        const QString file = exampleFiles().filter("invoice_147").first();
        QFileOpenEvent early(file);
        QVERIFY(!QCoreApplication::sendEvent(app, &early)); // no window yet: passed to the toolkit
        MainWindow window;
        gst[stRunAutoUnzip] = false;
        gst[stRunAutoDetect] = false;
        QTest::qWait(20);
        QCOMPARE(window.processingList().items().size(), 0);
        app->setMainWindow(&window);
        QFileOpenEvent open(file);
        QVERIFY(QCoreApplication::sendEvent(app, &open));
        QTRY_COMPARE(window.processingList().items().size(), 1);
        app->setMainWindow(nullptr);
    }

    void helpOpensTheManualAndAboutShowsTheVersion()
    {
        MainWindow window;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        actionNamed(&window, "Справка")->trigger();
        QDesktopServices::unsetUrlHandler("file");
        QVERIFY(catcher.opened.isLocalFile());
        QCOMPARE(catcher.opened.toLocalFile(), QCoreApplication::applicationDirPath() + "/tst_mainwindow.pdf");

        AboutDialog about;
        QCOMPARE(about.windowTitle(), QString("О программе"));
        QVERIFY(about.aboutText().contains("Версия " + softwareVersion(true)));
        QVERIFY(!about.aboutText().contains("[%SV%]"));
        QVERIFY(about.findChild<QLabel*>("aboutLabel")->wordWrap());
        answerModal([](QWidget* dialog) {
            QCOMPARE(dialog->objectName(), QString("AboutDialog"));
            qobject_cast<QDialog*>(dialog)->accept();
        });
        actionNamed(&window, "О программе...")->trigger();
    }

    void missingCatalogueIsReported()
    {
        const QString catalogue = res->path() + "/Settings/Templates.txt";
        QVERIFY(QFile::rename(catalogue, catalogue + ".away"));
        QString text;
        answerModal([&text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            text = box->windowTitle() + "|" + box->text();
            box->accept();
        });
        {
            MainWindow window;
            QCOMPARE(window.templateCatalogue().count(), 0);
        }
        QVERIFY(QFile::rename(catalogue + ".away", catalogue));
        QCOMPARE(text, QStringLiteral("Плинтворкс|Ошибка инициализации приложения! Не удалось загрузить:\n"
                                      "список шаблонов.\nКорректная работа приложения не возможна!"));
    }

    // The template check from the template page: the selected rows, the
    // findings in a table that can be copied, the outcome in the log, and a
    // dry run on a file picked in the file dialog.
    void checkTemplatesFromTheTemplatePage()
    {
        MainWindow window;
        window.show();
        actionNamed(&window, "Шаблоны документов")->trigger();
        QTreeView* view = window.templatesView();
        const auto check = [&](const QString& action) {
            actionNamed(&window, action)->trigger();
            auto* dialog = window.findChild<TemplateCheckDialog*>();
            bool finished = false;
            if (dialog)
                connect(dialog, &TemplateCheckDialog::checkFinished, [&finished] { finished = true; });
            if (dialog && !QTest::qWaitFor([&finished] { return finished; }, 20000))
                dialog = nullptr;
            return dialog;
        };

        // Nothing chosen: said in the log, no dialog.
        view->selectionModel()->clear();
        view->setCurrentIndex(QModelIndex());
        QVERIFY(!check("Проверить шаблон"));
        QTRY_VERIFY(logText(window).contains("Проверка шаблонов: выберите шаблоны в списке шаблонов"));

        // A correct template: its commands, no finding.
        view->setCurrentIndex(window.templatesView()->model()->index(0, 0));
        TemplateCheckDialog* clean = check("Проверить шаблон");
        QVERIFY(clean);
        QCOMPARE(clean->findingsTable()->rowCount(), 0);
        QVERIFY(clean->commandsTable()->rowCount() > 20);
        QCOMPARE(clean->commandsTable()->item(0, 0)->text(), QString("invoice, DOCX: document, абзац 2"));
        QTRY_VERIFY(logText(window).contains("Проверка шаблонов: Проверено шаблонов: 1; ошибок: 0, предупреждений: 0"));
        clean->close();
        QTRY_VERIFY(!window.findChild<TemplateCheckDialog*>());

        // A match query that does not exist, in the edited catalogue.
        window.templateCatalogue().setData(1, colMatchQuery, "Nope");
        view->selectionModel()->select(window.templatesView()->model()->index(1, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        TemplateCheckDialog* broken = check("Проверить шаблон");
        QVERIFY(broken);
        QCOMPARE(broken->findingsTable()->rowCount(), 1);
        QCOMPARE(broken->findingsTable()->item(0, 0)->text(), QString("act: Templates.txt, строка 2"));
        QCOMPARE(broken->findingsTable()->item(0, 1)->text(), QString("ошибка"));
        QVERIFY(broken->findingsTable()->item(0, 2)->text().startsWith("Нет файла запроса соответствия Nope.xq"));
        broken->copy();
        QCOMPARE(QApplication::clipboard()->text().section('\n', 0, 0), QString("Место\tВажность\tСообщение"));
        QVERIFY(QApplication::clipboard()->text().section('\n', 1, 1).startsWith("act: Templates.txt, строка 2\tошибка\t"));
        QTRY_VERIFY(logText(window).contains("Проверка шаблона: act: Templates.txt, строка 2: ошибка: Нет файла "
                                             "запроса соответствия Nope.xq"));
        broken->close();
        window.templateCatalogue().setData(1, colMatchQuery, "Match");

        // A dry run on a file chosen in the dialog.
        const QString sample = exampleFiles("AKT_2024-031").value(0);
        QVERIFY(!sample.isEmpty());
        chooseFile(sample);
        TemplateCheckDialog* dry = check("Проверить на файле…");
        QVERIFY(dry);
        QStringList results;
        for (int row = 0; row < dry->commandsTable()->rowCount(); ++row)
            results << dry->commandsTable()->item(row, 4)->text();
        QVERIFY2(!results.filter(QRegularExpression("^строк: 4 — 1⇥Изготовление рабочих мест.*⏎2⇥")).isEmpty()
                     && results.contains("рисунок stamp.jpg"),
                 qPrintable(results.join('\n')));
        dry->close();
    }

    void unusableCatalogueLinesAreLogged()
    {
        const QString catalogue = res->path() + "/Settings/Templates.txt";
        const QByteArray original = readFile(catalogue);
        QVERIFY(writeFile(catalogue, original + (original.endsWith('\n') ? "" : "\n") + "short\tfew fields\n"));
        const int line = original.count('\n') + (original.endsWith('\n') ? 1 : 2);
        MainWindow window;
        QVERIFY(writeFile(catalogue, original));
        QTRY_VERIFY2(logText(window).contains(QStringLiteral("Строка %1 списка шаблонов").arg(line)),
                     qPrintable(logText(window)));
        QVERIFY(logText(window).contains("не годится: полей 2"));
    }
};

int main(int argc, char* argv[])
{
    // The program's own application object, so that its file-open
    // handling is what the test sees.
    MyApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
