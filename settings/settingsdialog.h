#pragma once

#include <QDialog>

#include <memory>

class QAbstractButton;
class QListWidgetItem;
class RegexValidator;
namespace Ui {
class SettingsDialog;
}

// The settings of every group, one page per group in registration order.
// Pages are bound to their groups purely by widget object names, so a new
// setting needs only a widget named after its key. Opening fills the pages
// from `gst`; accepting reads them back and stores the groups; cancelling
// changes nothing. The dialog's size and page are remembered.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    // A negative page opens the page shown last. In single-page mode only
    // that page is offered and stored, and the page shown is not remembered.
    explicit SettingsDialog(QWidget* parent = nullptr, int page = -1, bool singlePage = false);
    ~SettingsDialog() override;

    // Whether PDF files can be made here: without LibreOffice the check box
    // that asks for them is disabled, and its tool tip says what to install.
    static bool pdfAvailable();
    static void offerPdf(QAbstractButton* box);

private slots:
    void on_listWidget_currentItemChanged(QListWidgetItem* current, QListWidgetItem* previous);
    void on_SettingsDialog_accepted();
    void colorButton_clicked();
    void colorAlphaSpinChanged_valueChanged(int value);

private:
    // The colour edit of a colour button or alpha spin box: its object name
    // with `suffixLength` characters dropped, plus "Edit".
    class QLineEdit* colourEditOf(const QObject* source, int suffixLength) const;

    std::unique_ptr<Ui::SettingsDialog> ui;
    bool singlePage;
    RegexValidator* regexValidator;
};
