// plinthworks: the desktop program.
#include "mainwindow.h"
#include "myapplication.h"

#include <QTextCodec>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    MyApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("QUORVA"));
    QCoreApplication::setApplicationName(QStringLiteral("Plinthworks20"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/plinthworks.png")));

    // The toolkit's own dialogs and buttons in Russian; the program's texts
    // are Russian already.
    app.installToolkitTranslation();

    MainWindow window;
    app.setMainWindow(&window);
    if (argc > 1) {
        QStringList names;
        for (int i = 1; i < argc; ++i)
            names << QTextCodec::codecForLocale()->toUnicode(argv[i]);
        window.addFileNames(names);
    }
    window.show();
    const int status = app.exec();
    app.setMainWindow(nullptr);
    return status;
}
