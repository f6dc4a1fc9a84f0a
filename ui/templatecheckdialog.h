#pragma once

#include "templatechecker.h"

#include <QDialog>
#include <QVector>

#include <memory>

class QItemSelectionModel;
class QTableWidget;
class QThread;
class TemplateList;

namespace Ui {
class TemplateCheckDialog;
}

// The findings of a template check in the window: a table of place,
// severity and message, and one of the commands with, after a dry run on a
// sample file, their results; both can be copied. The check runs on a
// thread of its own, and its outcome also goes to the log.
class TemplateCheckDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TemplateCheckDialog(QWidget* parent = nullptr);
    ~TemplateCheckDialog() override;

    // Opens a dialog that checks the catalogue rows selected in `selection`
    // (the current row when none is), with a dry run on `samplePath` unless
    // it is empty. Null, with a line in the log, when no row is chosen.
    static TemplateCheckDialog* checkSelected(QWidget* parent, const TemplateList& catalogue,
                                              const QItemSelectionModel* selection,
                                              const QString& samplePath);

    void start(const QVector<CheckedTemplate>& entries, const TemplateChecker::Options& options);
    bool isRunning() const;
    QTableWidget* findingsTable() const;
    QTableWidget* commandsTable() const;
    // The selected rows of the shown table (all when none is selected) as
    // tab-separated lines under the column names.
    QString selectedText() const;

public slots:
    void copy();

signals:
    void checkFinished();

private:
    void showResults();

    std::unique_ptr<Ui::TemplateCheckDialog> ui;
    QThread* thread = nullptr;
    // Written by the check's thread before it finishes, read afterwards.
    QVector<TemplateCheckResult> results;
};
