#pragma once

#include <QApplication>

class MainWindow;

// The application object: hands files the desktop asks it to open to the
// main window once there is one.
class MyApplication : public QApplication
{
    Q_OBJECT
public:
    MyApplication(int& argc, char** argv);

    void setMainWindow(MainWindow* window) { mainWindow = window; }

protected:
    bool event(QEvent* event) override;

private:
    MainWindow* mainWindow = nullptr;
};
