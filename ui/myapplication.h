#pragma once

#include <QApplication>
#include <QTranslator>

class MainWindow;

// The application object: hands files the desktop asks it to open to the
// main window once there is one.
class MyApplication : public QApplication
{
    Q_OBJECT
public:
    MyApplication(int& argc, char** argv);

    void setMainWindow(MainWindow* window) { mainWindow = window; }
    // Loads the toolkit's own Russian texts (dialog buttons, standard
    // dialogs): from the folders beside the program first, then Qt's.
    void installToolkitTranslation();

protected:
    bool event(QEvent* event) override;

private:
    MainWindow* mainWindow = nullptr;
    QTranslator toolkitTranslator;
};
