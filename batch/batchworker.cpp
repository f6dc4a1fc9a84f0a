#include "batchworker.h"

#include "batchrunner.h"
#include "globals.h"
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "ownedfiles.h"
#include "queryproc.h"
#include "status.h"
#include "templatelist.h"
#include "threadcontroller.h"
#include "xmlfileitem.h"

#include <QThread>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <sys/resource.h>

namespace {

void writeLine(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void announceToSupervisor(const QString& path)
{
    writeLine(WorkerProtocol::ownedLine(path));
}

void limitMemory()
{
    // The address sanitizer reserves terabytes of address space up front.
#if defined(__SANITIZE_ADDRESS__)
    return;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return;
#endif
#endif
    const rlimit limit{rlim_t(BatchWorker::memoryLimit), rlim_t(BatchWorker::memoryLimit)};
    setrlimit(RLIMIT_AS, &limit);
}

} // namespace

BatchWorker::BatchWorker(const BatchOptions& options) : options(options)
{
}

int BatchWorker::run()
{
    // Messages go straight to standard error from the worker thread: the
    // main thread only waits.
    MessageSenderObject sender;
    MessageHandler handler;
    QObject::connect(&sender, &MessageSenderObject::sendMessageSignal, &sender, &BatchRunner::printError,
                     Qt::DirectConnection);
    setGlobalMessageSender(&sender);
    setGlobalMessageHandler(&handler);

    int status = 0;
    TemplateList catalogue;
    const QString cataloguePath = locateInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName);
    TemplateItem* fixedTemplate = nullptr;
    if (cataloguePath.isEmpty() || !catalogue.load(cataloguePath)) {
        status = 1;
    } else {
        if (!options.templateName.isEmpty())
            fixedTemplate = static_cast<TemplateItem*>(catalogue.itemByName(options.templateName));
        QueryProc::prepareForThreads();
        OwnedFiles::setObserver(&announceToSupervisor);
        limitMemory();
        // One long-lived thread with a large stack serves every job, so its
        // template caches last for the whole batch.
        std::unique_ptr<QThread> thread(QThread::create([&] { serve(catalogue, fixedTemplate); }));
        thread->setStackSize(ThreadController::workerStackSize);
        ThreadController::startThread(thread.get());
        thread->wait();
        OwnedFiles::setObserver(nullptr);
    }
    setGlobalMessageHandler(nullptr);
    setGlobalMessageSender(nullptr);
    return status;
}

void BatchWorker::serve(TemplateList& catalogue, TemplateItem* fixedTemplate)
{
    std::string line;
    while (std::getline(std::cin, line)) {
        WorkerJob job;
        if (!WorkerProtocol::parseJob(QByteArray::fromStdString(line), &job))
            continue;
        writeLine(WorkerProtocol::resultLine(process(job, catalogue, fixedTemplate)));
    }
}

WorkerResult BatchWorker::process(const WorkerJob& job, TemplateList& catalogue, TemplateItem* fixedTemplate) const
{
    // The same items as in the processing list: a file unpacked from an
    // archive hangs below it, so that its document goes beside the archive.
    std::unique_ptr<FileItem> topLevel;
    std::unique_ptr<XmlFileItem> own;
    XmlFileItem* xml = nullptr;
    if (job.topLevelPath != job.sourcePath) {
        topLevel = std::make_unique<FileItem>(job.topLevelPath, nullptr, false);
        xml = new XmlFileItem(job.sourcePath, topLevel.get(), false);
        xml->setState(stateUnpacked);
    } else {
        own = std::make_unique<XmlFileItem>(job.sourcePath, nullptr, false);
        xml = own.get();
    }

    if (fixedTemplate)
        xml->addTemplate(fixedTemplate);
    else
        xml->detectTemplate(&catalogue, options.rename);
    if (options.rename && xml->templateItem() && xml->destBaseName().isEmpty())
        xml->detectDestBase();
    if (xml->templateItem()) {
        GenerationLimits limits;
        limits.maxRepeat = options.maxRepeat;
        limits.picturesOutsideSource = options.picturesOutsideSource;
        xml->transform(options.format, options.rename, options.overwrite, limits);
    }

    WorkerResult result;
    result.id = job.id;
    result.state = xml->state();
    result.templateIndex = catalogue.indexOf(xml->templateItem());
    result.destBase = xml->destBaseName();
    result.destFileName = xml->destFileName();
    result.errorText = xml->errorText();
    result.hasError = xml->hasError();
    return result;
}
