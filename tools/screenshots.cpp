// plinthworks-screenshots: pictures of the real widgets for the README,
// made from the bundled examples with a settings store of their own.
//
//   plinthworks-screenshots EXAMPLES_DIR OUTPUT_DIR
//
// Runs offscreen unless a display is chosen with QT_QPA_PLATFORM.
#include "globals.h"
#include "mainwindow.h"
#include "myapplication.h"
#include "settingsdialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace {

void wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool waitForRun(MainWindow& window)
{
    QElapsedTimer clock;
    clock.start();
    while (window.processingList().isProcessing() && clock.elapsed() < 120000)
        wait(20);
    wait(200);
    return !window.processingList().isProcessing();
}

QAction* action(QWidget* window, const QString& text)
{
    for (QAction* candidate : window->findChildren<QAction*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

bool save(QWidget* widget, const QString& path)
{
    const bool ok = widget->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "written" : "FAILED", qPrintable(path));
    return ok;
}

// The window with the file view's context menu open on the row of a file.
bool saveContextMenu(MainWindow& window, const QString& fileName, const QString& path)
{
    QTreeView* view = window.filesView();
    const QModelIndexList rows =
        view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, fileName, 1, Qt::MatchExactly);
    if (rows.isEmpty())
        return false;
    view->selectionModel()->select(rows.first(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QPoint at = view->visualRect(rows.first()).center();
    bool ok = false;
    // The menu runs its own event loop: it is pictured and closed from there.
    QTimer::singleShot(300, [&] {
        QWidget* menu = QApplication::activePopupWidget();
        if (!menu)
            return;
        QPixmap picture = window.grab();
        QPainter painter(&picture);
        painter.drawPixmap(window.mapFromGlobal(menu->mapToGlobal(QPoint(0, 0))), menu->grab());
        painter.end();
        ok = picture.save(path);
        menu->close();
    });
    emit view->customContextMenuRequested(at);
    std::fprintf(stderr, "%s %s\n", ok ? "written" : "FAILED", qPrintable(path));
    return ok;
}

void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QDir dir(from);
    for (const QString& name : dir.entryList(QDir::Files))
        QFile::copy(dir.filePath(name), to + QLatin1Char('/') + name);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    MyApplication app(argc, argv);
    // The pictures show the program as users see it, the toolkit's buttons too.
    app.installToolkitTranslation();
    if (argc < 3) {
        std::fprintf(stderr, "usage: plinthworks-screenshots EXAMPLES_DIR OUTPUT_DIR\n");
        return 2;
    }
    const QString examples = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString output = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(output);

    // Nothing of the user's: test-mode folders and a settings store of our own.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path() + QStringLiteral("/settings"));
    QCoreApplication::setOrganizationName(QStringLiteral("QUORVA"));
    QCoreApplication::setApplicationName(QStringLiteral("Plinthworks20"));
    QSettings settings;
    settings.setValue(QStringLiteral("DisplaySettings/showTemplates"), true);
    settings.sync();
    prependGlobalResourcePaths({examples + QStringLiteral("/resources")});
    const QString data = scratch.path() + QStringLiteral("/Документы");
    copyFolder(examples + QStringLiteral("/data"), data);

    // As a newcomer meets it: the first size, nothing added yet.
    MainWindow window;
    window.show();
    wait(300);
    bool ok = save(&window, output + QStringLiteral("/empty.png"));
    QStringList files;
    for (const QString& name : QDir(data).entryList({QStringLiteral("*.xml"), QStringLiteral("*.zip")}, QDir::Files))
        files << data + QLatin1Char('/') + name;
    window.addFileNames(files);
    wait(100);
    waitForRun(window);
    action(&window, QStringLiteral("Запустить обработку"))->trigger();
    waitForRun(window);
    window.filesView()->expandAll();
    window.resize(1180, 640);
    window.messageLog()->moveCursor(QTextCursor::End);
    wait(300);
    ok = save(&window, output + QStringLiteral("/mainwindow.png")) && ok;
    ok = saveContextMenu(window, QStringLiteral("invoice_147.xml"), output + QStringLiteral("/contextmenu.png")) && ok;

    // Wide enough for every column of the catalogue.
    action(&window, QStringLiteral("Шаблоны документов"))->trigger();
    window.resize(1440, 640);
    wait(300);
    ok = save(&window, output + QStringLiteral("/templates.png")) && ok;

    SettingsDialog dialog(&window, 0, false);
    dialog.show();
    wait(200);
    ok = save(&dialog, output + QStringLiteral("/settings.png")) && ok;
    dialog.findChild<QListWidget*>(QStringLiteral("listWidget"))->setCurrentRow(3);
    wait(100);
    ok = save(&dialog, output + QStringLiteral("/settings-colours.png")) && ok;
    return ok ? 0 : 1;
}
