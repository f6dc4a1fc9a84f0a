#include "threadworker.h"

#include "stepparams.h"
#include "unzipparams.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"

#include <QDesktopServices>
#include <QUrl>

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
    const bool result = xml && detect && xml->detectTemplate(detect->templateList, detect->detectDest);
    emit workFinished(result);
}

void DestBaseWorker::doWork()
{
    auto* xml = dynamic_cast<XmlFileItem*>(item);
    emit workFinished(xml && xml->detectDestBase());
}

void TransformWorker::doWork()
{
    auto* xml = dynamic_cast<XmlFileItem*>(item);
    const auto* transform = static_cast<const TransformParams*>(params);
    bool result = false;
    if (xml && transform) {
        result = xml->transform(transform->format, transform->useDestBase, transform->overwrite, transform->limits);
        if (result && transform->openDocument)
            QDesktopServices::openUrl(QUrl::fromLocalFile(xml->destFilePath()));
    }
    emit workFinished(result);
}
