#include "workerserver.h"

#include "globals.h"
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "ownedfiles.h"
#include "pdfconverter.h"
#include "queryproc.h"
#include "status.h"
#include "templatelist.h"
#include "threadcontroller.h"
#include "xmlfileitem.h"
#include "ziputil.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <sys/resource.h>

namespace {

// Messages may come from any thread; each line goes out whole.
QMutex outputMutex;

void writeLine(const QByteArray& line)
{
    QMutexLocker lock(&outputMutex);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void sendMessage(const QString& line)
{
    writeLine(WorkerProtocol::messageLine(line));
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
    const rlimit limit{rlim_t(WorkerServer::memoryLimit), rlim_t(WorkerServer::memoryLimit)};
    setrlimit(RLIMIT_AS, &limit);
}

} // namespace

WorkerServer::WorkerServer(const WorkerOptions& options) : options(options)
{
}

int WorkerServer::runProcess(const QStringList& arguments)
{
    WorkerOptions options;
    if (!options.parse(arguments))
        return 2;
    ZipUtil::initDefaults();
    if (options.resourceFoldersComplete) {
        prependGlobalResourcePaths(options.resourceFolders);
    } else {
        initGlobalResourcePaths();
        prependGlobalResourcePaths(options.resourceFolders);
    }
    if (options.showPath != WorkerOptions::ShowPath::Default)
        setGlobalShowPath(options.showPath == WorkerOptions::ShowPath::Yes);
    return WorkerServer(options).run();
}

int WorkerServer::run()
{
    // Messages go to the supervisor from the worker thread, in the stream
    // that carries the results, so that they keep their order: the main
    // thread only waits.
    MessageSenderObject sender;
    MessageHandler handler;
    QObject::connect(&sender, &MessageSenderObject::sendMessageSignal, &sender, &sendMessage, Qt::DirectConnection);
    setGlobalMessageSender(&sender);
    setGlobalMessageHandler(&handler);

    int status = 0;
    TemplateList catalogue;
    const QString cataloguePath = options.catalogueFile.isEmpty()
                                      ? locateInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName)
                                      : options.catalogueFile;
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

void WorkerServer::serve(TemplateList& catalogue, TemplateItem* fixedTemplate)
{
    // One office for all of this worker's PDF files, started at once so
    // that it is ready when the first document is; it lives and dies with
    // this thread.
    std::unique_ptr<PdfConverter> converter;
    if (options.pdf != PdfOutput::None) {
        converter = std::make_unique<PdfConverter>();
        converter->start();
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        WorkerJob job;
        if (!WorkerProtocol::parseJob(QByteArray::fromStdString(line), &job))
            continue;
        writeLine(WorkerProtocol::resultLine(process(job, catalogue, fixedTemplate, converter.get())));
    }
}

WorkerResult WorkerServer::process(const WorkerJob& job, TemplateList& catalogue, TemplateItem* fixedTemplate,
                                   PdfConverter* converter) const
{
    // The same items as in the processing list: a file unpacked from an
    // archive hangs below it, so that its document goes beside the archive.
    std::unique_ptr<FileItem> topLevel;
    std::unique_ptr<XmlFileItem> own;
    XmlFileItem* xml = nullptr;
    if (job.topLevelPath != job.sourcePath) {
        topLevel = std::make_unique<FileItem>(job.topLevelPath, nullptr, false);
        xml = new XmlFileItem(job.sourcePath, topLevel.get(), false);
    } else {
        own = std::make_unique<XmlFileItem>(job.sourcePath, nullptr, false);
        xml = own.get();
    }
    xml->setTemplateItem(catalogue.getItem(job.templateIndex));
    xml->setDestBaseName(job.destBase);
    xml->setState(FileItemState(qBound(int(stateNew), job.state, int(stateRecognized))));

    if (job.operations & WorkerJob::Detect) {
        if (fixedTemplate)
            xml->addTemplate(fixedTemplate);
        else
            xml->detectTemplate(&catalogue, options.rename);
    }
    if ((job.operations & WorkerJob::NameBase) && options.rename && xml->templateItem()
        && xml->destBaseName().isEmpty())
        xml->detectDestBase();
    WorkerResult result;
    if ((job.operations & WorkerJob::Transform) && xml->templateItem()) {
        result.skipped =
            options.skipExisting && xml->keepExistingDocument(options.format, options.rename, options.pdf);
        if (!result.skipped) {
            PdfRequest pdf;
            pdf.output = options.pdf;
            pdf.converter = converter;
            pdf.timeLimitSeconds = options.pdfTimeLimit;
            pdf.converting = [&job] { writeLine(WorkerProtocol::convertingLine(job.id)); };
            xml->transform(options.format, options.rename, options.overwrite, options.limits, pdf);
        }
    }

    result.id = job.id;
    result.state = xml->state();
    result.templateIndex = catalogue.indexOf(xml->templateItem());
    result.destBase = xml->destBaseName();
    result.destFileName = xml->destFileName();
    result.pdfFileName = xml->pdfFileName();
    result.errorText = xml->errorText();
    result.hasError = xml->hasError();
    return result;
}
