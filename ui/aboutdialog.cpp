#include "aboutdialog.h"

#include "globals.h"
#include "ui_aboutdialog.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::AboutDialog>())
{
    ui->setupUi(this);
    ui->aboutLabel->setText(
        ui->aboutLabel->text().replace(QStringLiteral("[%SV%]"), softwareVersion(true), Qt::CaseSensitive));
    adjustSize();
}

AboutDialog::~AboutDialog() = default;

QString AboutDialog::aboutText() const
{
    return ui->aboutLabel->text();
}
