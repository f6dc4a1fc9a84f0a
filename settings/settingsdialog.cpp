#include "settingsdialog.h"

#include "libreofficeinstallation.h"
#include "regexvalidator.h"
#include "settingscatalogue.h"
#include "settingsgroup.h"
#include "ui_settingsdialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>

SettingsDialog::SettingsDialog(QWidget* parent, int page, bool singlePage)
    : QDialog(parent), ui(std::make_unique<Ui::SettingsDialog>()), singlePage(singlePage)
{
    ui->setupUi(this);
    QSettings settings;
    resize(settings.value(stSettingsDialogSize, QSize(750, 400)).toSize());

    if (page < 0)
        page = settings.value(stSettingsDialogPage, 0).toInt();
    page = qBound(0, page, ui->listWidget->count() - 1);
    ui->listWidget->setCurrentRow(page);
    ui->stackedWidget->setCurrentIndex(page);

    if (singlePage) {
        if (page < gst.groups.size())
            gst.groups.at(page).writeToWidget(ui->stackedWidget->widget(page));
        for (int row = 0; row < ui->listWidget->count(); ++row)
            ui->listWidget->item(row)->setHidden(row != page);
    } else {
        const int pages = qMin(gst.groups.size(), ui->stackedWidget->count());
        for (int i = 0; i < pages; ++i)
            gst.groups.at(i).writeToWidget(ui->stackedWidget->widget(i));
    }

    for (QPushButton* button : ui->stackedWidget->findChildren<QPushButton*>()) {
        if (button->objectName().startsWith(QLatin1String("color")))
            connect(button, &QPushButton::clicked, this, &SettingsDialog::colorButton_clicked);
    }
    const QRegularExpression alphaSpinName(QRegularExpression::anchoredPattern(QStringLiteral(".+AlphaSpin")));
    for (QSpinBox* spin : ui->stackedWidget->findChildren<QSpinBox*>()) {
        if (alphaSpinName.match(spin->objectName()).hasMatch())
            connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this,
                    &SettingsDialog::colorAlphaSpinChanged_valueChanged);
    }
    offerPdf(ui->runSavePdfBox);
    regexValidator = new RegexValidator(this);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        if (edit->objectName().contains(QLatin1String("Mask"), Qt::CaseInsensitive))
            connect(edit, &QLineEdit::textChanged, regexValidator, &RegexValidator::validateRegex);
    }
}

bool SettingsDialog::pdfAvailable()
{
    return LibreOfficeInstallation::find().isComplete();
}

void SettingsDialog::offerPdf(QAbstractButton* box)
{
    const LibreOfficeInstallation office = LibreOfficeInstallation::find();
    if (!office.isComplete()) {
        box->setEnabled(false);
        box->setToolTip(office.missingText());
    }
}

SettingsDialog::~SettingsDialog()
{
    QSettings settings;
    settings.setValue(stSettingsDialogSize, size());
    if (!singlePage)
        settings.setValue(stSettingsDialogPage, ui->listWidget->currentRow());
}

void SettingsDialog::on_listWidget_currentItemChanged(QListWidgetItem* current, QListWidgetItem* previous)
{
    QListWidgetItem* item = current ? current : previous;
    if (item)
        ui->stackedWidget->setCurrentIndex(ui->listWidget->row(item));
}

void SettingsDialog::on_SettingsDialog_accepted()
{
    const int pages = qMin(gst.groups.size(), ui->stackedWidget->count());
    for (int i = 0; i < pages; ++i) {
        if (singlePage && i != ui->stackedWidget->currentIndex())
            continue;
        SettingsGroup& group = gst.groups[i];
        group.readFromWidget(ui->stackedWidget->widget(i));
        group.writeSettings();
    }
}

QLineEdit* SettingsDialog::colourEditOf(const QObject* source, int suffixLength) const
{
    if (!source)
        return nullptr;
    const QString name = source->objectName();
    return ui->stackedWidget->findChild<QLineEdit*>(name.left(name.size() - suffixLength) + QLatin1String("Edit"));
}

void SettingsDialog::colorButton_clicked()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    QLineEdit* edit = colourEditOf(button, 6);
    if (!edit)
        return;
    const QColor current = edit->palette().color(QPalette::Base);
    QColorDialog dialog(current, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QColor chosen = dialog.selectedColor();
    const QString base = button->objectName().left(button->objectName().size() - 6);
    if (const auto* alpha = ui->stackedWidget->findChild<QSpinBox*>(base + QLatin1String("AlphaSpin")))
        chosen.setAlphaF(alpha->value() / 100.0);
    if (chosen != current)
        SettingsGroup::showColour(edit, chosen);
}

void SettingsDialog::colorAlphaSpinChanged_valueChanged(int value)
{
    QLineEdit* edit = colourEditOf(sender(), 9);
    if (!edit)
        return;
    QColor colour = edit->palette().color(QPalette::Base);
    colour.setAlphaF(qBound(0.0, value / 100.0, 1.0));
    SettingsGroup::showColour(edit, colour);
}
