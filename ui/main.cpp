// plinthworks: the desktop program.
#include "mainwindow.h"
#include "myapplication.h"

#include <QLibraryInfo>
#include <QTextCodec>
#include <QTranslator>

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
    QTranslator translator;
    const QString appDir = QCoreApplication::applicationDirPath();
    for (const QString& folder : {appDir + QStringLiteral("/../Resources/translations"),
                                  appDir + QStringLiteral("/translations"),
                                  QLibraryInfo::location(QLibraryInfo::TranslationsPath)}) {
        if (translator.load(QStringLiteral("qt_ru"), folder)) {
            QCoreApplication::installTranslator(&translator);
            break;
        }
    }

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
