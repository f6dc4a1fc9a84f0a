#include "runsummary.h"

#include "filelist.h"
#include "runprogressindicator.h"
#include "settingscatalogue.h"
#include "settingsgroup.h"
#include "xmlfileitem.h"

#include <QApplication>
#include <QColor>
#include <QSet>
#include <QStatusBar>

RunSummary::RunSummary(FileList* list, QWidget* parent) : QLabel(parent), list(list)
{
    setObjectName(QStringLiteral("runSummary"));
    connect(list, &FileList::processingStarted, this, &RunSummary::runStarted);
    connect(list, &FileList::processingFinished, this, &RunSummary::runFinished);
    hide();
}

QString RunSummary::countText(int count, const QString& one, const QString& few, const QString& many)
{
    const int lastTwo = count % 100;
    const int last = count % 10;
    const QString& word = lastTwo >= 11 && lastTwo <= 14 ? many : last == 1 ? one : last >= 2 && last <= 4 ? few : many;
    return QStringLiteral("%1 %2").arg(count).arg(word);
}

QString RunSummary::summaryText(int documents, int filesWithErrors, qint64 msecs, bool stopped)
{
    const QString made = countText(documents, QStringLiteral("документ"), QStringLiteral("документа"),
                                   QStringLiteral("документов"));
    const QString errors = filesWithErrors == 0
                               ? QStringLiteral("ошибок нет")
                               : countText(filesWithErrors, QStringLiteral("файл"), QStringLiteral("файла"),
                                           QStringLiteral("файлов"))
                                     + QStringLiteral(" с ошибками");
    return QStringLiteral("%1: %2 за %3, %4")
        .arg(stopped ? QStringLiteral("Остановлено") : QStringLiteral("Готово"), made,
             RunProgressIndicator::clockText(msecs), errors);
}

int RunSummary::documentCount() const
{
    QList<FileItem*> items;
    list->getItems(items);
    int count = 0;
    for (const FileItem* item : items) {
        if (dynamic_cast<const XmlFileItem*>(item) && item->state() == stateGenerated)
            ++count;
    }
    return count;
}

int RunSummary::filesWithErrors() const
{
    // A file counts once, whichever of its entries failed.
    QList<FileItem*> items;
    list->getItems(items);
    QSet<const FileItem*> failed;
    for (const FileItem* item : items) {
        if (item->hasError())
            failed.insert(item->realItem());
    }
    return failed.size();
}

void RunSummary::runStarted()
{
    clock.start();
    documentsBefore = documentCount();
    hide();
}

void RunSummary::runFinished()
{
    const bool stopped = list->wasInterrupted();
    if (list->lastStep() >= psTransform || stopped) {
        const int errors = filesWithErrors();
        setText(summaryText(documentCount() - documentsBefore, errors, clock.elapsed(), stopped));
        QPalette colours = parentWidget() ? parentWidget()->palette() : QApplication::palette();
        const QColor errorColour = gst.value(stColorError).value<QColor>();
        if (errors > 0 && errorColour.isValid())
            colours.setColor(QPalette::WindowText, errorColour);
        setPalette(colours);
        if (QWidget* top = window(); top && !top->isActiveWindow())
            QApplication::alert(top);
    }
    if (!hasSummary())
        return;
    // The toolkit's status bar hides its widgets while a message is shown.
    if (auto* bar = qobject_cast<QStatusBar*>(parentWidget()))
        bar->clearMessage();
    show();
}
