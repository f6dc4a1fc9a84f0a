#include "myapplication.h"

#include "mainwindow.h"

#include <QFileOpenEvent>

MyApplication::MyApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool MyApplication::event(QEvent* event)
{
    if (event->type() == QEvent::FileOpen && mainWindow) {
        mainWindow->addFileNames({static_cast<QFileOpenEvent*>(event)->file()});
        return true;
    }
    return QApplication::event(event);
}
