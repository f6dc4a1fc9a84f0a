#include "threadworker.h"

#include "remotejobs.h"
#include "stepparams.h"
#include "templatelist.h"
#include "unzipparams.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

// Has a worker process do `operations` for the item; false when it failed
// or was stopped. A stopped job leaves the item as it was.
bool runRemotely(XmlFileItem& item, int operations, const QueryStepParams& params)
{
    const RemoteJobs::Outcome outcome =
        params.remote->run(WorkerJob::forItem(item, operations, *params.templateList));
    switch (outcome.kind) {
    case RemoteJobs::Outcome::Done:
        outcome.result.applyTo(item, operations, *params.templateList);
        return true;
    case RemoteJobs::Outcome::Failed:
        item.recordErrorText(outcome.message);
        return false;
    case RemoteJobs::Outcome::Stopped:
        break;
    }
    return false;
}

bool isRemote(const QueryStepParams* params)
{
    return params && params->remote && params->templateList;
}

} // namespace

void UnzipWorker::doWork()
{
    auto* zip = dynamic_cast<ZipFileItem*>(item);
    const bool result = zip && params && zip->unzip(*static_cast<const UnzipParams*>(params));
    emit workFinished(result);
}

void DetectWorker::doWork()
{
    auto* xml = dynamic_cast<XmlFileItem*>(item);
    const auto* detect = static_cast<const DetectParams*>(params);
    bool result = false;
    if (xml && detect && isRemote(detect)) {
        const int operations = WorkerJob::Detect | (detect->detectDest ? WorkerJob::NameBase : 0);
        result = !xml->hasError() && xml->state() < stateRecognized && runRemotely(*xml, operations, *detect)
                 && xml->templateItem();
    } else if (xml && detect) {
        result = xml->detectTemplate(detect->templateList, detect->detectDest);
    }
    emit workFinished(result);
}

void DestBaseWorker::doWork()
{
    auto* xml = dynamic_cast<XmlFileItem*>(item);
    const auto* naming = static_cast<const DestBaseParams*>(params);
    bool result = false;
    if (xml && isRemote(naming))
        result = !xml->isLink() && runRemotely(*xml, WorkerJob::NameBase, *naming) && !xml->destBaseName().isEmpty();
    else if (xml)
        result = xml->detectDestBase();
    emit workFinished(result);
}

void TransformWorker::doWork()
{
    auto* xml = dynamic_cast<XmlFileItem*>(item);
    const auto* transform = static_cast<const TransformParams*>(params);
    bool result = false;
    if (xml && transform && isRemote(transform)) {
        result = xml->templateItem() && !xml->hasError() && xml->state() <= stateRecognized
                 && runRemotely(*xml, WorkerJob::Transform, *transform) && xml->state() == stateGenerated;
    } else if (xml && transform) {
        // Without worker processes each PDF has an office of its own: slow,
        // but nothing is skipped.
        PdfRequest pdf;
        pdf.output = transform->pdf;
        result = xml->transform(transform->format, transform->useDestBase, transform->overwrite, transform->limits,
                                pdf);
    }
    if (result && transform->openDocument)
        QDesktopServices::openUrl(QUrl::fromLocalFile(xml->destFilePath()));
    emit workFinished(result);
}
