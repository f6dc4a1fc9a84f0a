#include "myapplication.h"

#include "mainwindow.h"

#include <QFileOpenEvent>
#include <QLibraryInfo>

MyApplication::MyApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool MyApplication::event(QEvent* event)
{
    if (event->type() == QEvent::FileOpen && mainWindow) {
        mainWindow->addFileNames({static_cast<QFileOpenEvent*>(event)->file()});
        return true;
    }
    return QApplication::event(event);
}

void MyApplication::installToolkitTranslation()
{
    const QString appDir = applicationDirPath();
    for (const QString& folder : {appDir + QStringLiteral("/../Resources/translations"),
                                  appDir + QStringLiteral("/translations"),
                                  QLibraryInfo::location(QLibraryInfo::TranslationsPath)}) {
        if (toolkitTranslator.load(QStringLiteral("qt_ru"), folder)) {
            installTranslator(&toolkitTranslator);
            return;
        }
    }
}
