#include "filelist.h"

#include "globals.h"
#include "queryproc.h"
#include "remotejobs.h"
#include "status.h"
#include "templatelist.h"
#include "threadcontroller.h"
#include "threadworker.h"
#include "workeroptions.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QTemporaryFile>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include <sys/stat.h>

QStringList FileList::columnTitles()
{
    return {QStringLiteral("Исходный файл"),        QStringLiteral("Размер"),
            QStringLiteral("Тип файла"),            QStringLiteral("Шаблон документа"),
            QStringLiteral("Формируемый документ"), QStringLiteral("Текст ошибки")};
}

FileList::FileList(QObject* parent) : QObject(parent), columns(columnTitles())
{
    qRegisterMetaType<ProcessingStepType>();
    qRegisterMetaType<FileItem*>();
    QueryProc::prepareForThreads();
}

FileList::~FileList()
{
    stopAndWait();
    qDeleteAll(topItems);
}

int FileList::runningWorkerCount() const
{
    return controller ? controller->runningWorkerCount() : 0;
}

void FileList::stopAndWait()
{
    interrupted.storeRelease(1);
    queuedStep = psNone;
    // Worker threads waiting for worker processes are released first.
    if (remote)
        remote->stop();
    if (controller) {
        controller->abortAndWait();
        delete controller;
        controller = nullptr;
    }
    remote.reset();
    remoteCatalogue.reset();
    processing.storeRelease(0);
}

// Names are compared without regard to case, but on a case-sensitive file
// system "inv.xml" and "INV.xml" can be two files, and dropping one as a
// duplicate would silently leave it unprocessed.
bool FileList::sameFileName(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    if (a.compare(b, Qt::CaseInsensitive) != 0)
        return false;
    struct stat first;
    struct stat second;
    if (::stat(QFile::encodeName(a).constData(), &first) != 0
        || ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return true;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool FileList::containsFileName(const QString& fileName) const
{
    for (const FileItem* item : topItems) {
        if (sameFileName(item->sourceFileName(true), fileName))
            return true;
    }
    return false;
}

QStringList FileList::newFileNames(const QStringList& fileNames) const
{
    // Names by their case-folded form, so that a long list is searched once
    // per name, not scanned.
    QMultiHash<QString, QString> known;
    for (const FileItem* item : topItems) {
        const QString name = item->sourceFileName(true);
        known.insert(name.toCaseFolded(), name);
    }
    QStringList fresh;
    for (const QString& name : fileNames) {
        const QString folded = name.toCaseFolded();
        const QList<QString> alike = known.values(folded);
        const bool present = std::any_of(alike.cbegin(), alike.cend(),
                                         [&](const QString& other) { return sameFileName(other, name); });
        if (present)
            continue;
        known.insert(folded, name);
        fresh << name;
    }
    return fresh;
}

void FileList::appendItems(const QStringList& fileNames)
{
    for (const QString& fileName : fileNames) {
        FileItem* item;
        if (fileName.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
            item = new XmlFileItem(fileName, nullptr, false);
        else if (fileName.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
            item = new ZipFileItem(fileName, nullptr);
        else
            item = new FileItem(fileName, nullptr, false);
        topItems.append(item);
    }
}

void FileList::addFileName(const QString& fileName)
{
    addFileNames({fileName});
}

void FileList::addFileNames(const QStringList& fileNames)
{
    const QStringList fresh = newFileNames(fileNames);
    if (fresh.isEmpty())
        return;
    const int first = topItems.size();
    const int last = first + fresh.size() - 1;
    emit filesAboutToBeInserted(first, last, nullptr);
    appendItems(fresh);
    emit filesInserted(first, last, nullptr);
}

void FileList::removeRows(int first, int last)
{
    // Items a worker may hold are never destroyed during a run.
    if (isProcessing())
        return;
    first = qMax(0, first);
    last = qMin(last, topItems.size() - 1);
    if (first > last)
        return;
    emit filesRemoveStart(first, last, nullptr);
    for (int row = last; row >= first; --row)
        delete topItems.takeAt(row);
    emit filesRemoveEnd();
}

void FileList::clearErrors()
{
    for (int row = 0; row < topItems.size(); ++row) {
        topItems.at(row)->clearErrors();
        emit rowChanged(row, nullptr);
    }
}

int FileList::itemRow(const FileItem* item) const
{
    if (!item)
        return -1;
    if (const FileItem* parent = item->parentItem())
        return parent->indexOfChild(item);
    return topItems.indexOf(const_cast<FileItem*>(item));
}

void FileList::notifyRowChanged(FileItem* item)
{
    emit rowChanged(itemRow(item), item->parentItem());
}

void FileList::getItems(QList<FileItem*>& list, FileItem* startItem) const
{
    const QList<FileItem*> level = startItem ? startItem->childItems() : topItems;
    for (FileItem* item : level) {
        list.append(item);
        getItems(list, item);
    }
}

void FileList::getZipItems(QList<FileItem*>& list) const
{
    for (FileItem* item : topItems) {
        if (dynamic_cast<ZipFileItem*>(item))
            list.append(item);
    }
}

void FileList::getXmlItems(QList<FileItem*>& list, XmlItemFilter filter, FileItem* startItem) const
{
    const QList<FileItem*> level = startItem ? startItem->childItems() : topItems;
    for (FileItem* item : level) {
        if (const auto* xml = dynamic_cast<XmlFileItem*>(item)) {
            const bool hasTemplate = xml->templateItem() != nullptr;
            const bool withLinks = filter.testFlag(IncludeLinks);
            const bool withoutTemplate = filter.testFlag(IncludeWithoutTemplate);
            const bool take = xml->isLink() ? (hasTemplate ? withLinks : withLinks && withoutTemplate)
                                            : (hasTemplate || withoutTemplate);
            if (take)
                list.append(item);
        }
        getXmlItems(list, filter, item);
    }
}

QList<FileItem*> FileList::itemsForStep(ProcessingStepType step) const
{
    QList<FileItem*> candidates;
    QList<FileItem*> chosen;
    switch (step) {
    case psUnzip:
        getZipItems(candidates);
        for (FileItem* item : qAsConst(candidates)) {
            if (item->state() == stateNew)
                chosen.append(item);
        }
        break;
    case psDetectTemplate:
    case psDetectDestBase:
        getXmlItems(candidates, IncludeWithoutTemplate);
        for (FileItem* item : qAsConst(candidates)) {
            if (item->isLink() || item->realItem()->isRemoved())
                continue;
            const bool needed = step == psDetectTemplate ? item->state() <= stateUnpacked
                                                         : static_cast<XmlFileItem*>(item)->destBase().isEmpty();
            if (needed)
                chosen.append(item);
        }
        break;
    case psTransform:
        getXmlItems(candidates, IncludeLinks);
        for (FileItem* item : qAsConst(candidates)) {
            if (!item->realItem()->isRemoved() && item->state() <= stateRecognized)
                chosen.append(item);
        }
        break;
    case psNone:
        break;
    }
    return chosen;
}

QList<XmlFileItem*> FileList::xmlFiles() const
{
    QList<FileItem*> found;
    getXmlItems(found, IncludeWithoutTemplate);
    QList<XmlFileItem*> files;
    for (FileItem* item : qAsConst(found))
        files << static_cast<XmlFileItem*>(item);
    return files;
}

void FileList::addTemplate(TemplateItem* item)
{
    if (!item || isProcessing())
        return;
    for (XmlFileItem* xml : xmlFiles()) {
        if (xml->containsTemplate(item))
            continue;
        // A file without links takes the template itself; a file with its
        // own template gets two links (its own and the new one); a file with
        // links gets one more.
        const int before = xml->childCount();
        const int added = before > 0 ? 1 : (xml->templateItem() ? 2 : 0);
        if (added > 0)
            emit filesAboutToBeInserted(before, before + added - 1, xml);
        xml->addTemplate(item);
        if (added > 0)
            emit filesInserted(before, before + added - 1, xml);
        notifyRowChanged(xml);
    }
}

void FileList::removeTemplate(TemplateItem* item)
{
    if (!item || isProcessing())
        return;
    for (XmlFileItem* xml : xmlFiles()) {
        const int children = xml->childCount();
        const int index = xml->indexOfTemplate(item);
        if (index < 0)
            continue;
        if (children == 2)
            emit filesRemoveStart(0, 1, xml);
        else if (children > 2)
            emit filesRemoveStart(index, index, xml);
        xml->removeTemplate(item);
        if (children > 1)
            emit filesRemoveEnd();
        notifyRowChanged(xml);
    }
}

void FileList::startProcessFiles(ProcessingStepType maxStep)
{
    if (isProcessing()) {
        queuedStep = qMax(queuedStep, maxStep);
        return;
    }
    processing.storeRelease(1);
    interrupted.storeRelease(0);
    runUnzipParams = nextUnzipParams;
    runTransformParams = nextTransformParams;
    runTransformParams.templateList = catalogue;
    runTransformParams.remote = nullptr;
    runDetectParams = DetectParams();
    runDetectParams.templateList = catalogue;
    runDetectParams.detectDest = nextTransformParams.useDestBase;
    runDestBaseParams = DestBaseParams();
    runDestBaseParams.templateList = catalogue;
    maxProcStep = maxStep;
    currentStep = psNone;
    emit processingStarted();
    QTimer::singleShot(0, this, &FileList::runNextProcStep);
}

void FileList::interruptProcessing()
{
    interrupted.storeRelease(1);
    if (controller)
        controller->stopAllWork();
    // What runs in worker processes ends now, whatever a query is doing;
    // the items in flight keep the state they had.
    if (remote)
        remote->stop();
}

void FileList::startRemoteJobs()
{
    if (remote || workerProgramPath.isEmpty() || !catalogue)
        return;
    // The catalogue as the window holds it, saved or not; it does not
    // change while a run goes on, so indices mean the same on both sides.
    remoteCatalogue = std::make_unique<QTemporaryFile>();
    if (!remoteCatalogue->open() || !catalogue->write(*remoteCatalogue) || !remoteCatalogue->flush()) {
        remoteCatalogue.reset();
        return;
    }
    WorkerOptions options;
    options.resourceFolders = globalResourcePaths();
    options.resourceFoldersComplete = true;
    options.catalogueFile = remoteCatalogue->fileName();
    options.format = runTransformParams.format;
    options.rename = runTransformParams.useDestBase;
    options.overwrite = runTransformParams.overwrite;
    options.limits = runTransformParams.limits;
    options.pdf = runTransformParams.pdf;
    options.pdfTimeLimit = timeLimitSeconds;
    options.showPath = globalShowPath() ? WorkerOptions::ShowPath::Yes : WorkerOptions::ShowPath::No;
    remoteProcesses = parallel ? qMax(1, QThread::idealThreadCount()) : 1;
    remote = std::make_unique<RemoteJobs>(workerProgramPath, options.arguments(), remoteProcesses, timeLimitSeconds);
}

void FileList::cancelQueuedRun()
{
    queuedStep = psNone;
}

void FileList::startQueuedRun()
{
    if (isProcessing() || queuedStep == psNone)
        return;
    const ProcessingStepType step = queuedStep;
    queuedStep = psNone;
    startProcessFiles(step);
}

void FileList::runNextProcStep()
{
    if (!isProcessing())
        return;
    if (controller) {
        controller->deleteLater();
        controller = nullptr;
    }
    emit procStepFinished(currentStep);
    if (interrupted.loadAcquire() || currentStep >= maxProcStep) {
        remote.reset();
        remoteCatalogue.reset();
        processing.storeRelease(0);
        emit processingFinished();
        if (queuedStep != psNone)
            QTimer::singleShot(0, this, &FileList::startQueuedRun);
        return;
    }

    currentStep = static_cast<ProcessingStepType>(currentStep + 1);
    void* params = nullptr;
    WorkerFactory factory = nullptr;
    bool runs = true;
    switch (currentStep) {
    case psUnzip:
        params = &runUnzipParams;
        factory = &UnzipWorker::newWorker;
        break;
    case psDetectTemplate:
        params = &runDetectParams;
        factory = &DetectWorker::newWorker;
        break;
    case psDetectDestBase:
        runs = runTransformParams.useDestBase;
        params = &runDestBaseParams;
        factory = &DestBaseWorker::newWorker;
        break;
    case psTransform:
        params = &runTransformParams;
        factory = &TransformWorker::newWorker;
        break;
    case psNone:
        runs = false;
        break;
    }

    const QList<FileItem*> stepItems = runs ? itemsForStep(currentStep) : QList<FileItem*>();
    if (stepItems.isEmpty()) {
        QTimer::singleShot(0, this, &FileList::runNextProcStep);
        return;
    }
    if (currentStep != psUnzip) {
        startRemoteJobs();
        runDetectParams.remote = runDestBaseParams.remote = runTransformParams.remote = remote.get();
    }
    controller = new ThreadController(stepItems, params, factory, parallel, this);
    // A thread that hands its item to a worker process only waits: two per
    // process keep each process fed with the next item while it works.
    if (remote && currentStep != psUnzip)
        controller->setMaxThreads(2 * remoteProcesses);
    stepDone = 0;
    stepTotal = stepItems.size();
    emit procStepStarted(currentStep, stepTotal);
    connect(controller, &ThreadController::itemChanged, this, [this] { emit procStepProgress(++stepDone, stepTotal); });
    connect(controller, &ThreadController::allWorkFinished, this, &FileList::runNextProcStep);
    if (currentStep == psUnzip)
        connect(controller, &ThreadController::itemChanged, this, &FileList::itemChangedNewSubs);
    else
        connect(controller, &ThreadController::itemChanged, this, &FileList::itemChanged);
    controller->startAllWork();
}

void FileList::itemChangedNewSubs(FileItem* item)
{
    auto* zip = dynamic_cast<ZipFileItem*>(item);
    const int count = zip ? zip->unpackedItemCount() : 0;
    if (count > 0) {
        const int first = zip->childCount();
        emit filesAboutToBeInserted(first, first + count - 1, zip);
        zip->attachUnpacked();
        emit filesInserted(first, first + count - 1, zip);
    }
    if (item)
        emit itemChanged(item);
}

bool FileList::save(const QString& fileName, bool saveColumnNames) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    if (saveColumnNames)
        stream << columns.join(QLatin1Char('\t')) << '\n';
    save(stream, nullptr);
    // A full disk shows only when the buffered text reaches the file.
    stream.flush();
    return stream.status() == QTextStream::Ok && file.flush() && file.error() == QFileDevice::NoError;
}

void FileList::save(QTextStream& textStream, FileItem* startItem) const
{
    const QList<FileItem*> level = startItem ? startItem->childItems() : topItems;
    for (FileItem* item : level) {
        textStream << item->reportLine() << '\n';
        if (item->childCount() > 0)
            save(textStream, item);
    }
}

namespace {

// Removes the folders below and including `folder` that are empty, deepest
// first; a folder that still holds anything (the user's own files) stays.
void removeEmptyFolders(const QString& folder)
{
    QDir dir(folder);
    const QStringList subFolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& sub : subFolders)
        removeEmptyFolders(dir.filePath(sub));
    if (dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        QDir().rmdir(folder);
}

} // namespace

void FileList::deleteUnzipedFiles()
{
    if (currentStep != psTransform)
        return;
    QList<FileItem*> archives;
    getZipItems(archives);
    for (FileItem* fileItem : qAsConst(archives)) {
        auto* zip = static_cast<ZipFileItem*>(fileItem);
        QList<FileItem*> unpacked;
        getItems(unpacked, zip);
        const QStringList written = zip->unpackedFiles();
        int removedCount = 0;
        for (FileItem* item : qAsConst(unpacked)) {
            // A file that was there before the archive was unpacked is the user's.
            if (!item->isLink() && !written.contains(item->sourceFileName(true)))
                continue;
            if (item->remove())
                ++removedCount;
            emit itemChanged(item);
        }
        // Only what the archive put there goes: the unpack folder may also
        // hold files of the user's own, which must survive.
        bool leftovers = false;
        for (const QString& file : written) {
            if (QFileInfo::exists(file) && !QFile::remove(file))
                leftovers = true;
        }
        const QString folder = zip->unzipFolder();
        if (QDir(folder).exists())
            removeEmptyFolders(folder);
        if (leftovers)
            zip->appendErrorText(QStringLiteral("Ошибка удаления папки: %1 ").arg(QDir::toNativeSeparators(folder)));
        if (removedCount > 0) {
            showStatus(QStringLiteral("Успешно удалено %1 файлов, ранее распакованных из архива %2")
                           .arg(removedCount)
                           .arg(shownFileName(zip->sourceFileName(true))));
        }
    }
}
