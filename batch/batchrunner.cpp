#include "batchrunner.h"

#include "filelist.h"
#include "globals.h"
#include "libreofficeinstallation.h"
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "status.h"
#include "templatelist.h"
#include "terminationsignals.h"
#include "workerpool.h"
#include "xmlfileitem.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <cstdio>

BatchRunner::BatchRunner(const BatchOptions& options, QObject* parent) : QObject(parent), options(options)
{
}

void BatchRunner::printError(const QString& text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

bool BatchRunner::prepare(FileList& list, TemplateList& catalogue)
{
    const QString cataloguePath = locateInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName);
    if (cataloguePath.isEmpty() || !catalogue.load(cataloguePath)) {
        printError(QStringLiteral("Ошибка! Не удалось загрузить список шаблонов: %1 в папке Settings ресурсов")
                       .arg(TemplateList::catalogueFileName));
        return false;
    }
    for (const QString& problem : TemplateList::unusableLines(cataloguePath))
        printError(problem);
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

    QStringList names;
    for (const QString& file : qAsConst(options.files)) {
        const QString name = QFileInfo(file).absoluteFilePath();
        if (name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)
            || name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
            names << name;
        else
            printError(QStringLiteral("Пропущен файл (не XML и не ZIP): %1").arg(file));
    }
    list.addFileNames(names);
    return true;
}

void BatchRunner::reportProgress(const XmlFileItem* xml, bool finished)
{
    ++transformDone;
    if (xml->state() == stateGenerated)
        ++documentsMade;
    const QString source = xml->sourceFileName(true);
    QString outcome;
    if (xml->state() == stateGenerated && !xml->pdfFileName().isEmpty() && xml->pdfFileName() != xml->destFileName())
        outcome = xml->destFilePath() + QStringLiteral(", ") + xml->pdfFileName();
    else if (xml->state() == stateGenerated)
        outcome = xml->destFilePath();
    else if (finished && !xml->templateItem())
        outcome = QStringLiteral("документ не сформирован: не найден подходящий шаблон");
    else
        outcome = QStringLiteral("документ не сформирован");
    printError(QStringLiteral("[%1/%2] %3 → %4").arg(transformDone).arg(transformTotal).arg(source, outcome));
}

void BatchRunner::generateDocuments(FileList& list, TemplateList& catalogue)
{
    const int allOperations = WorkerJob::Detect | WorkerJob::NameBase | WorkerJob::Transform;
    QList<FileItem*> candidates;
    list.getXmlItems(candidates, FileList::IncludeWithoutTemplate);
    QList<XmlFileItem*> items;
    QList<WorkerJob> jobs;
    for (FileItem* item : qAsConst(candidates)) {
        if (item->isLink() || item->isRemoved() || item->hasError() || item->state() > stateRecognized)
            continue;
        WorkerJob job = WorkerJob::forItem(*static_cast<XmlFileItem*>(item), allOperations, catalogue);
        job.id = items.size();
        jobs << job;
        items << static_cast<XmlFileItem*>(item);
    }
    transformTotal = jobs.size();

    if (interruptedBy)
        return;
    const int processes = options.sequential ? 1 : qMin(QThread::idealThreadCount(), jobs.size());
    WorkerPool pool(QCoreApplication::applicationFilePath(), options.workerOptions().arguments(), processes,
                    options.timeLimit);
    activePool = &pool;
    connect(&pool, &WorkerPool::message, this, &BatchRunner::printError);
    connect(&pool, &WorkerPool::jobDone, this, [&](const WorkerResult& result) {
        if (XmlFileItem* xml = items.value(result.id)) {
            result.applyTo(*xml, allOperations, catalogue);
            reportProgress(xml, true);
        }
    });
    connect(&pool, &WorkerPool::jobFailed, this, [&](int id, const QString& message) {
        if (XmlFileItem* xml = items.value(id)) {
            // Printed at once, so that it stands before the progress line.
            xml->recordErrorText(message);
            printError(statusLine(message));
            reportProgress(xml, false);
        }
    });
    pool.run(jobs);
    activePool = nullptr;
}

void BatchRunner::interrupt(int signalNumber, FileList& list)
{
    interruptedBy = signalNumber;
    list.interruptProcessing();
    if (activePool)
        activePool->stop();
}

bool BatchRunner::allDocumentsMade(const FileList& list)
{
    QList<FileItem*> all;
    list.getItems(all);
    for (FileItem* item : qAsConst(all)) {
        if (item->hasError())
            return false;
        if (dynamic_cast<XmlFileItem*>(item) && !item->isRemoved() && item->childCount() == 0 && item->state() != stateGenerated)
            return false;
    }
    return !all.isEmpty();
}

bool BatchRunner::writeReport(const FileList& list) const
{
    if (options.reportFile.isEmpty())
        return true;
    if (options.reportFile != QLatin1String("-"))
        return list.save(options.reportFile, true);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << list.columnNames().join(QLatin1Char('\t')) << '\n';
    list.save(out, nullptr);
    out.flush();
    return out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout);
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
    MessageSenderObject sender;
    MessageHandler handler;
    connect(&sender, &MessageSenderObject::sendMessageSignal, this, &BatchRunner::printError, Qt::QueuedConnection);
    setGlobalMessageSender(&sender);
    setGlobalMessageHandler(&handler);

    int status = 1;
    {
        TemplateList catalogue;
        FileList list;
        TerminationSignals termination;
        connect(&termination, &TerminationSignals::terminationRequested, this,
                [&](int signalNumber) { interrupt(signalNumber, list); });
        if (prepare(list, catalogue)) {
            TemplateItem* fixedTemplate = nullptr;
            if (!options.templateName.isEmpty())
                fixedTemplate = static_cast<TemplateItem*>(catalogue.itemByName(options.templateName));
            if (!options.templateName.isEmpty() && !fixedTemplate) {
                printError(QStringLiteral("Шаблон не найден в списке шаблонов: %1").arg(options.templateName));
                status = 2;
            } else {
                // Unpacking runs here; everything that runs queries runs in
                // worker processes.
                QEventLoop loop;
                connect(&list, &FileList::processingFinished, &loop, &QEventLoop::quit);
                list.startProcessFiles(psUnzip);
                loop.exec();
                if (fixedTemplate)
                    list.addTemplate(fixedTemplate);
                generateDocuments(list, catalogue);
                QCoreApplication::processEvents();
                status = allDocumentsMade(list) ? 0 : 1;
                if (!writeReport(list)) {
                    printError(QStringLiteral("Ошибка сохранения отчёта в файл: %1").arg(options.reportFile));
                    status = 1;
                }
                if (interruptedBy) {
                    printError(QStringLiteral("Обработка прервана (%1): сформировано документов: %2 из %3")
                                   .arg(TerminationSignals::name(interruptedBy))
                                   .arg(documentsMade)
                                   .arg(transformTotal));
                    status = 128 + interruptedBy;
                }
            }
        }
        QCoreApplication::processEvents();
    }
    setGlobalMessageHandler(nullptr);
    setGlobalMessageSender(nullptr);
    return status;
}
