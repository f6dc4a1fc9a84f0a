#include "templatecheckdialog.h"

#include "checkreport.h"
#include "settingscatalogue.h"
#include "settingsgroup.h"
#include "status.h"
#include "templatelist.h"
#include "threadcontroller.h"
#include "ui_templatecheckdialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSet>
#include <QShortcut>
#include <QThread>

#include <algorithm>

namespace {

void appendRow(QTableWidget* table, const QStringList& cells)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < cells.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
}

QString placeOf(const TemplateCheckResult& result, const CheckPlace& place)
{
    const QString where = place.shown();
    return CheckReport::subject(result) + (where.isEmpty() ? QString() : QStringLiteral(": ") + where);
}

} // namespace

TemplateCheckDialog::TemplateCheckDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TemplateCheckDialog>())
{
    ui->setupUi(this);
    QPushButton* copyButton =
        ui->buttonBox->addButton(QStringLiteral("Копировать"), QDialogButtonBox::ActionRole);
    copyButton->setObjectName(QStringLiteral("copyButton"));
    connect(copyButton, &QPushButton::clicked, this, &TemplateCheckDialog::copy);
    auto* copyShortcut = new QShortcut(QKeySequence::Copy, this);
    connect(copyShortcut, &QShortcut::activated, this, &TemplateCheckDialog::copy);
}

TemplateCheckDialog::~TemplateCheckDialog()
{
    if (thread)
        thread->wait();
}

TemplateCheckDialog* TemplateCheckDialog::checkSelected(QWidget* parent, const TemplateList& catalogue,
                                                        const QItemSelectionModel* selection,
                                                        const QString& samplePath)
{
    QSet<int> rows;
    if (selection) {
        for (const QModelIndex& index : selection->selectedIndexes())
            rows.insert(index.row());
        if (rows.isEmpty() && selection->currentIndex().isValid())
            rows.insert(selection->currentIndex().row());
    }
    const QVector<CheckedTemplate> all = TemplateChecker::entriesOf(catalogue, catalogue.fileName);
    QList<int> ordered = rows.values();
    std::sort(ordered.begin(), ordered.end());
    QVector<CheckedTemplate> chosen;
    for (const int row : qAsConst(ordered)) {
        if (row >= 0 && row < all.size())
            chosen.append(all.at(row));
    }
    if (chosen.isEmpty()) {
        showStatus(QStringLiteral("Проверка шаблонов: выберите шаблоны в списке шаблонов"));
        return nullptr;
    }
    auto* dialog = new TemplateCheckDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    TemplateChecker::Options options;
    options.samplePath = samplePath;
    options.limits.picturesOutsideSource = gst[stRunPicturesOutsideSource].toBool();
    dialog->start(chosen, options);
    dialog->show();
    return dialog;
}

void TemplateCheckDialog::start(const QVector<CheckedTemplate>& entries,
                                const TemplateChecker::Options& options)
{
    if (thread)
        return;
    ui->summaryLabel->setText(
        options.samplePath.isEmpty()
            ? QStringLiteral("Проверка…")
            : QStringLiteral("Проверка на файле %1…").arg(QFileInfo(options.samplePath).fileName()));
    thread = QThread::create([this, entries, options] {
        QVector<TemplateCheckResult> found;
        for (const CheckedTemplate& entry : entries)
            found += TemplateChecker::check(entry, options);
        results = found;
    });
    thread->setParent(this);
    // Queries of a dry run may recurse as deep as those of a document.
    thread->setStackSize(ThreadController::workerStackSize);
    connect(thread, &QThread::finished, this, &TemplateCheckDialog::showResults);
    ThreadController::startThread(thread);
}

bool TemplateCheckDialog::isRunning() const
{
    return thread && thread->isRunning();
}

QTableWidget* TemplateCheckDialog::findingsTable() const
{
    return ui->findingsTable;
}

QTableWidget* TemplateCheckDialog::commandsTable() const
{
    return ui->commandsTable;
}

void TemplateCheckDialog::showResults()
{
    thread->wait();
    for (const TemplateCheckResult& result : qAsConst(results)) {
        for (const CheckFinding& finding : result.findings) {
            const QStringList cells{placeOf(result, finding.place),
                                    CheckReport::severityName(finding.severity), finding.message};
            appendRow(ui->findingsTable, cells);
            showStatus(QStringLiteral("Проверка шаблона: ") + cells.join(QStringLiteral(": ")));
        }
        for (const CheckedCommand& command : result.commands) {
            QStringList values;
            for (const SampleValue& sample : command.samples) {
                values << (sample.variables.isEmpty()
                               ? sample.value
                               : sample.variables + QStringLiteral(": ") + sample.value);
            }
            appendRow(ui->commandsTable,
                      {placeOf(result, command.place), command.written, command.kindName(),
                       command.command.option(QStringLiteral("query")), values.join(QStringLiteral("; "))});
        }
    }
    ui->findingsTable->resizeColumnsToContents();
    ui->commandsTable->resizeColumnsToContents();
    const QString summary = CheckReport::summary(results);
    ui->summaryLabel->setText(summary);
    showStatus(QStringLiteral("Проверка шаблонов: ") + summary);
    emit checkFinished();
}

QString TemplateCheckDialog::selectedText() const
{
    const QTableWidget* table = ui->tabs->currentIndex() == 0 ? ui->findingsTable : ui->commandsTable;
    QSet<int> selected;
    for (const QModelIndex& index : table->selectionModel()->selectedIndexes())
        selected.insert(index.row());
    QStringList lines;
    QStringList header;
    for (int column = 0; column < table->columnCount(); ++column)
        header << table->horizontalHeaderItem(column)->text();
    lines << header.join(QLatin1Char('\t'));
    for (int row = 0; row < table->rowCount(); ++row) {
        if (!selected.isEmpty() && !selected.contains(row))
            continue;
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void TemplateCheckDialog::copy()
{
    QApplication::clipboard()->setText(selectedText());
}
