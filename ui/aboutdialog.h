#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

// What the program is and which version runs.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

    QString aboutText() const;

private:
    std::unique_ptr<Ui::AboutDialog> ui;
};
