#include "batchrunner.h"

#include "filelist.h"
#include "globals.h"
#include "libreofficeinstallation.h"
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "pathlist.h"
#include "status.h"
#include "templatelist.h"
#include "terminationsignals.h"
#include "workerpool.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

namespace {

const int allOperations = WorkerJob::Detect | WorkerJob::NameBase | WorkerJob::Transform;

bool isXmlName(const QString& name)
{
    return name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive);
}

bool isZipName(const QString& name)
{
    return name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

// The XML files of a top-level item: the item itself, or what an archive
// unpacked.
QList<XmlFileItem*> xmlFilesOf(const FileList& list, FileItem* entry)
{
    if (auto* xml = dynamic_cast<XmlFileItem*>(entry))
        return {xml};
    QList<FileItem*> found;
    list.getXmlItems(found, FileList::IncludeWithoutTemplate, entry);
    QList<XmlFileItem*> files;
    for (FileItem* item : qAsConst(found)) {
        if (!item->isLink())
            files << static_cast<XmlFileItem*>(item);
    }
    return files;
}

} // namespace

BatchRunner::BatchRunner(const BatchOptions& options, QObject* parent)
    : QObject(parent), options(options), report(options.reportFile, options.reportFormat)
{
}

void BatchRunner::printError(const QString& text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

bool BatchRunner::collectFiles(PathList* paths, int* listed)
{
    for (const QString& file : qAsConst(options.files))
        paths->append(file);
    if (!options.filesFrom.isEmpty()) {
        QFile list(options.filesFrom);
        const bool opened = options.filesFrom == QLatin1String("-") ? list.open(stdin, QIODevice::ReadOnly)
                                                                      : list.open(QIODevice::ReadOnly);
        if (!opened || !paths->read(list, options.nulSeparated ? '\0' : '\n')) {
            printError(QStringLiteral("Не удалось прочитать список файлов: %1").arg(options.filesFrom));
            return false;
        }
    }
    *listed = paths->size();
    if (!options.shard.isWhole())
        paths->keepOnly([this](const QString& path) { return options.shard.contains(path); });
    paths->removeDuplicates();
    return true;
}

bool BatchRunner::loadCatalogue(TemplateList& catalogue)
{
    const QString cataloguePath = locateInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName);
    if (cataloguePath.isEmpty() || !catalogue.load(cataloguePath)) {
        printError(QStringLiteral("Ошибка! Не удалось загрузить список шаблонов: %1 в папке Settings ресурсов")
                       .arg(TemplateList::catalogueFileName));
        return false;
    }
    for (const QString& problem : TemplateList::unusableLines(cataloguePath))
        printError(problem);
    return true;
}

void BatchRunner::configure(FileList& list, TemplateList& catalogue) const
{
    list.setTemplateList(&catalogue);
    list.setParallel(!options.sequential);
    UnzipParams unzip;
    unzip.includeMask = UnzipParams::wholeNameMask(options.includeMask);
    unzip.excludeMask = UnzipParams::wholeNameMask(options.excludeMask);
    unzip.recursive = options.unzipRecursive;
    unzip.removeInternalZips = false;
    list.setUnzipParams(unzip);
    TransformParams transform;
    transform.format = options.format;
    transform.useDestBase = options.rename;
    transform.overwrite = options.overwrite;
    transform.openDocument = false;
    list.setTransformParams(transform);
}

void BatchRunner::reportProgress(const SourceOutcome& outcome)
{
    ++transformDone;
    // The PDF lies beside the document: its name alone says enough.
    QString documents = outcome.documents.value(0);
    for (int i = 1; i < outcome.documents.size(); ++i)
        documents += QStringLiteral(", ") + QFileInfo(outcome.documents.at(i)).fileName();
    QString text;
    switch (outcome.state) {
    case SourceOutcome::State::Made:
        text = QStringLiteral("→ ") + documents;
        break;
    case SourceOutcome::State::Skipped:
        ++documentsSkipped;
        text = QStringLiteral("пропущен: документ уже есть: ") + documents;
        break;
    case SourceOutcome::State::NoTemplate:
        text = QStringLiteral("→ документ не сформирован: не найден подходящий шаблон");
        break;
    default:
        // A document whose PDF could not be made is there all the same.
        text = documents.isEmpty() ? QStringLiteral("→ документ не сформирован") : QStringLiteral("→ ") + documents;
        break;
    }
    if (!documents.isEmpty() && outcome.state != SourceOutcome::State::Skipped)
        ++documentsMade;
    printError(QStringLiteral("[%1/%2] %3 %4").arg(transformDone).arg(transformTotal).arg(outcome.source, text));
}

void BatchRunner::addOutcome(const FileItem* entry, const SourceOutcome& outcome)
{
    reportProgress(outcome);
    if (!outcome.isDone())
        ++failures;
    openEntries[entry].outcomes << outcome;
}

void BatchRunner::endEntry(const FileItem* entry)
{
    // An archive's own errors (an entry too large to unpack) count even when
    // all its files got their documents.
    if (entry->hasError() && dynamic_cast<const ZipFileItem*>(entry))
        ++failures;
    report.add(*entry, openEntries.take(entry).outcomes);
}

// One slice of the files: its items and how many of its files are in the pool.
struct BatchRunner::Slice
{
    FileList list;
    int pendingJobs = 0;
    // The names its entries were given as: a file that does not exist has
    // an item without one.
    QHash<const FileItem*, QString> givenNames;

    QString nameOf(const FileItem& item) const { return givenNames.value(&item, item.sourceFileName(true)); }
};

void BatchRunner::submitJobs(Slice& slice, TemplateList& catalogue, WorkerPool& pool)
{
    const QList<FileItem*>& entries = slice.list.items();
    QVector<QList<XmlFileItem*>> files;
    for (FileItem* entry : entries) {
        files << xmlFilesOf(slice.list, entry);
        // An archive counted as one file until it was unpacked.
        if (dynamic_cast<ZipFileItem*>(entry))
            transformTotal += qMax(1, files.last().size()) - 1;
    }
    for (int i = 0; i < entries.size(); ++i) {
        FileItem* entry = entries.at(i);
        QList<WorkerJob> jobs;
        for (XmlFileItem* xml : files.at(i)) {
            if (xml->isRemoved() || xml->hasError() || xml->state() > stateRecognized) {
                addOutcome(entry, SourceOutcome::failedEntry(*xml, slice.nameOf(*xml)));
                continue;
            }
            WorkerJob job = WorkerJob::forItem(*xml, allOperations, catalogue);
            job.id = nextJobId++;
            pendingJobs.insert(job.id, {xml, &slice});
            jobs << job;
        }
        if (files.at(i).isEmpty())
            addOutcome(entry, SourceOutcome::failedEntry(*entry, slice.nameOf(*entry)));
        // The entry ends with its last job, or now when it has none.
        openEntries[entry].pending = jobs.size();
        slice.pendingJobs += jobs.size();
        if (jobs.isEmpty())
            endEntry(entry);
        for (const WorkerJob& job : qAsConst(jobs))
            pool.submit(job);
    }
}

void BatchRunner::jobEnded(int id, const WorkerResult* result, const QString& failure, TemplateList& catalogue)
{
    const PendingJob job = pendingJobs.take(id);
    XmlFileItem* xml = job.item;
    if (!xml)
        return;
    if (result) {
        result->applyTo(*xml, allOperations, catalogue);
    } else {
        // Printed at once, so that it stands before the progress line.
        xml->recordErrorText(failure);
        printError(statusLine(failure));
    }
    const FileItem* entry = xml->topLevelItem();
    addOutcome(entry, SourceOutcome::of(*xml, result != nullptr, result && result->skipped));
    if (--openEntries[entry].pending == 0)
        endEntry(entry);
    if (--job.slice->pendingJobs == 0 && job.slice == awaited && waitLoop)
        waitLoop->quit();
}

std::unique_ptr<BatchRunner::Slice> BatchRunner::startSlice(const PathList& paths, int* next,
                                                            TemplateList& catalogue, TemplateItem* fixedTemplate,
                                                            WorkerPool& pool)
{
    if (*next >= paths.size())
        return nullptr;
    auto slice = std::make_unique<Slice>();
    configure(slice->list, catalogue);
    QStringList names;
    bool archives = false;
    const int end = qMin(paths.size(), *next + sliceSize);
    for (; *next < end; ++*next) {
        const QString name = QFileInfo(paths.at(*next)).absoluteFilePath();
        if (isXmlName(name) || isZipName(name)) {
            names << name;
            archives = archives || isZipName(name);
        }
    }
    slice->list.addFileNames(names);
    const QList<FileItem*>& entries = slice->list.items();
    if (entries.size() == names.size()) {
        for (int i = 0; i < names.size(); ++i)
            slice->givenNames.insert(entries.at(i), names.at(i));
    }
    if (archives) {
        // Unpacking runs here; everything that runs queries runs in worker
        // processes.
        QEventLoop loop;
        connect(&slice->list, &FileList::processingFinished, &loop, &QEventLoop::quit);
        activeList = &slice->list;
        slice->list.startProcessFiles(psUnzip);
        loop.exec();
        activeList = nullptr;
    }
    if (fixedTemplate)
        slice->list.addTemplate(fixedTemplate);
    if (interruptedBy) {
        for (FileItem* entry : slice->list.items())
            openEntries[entry].outcomes << SourceOutcome::notDone(slice->nameOf(*entry));
        return slice;
    }
    // Messages of the slice so far (a file that does not exist, what was
    // unpacked) come before its progress lines.
    QCoreApplication::processEvents();
    submitJobs(*slice, catalogue, pool);
    return slice;
}

void BatchRunner::finishSlice(Slice& slice)
{
    if (slice.pendingJobs > 0 && !interruptedBy) {
        QEventLoop loop;
        awaited = &slice;
        waitLoop = &loop;
        loop.exec();
        waitLoop = nullptr;
        awaited = nullptr;
    }
    // What a stop left: the files in flight or waiting, and the entries they
    // belong to, in list order.
    for (auto it = pendingJobs.begin(); it != pendingJobs.end();) {
        if (it->slice != &slice) {
            ++it;
            continue;
        }
        const FileItem* entry = it->item->topLevelItem();
        openEntries[entry].outcomes << SourceOutcome::notDone(
            it->item->sourceFileName(true), entry != it->item ? slice.nameOf(*entry) : QString());
        it = pendingJobs.erase(it);
    }
    for (FileItem* entry : slice.list.items()) {
        if (openEntries.contains(entry)) {
            ++failures;
            report.add(*entry, openEntries.take(entry).outcomes);
        }
    }
}

void BatchRunner::interrupt(int signalNumber)
{
    interruptedBy = signalNumber;
    if (activeList)
        activeList->interruptProcessing();
    if (activePool)
        activePool->stop();
}

int BatchRunner::processAll(const PathList& paths, int listed, TemplateList& catalogue, TemplateItem* fixedTemplate)
{
    // Files neither XML nor ZIP are named once and take no part.
    int sources = 0;
    for (int i = 0; i < paths.size(); ++i) {
        const QString path = paths.at(i);
        if (isXmlName(path) || isZipName(path))
            ++sources;
        else
            printError(QStringLiteral("Пропущен файл (не XML и не ZIP): %1").arg(path));
    }
    report.begin(FileList::columnTitles());
    transformTotal = sources;
    const int processes = options.sequential ? 1 : qMin(QThread::idealThreadCount(), qMax(1, sources));
    WorkerPool pool(QCoreApplication::applicationFilePath(), options.workerOptions().arguments(), processes,
                    options.timeLimit);
    activePool = &pool;
    connect(&pool, &WorkerPool::message, this, &BatchRunner::printError);
    connect(&pool, &WorkerPool::jobDone, this,
            [&](const WorkerResult& result) { jobEnded(result.id, &result, QString(), catalogue); });
    connect(&pool, &WorkerPool::jobFailed, this,
            [&](int id, const QString& message) { jobEnded(id, nullptr, message, catalogue); });
    connect(&pool, &WorkerPool::idle, this, [this] {
        if (waitLoop)
            waitLoop->quit();
    });
    // The next slice is handed out before the one at work drains, so that
    // the workers never wait for it.
    int next = 0;
    std::unique_ptr<Slice> current = startSlice(paths, &next, catalogue, fixedTemplate, pool);
    while (current) {
        std::unique_ptr<Slice> following =
            interruptedBy ? nullptr : startSlice(paths, &next, catalogue, fixedTemplate, pool);
        finishSlice(*current);
        current = std::move(following);
    }
    if (interruptedBy && pool.hasRunningWorkers()) {
        // The workers' temporary files go with them.
        QEventLoop loop;
        connect(&pool, &WorkerPool::idle, &loop, &QEventLoop::quit);
        loop.exec();
    }
    activePool = nullptr;
    for (; next < paths.size(); ++next) {
        const QString name = QFileInfo(paths.at(next)).absoluteFilePath();
        if (isXmlName(name) || isZipName(name)) {
            report.addNotStarted(name);
            ++failures;
        }
    }
    QCoreApplication::processEvents();

    int status = failures == 0 && report.isIntact() ? 0 : 1;
    if (sources == 0) {
        // A share may be empty when the list is short: the other commands
        // have its files.
        if (listed > 0 && !options.shard.isWhole())
            printError(QStringLiteral("Этой части (--shard %1/%2) не досталось ни одного файла из %3")
                           .arg(options.shard.index())
                           .arg(options.shard.count())
                           .arg(listed));
        else
            status = 1;
    }
    if (interruptedBy) {
        QString summary = QStringLiteral("Обработка прервана (%1): сформировано документов: %2 из %3")
                              .arg(TerminationSignals::name(interruptedBy))
                              .arg(documentsMade)
                              .arg(transformTotal);
        if (documentsSkipped > 0)
            summary += QStringLiteral(", пропущено (документ уже есть): %1").arg(documentsSkipped);
        printError(summary);
        status = 128 + interruptedBy;
    }
    return status;
}

int BatchRunner::run()
{
    if (options.pdf != PdfOutput::None) {
        // Before any work: documents without the PDF asked for are of no use.
        const LibreOfficeInstallation office = LibreOfficeInstallation::find();
        if (!office.isComplete()) {
            printError(QStringLiteral("Ошибка! %1").arg(office.missingText()));
            return 2;
        }
    }
    PathList paths;
    int listed = 0;
    if (!collectFiles(&paths, &listed))
        return 2;

    MessageSenderObject sender;
    MessageHandler handler;
    connect(&sender, &MessageSenderObject::sendMessageSignal, this, &BatchRunner::printError, Qt::QueuedConnection);
    setGlobalMessageSender(&sender);
    setGlobalMessageHandler(&handler);

    int status = 1;
    {
        TemplateList catalogue;
        TerminationSignals termination;
        connect(&termination, &TerminationSignals::terminationRequested, this, &BatchRunner::interrupt);
        if (loadCatalogue(catalogue)) {
            TemplateItem* fixedTemplate = nullptr;
            if (!options.templateName.isEmpty())
                fixedTemplate = static_cast<TemplateItem*>(catalogue.itemByName(options.templateName));
            if (!options.templateName.isEmpty() && !fixedTemplate) {
                printError(QStringLiteral("Шаблон не найден в списке шаблонов: %1").arg(options.templateName));
                status = 2;
            } else {
                status = processAll(paths, listed, catalogue, fixedTemplate);
            }
        }
        QCoreApplication::processEvents();
    }
    setGlobalMessageHandler(nullptr);
    setGlobalMessageSender(nullptr);
    return status;
}
