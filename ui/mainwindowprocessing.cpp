// The window's commands that feed and drive the processing list.
#include "mainwindow.h"

#include "filemodel.h"
#include "globals.h"
#include "settingscatalogue.h"
#include "settingsdialog.h"
#include "settingsgroup.h"
#include "simpletablelistmodel.h"
#include "status.h"
#include "xmlfileitem.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <vector>

namespace {

const QString productName = QStringLiteral("Плинтворкс");

// Whether a file can be written, without changing it: an existing file is
// opened for appending and closed again; for a missing one, a scratch file
// is made in its folder and removed.
bool canWrite(const QString& fileName)
{
    if (fileName.isEmpty())
        return false;
    const QFileInfo info(fileName);
    if (info.exists()) {
        if (!info.isFile())
            return false;
        QFile file(fileName);
        return file.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.write-check-XXXXXX"));
    return probe.open();
}

} // namespace

void MainWindow::addFileNames(const QStringList& names)
{
    for (const QString& name : names) {
        if (name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)
            || name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
            pendingFileNames << QDir::fromNativeSeparators(name);
    }
    if (pendingFileNames.isEmpty())
        return;
    const QFileInfo last(pendingFileNames.last());
    const QString folder = QFileInfo(last.absolutePath()).canonicalFilePath();
    if (!folder.isEmpty())
        lastPath = folder;
    if (!startScheduled) {
        startScheduled = true;
        QTimer::singleShot(0, this, &MainWindow::startPendingFiles);
    }
}

void MainWindow::startPendingFiles()
{
    startScheduled = false;
    // Nothing new starts once the user has chosen to quit.
    if (pendingFileNames.isEmpty() || closing)
        return;
    QStringList names;
    names.swap(pendingFileNames);
    fileList.addFileNames(names);
    updateWindowTitle();
    const bool autoUnzip = gst[stRunAutoUnzip].toBool();
    const bool autoDetect = gst[stRunAutoDetect].toBool();
    if (autoUnzip || autoDetect) {
        initProcessing();
        fileList.startProcessFiles(autoDetect ? psDetectTemplate : psUnzip);
    }
}

void MainWindow::addFiles()
{
    if (fileList.isProcessing())
        return;
    const QStringList names = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Выбор исходных файлов"), lastPath,
        QStringLiteral("Файлы XML, ZIP (*.xml *.zip);;Только файлы XML (*.xml);;Только файлы ZIP (*.zip)"));
    if (!names.isEmpty())
        addFileNames(names);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    const QRect viewRect(fileView->mapToGlobal(QPoint(0, 0)), fileView->size());
    if (event->mimeData()->hasUrls() && currentView == fileView && viewRect.contains(mapToGlobal(event->pos())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    QStringList names;
    for (const QUrl& url : event->mimeData()->urls())
        names << url.toLocalFile();
    addFileNames(names);
    event->acceptProposedAction();
}

void MainWindow::initProcessing()
{
    UnzipParams unzip = fileList.unzipParams();
    unzip.includeMask = UnzipParams::wholeNameMask(gst[stUnzipIncludeMask].toString());
    unzip.excludeMask = UnzipParams::wholeNameMask(gst[stUnzipExcludeMask].toString());
    unzip.recursive = gst[stUnzipRecursive].toBool();
    unzip.removeInternalZips = gst[stUnzipRemoveInternalZips].toBool();
    fileList.setUnzipParams(unzip);
    fileList.setParallel(gst[stRunParallel].toBool());
    TransformParams transform = fileList.transformParams();
    const int format = gst[stRunDocumentFormat].toInt();
    transform.format = format == 0 ? QStringLiteral("docx") : format == 1 ? QStringLiteral("odt") : QStringLiteral("rtf");
    transform.useDestBase = gst[stRunRenameDest].toBool();
    transform.overwrite = gst[stRunOverwrite].toBool();
    transform.openDocument = gst[stRunOpenDocument].toBool();
    transform.limits.picturesOutsideSource = gst[stRunPicturesOutsideSource].toBool();
    transform.limits.maxRepeat = qMax(0, gst[stRunMaxRepeat].toInt());
    // Without LibreOffice the box is disabled, and a stored choice waits for it.
    transform.pdf = gst[stRunSavePdf].toBool() && SettingsDialog::pdfAvailable() ? PdfOutput::Beside : PdfOutput::None;
    fileList.setTransformParams(transform);
    fileList.setTimeLimit(gst[stRunTimeLimit].toInt());
}

void MainWindow::startProcessing()
{
    if (fileList.items().isEmpty())
        return;
    initProcessing();
    fileList.startProcessFiles(psTransform);
    showStatus(QStringLiteral("ЗАПУЩЕН процесс обработки файлов"));
}

void MainWindow::stopProcessing()
{
    if (!fileList.isProcessing())
        return;
    showStatus(QStringLiteral("Отправлен запрос на прерывание обработки файлов"));
    fileList.interruptProcessing();
}

void MainWindow::endProcessing()
{
    if (fileList.lastStep() <= psDetectDestBase)
        return;
    if (gst[stRunDeleteUnziped].toBool())
        fileList.deleteUnzipedFiles();
    showStatus(QStringLiteral("ЗАВЕРШЕН процесс обработки файлов"));
}

void MainWindow::deleteSelected()
{
    const QItemSelectionModel* selection = fileView->selectionModel();
    if (fileList.items().isEmpty() || !selection->hasSelection() || fileList.isProcessing())
        return;
    const int rows = fileList.items().size();
    int first = 0;
    while (first < rows && !selection->rowIntersectsSelection(first, QModelIndex()))
        ++first;
    if (first == rows)
        return;
    int last = first;
    while (last + 1 < rows && selection->rowIntersectsSelection(last + 1, QModelIndex()))
        ++last;

    fileList.removeRows(first, last);
    const int remaining = fileList.items().size();
    if (remaining > 0) {
        const QModelIndex next = fileModel->index(qMin(first, remaining - 1), 0);
        fileView->selectionModel()->select(next, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        fileView->selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
    }
    updateWindowTitle();
}

void MainWindow::addTemplate()
{
    fileList.addTemplate(templateList.getItem(templateCombo->currentIndex()));
    fileView->expandAll();
}

void MainWindow::removeTemplate()
{
    fileList.removeTemplate(templateList.getItem(templateCombo->currentIndex()));
}

void MainWindow::currentChanged(const QModelIndex& current, const QModelIndex&)
{
    if (current.column() != colTemplate)
        return;
    const auto* xml = dynamic_cast<const XmlFileItem*>(FileModel::itemOf(current));
    if (!xml)
        return;
    templateCombo->setCurrentIndex(templateList.indexOf(xml->templateItem()));
}

void MainWindow::updateSettings(int value)
{
    if (sender() == formatCombo)
        gst[stRunDocumentFormat] = value;
    else
        gst.readFromWidget(settingsToolBar, runSettingsKeys);
    gst.group(sgRunSettings).writeSettings();
}

void MainWindow::settingsDialog()
{
    {
        SettingsDialog dialog(this, -1, false);
        dialog.exec();
    }
    setGlobalShowPath(gst[stShowPath].toBool());
    setGlobalShowNames(gst[stShowNames].toBool());
    updateInterface();
    updateWindowTitle();
    {
        // Showing the stored values is no change of the user's: the boxes
        // must not store back, one by one, values not yet shown.
        std::vector<QSignalBlocker> quiet;
        for (QAbstractButton* box : settingsToolBar->findChildren<QAbstractButton*>())
            quiet.emplace_back(box);
        gst.group(sgRunSettings).writeToWidget(settingsToolBar, runSettingsKeys);
    }
    applyTemplateColumn();
    // File names and template names may be shown differently now.
    fileView->viewport()->update();
}

void MainWindow::save()
{
    if (currentView == templateView)
        saveTemplateList();
    else
        saveFileList();
}

void MainWindow::saveFileList()
{
    const QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить список обработки файлов"),
                                                          lastPath, QStringLiteral("Файлы TXT (*.txt)"));
    if (fileName.isEmpty())
        return;
    if (fileList.save(fileName, false))
        showStatus(QStringLiteral("Список обработки сохранен в файл: %1").arg(shownFileName(fileName)));
    else
        showStatus(QStringLiteral("Ошибка сохранения списка обработки в файл: %1").arg(shownFileName(fileName)));
}

void MainWindow::saveTemplateList()
{
    SimpleListContainer* list = templateModel->list();
    if (!list)
        return;
    const QString title = viewGroup->checkedAction()->text();
    QString target = list->fileName.isEmpty()
                         ? writableInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName)
                         : list->fileName;
    if (!canWrite(target)) {
        const auto answer = QMessageBox::question(
            this, productName,
            QStringLiteral("Общая папка ресурсов не доступна для записи!\nЗаписать в папке ресурсов текущего пользователя?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            target = writableInResource(QStringLiteral("Settings"), target);
    }
    if (list->save(target)) {
        showStatus(QStringLiteral("Список %1 сохранен в файл: %2").arg(title, shownFileName(target)));
        updateWindowTitle();
    } else {
        showStatus(QStringLiteral("Ошибка сохранения списка %1 в файл: %2").arg(title, shownFileName(target)));
    }
}
