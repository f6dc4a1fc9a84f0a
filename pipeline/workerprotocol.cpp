#include "workerprotocol.h"

#include "templatelist.h"
#include "xmlfileitem.h"

#include <QList>

namespace {

QByteArray encoded(const QString& text)
{
    return text.toUtf8().toBase64();
}

QString decoded(const QByteArray& field)
{
    return QString::fromUtf8(QByteArray::fromBase64(field));
}

QList<QByteArray> fieldsOf(const QByteArray& line, const char* kind, int count)
{
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    const QList<QByteArray> fields = text.split('\t');
    if (fields.size() != count || fields.first() != kind)
        return {};
    return fields;
}

} // namespace

WorkerJob WorkerJob::forItem(const XmlFileItem& item, int operations, const TemplateList& catalogue)
{
    WorkerJob job;
    job.operations = operations;
    job.sourcePath = item.sourceFileName(true);
    job.topLevelPath = item.topLevelItem()->sourceFileName(true);
    job.state = item.state();
    // A file that carries its templates on links is named by the first one.
    const TemplateItem* chosen = item.templateItem();
    if (!chosen && item.childCount() > 0) {
        if (const auto* first = dynamic_cast<const XmlFileItem*>(item.child(0)))
            chosen = first->templateItem();
    }
    job.templateIndex = catalogue.indexOf(chosen);
    job.destBase = item.destBase();
    return job;
}

void WorkerResult::applyTo(XmlFileItem& item, int operations, const TemplateList& catalogue) const
{
    if (operations & WorkerJob::Detect)
        item.setTemplateItem(catalogue.getItem(templateIndex));
    if (!item.isLink() && (operations & (WorkerJob::Detect | WorkerJob::NameBase)))
        item.setDestBaseName(destBase);
    if (operations & WorkerJob::Transform) {
        item.setDestFileName(destFileName);
        item.setPdfFileName(pdfFileName);
    }
    item.setState(FileItemState(qBound(int(stateNew), state, int(stateGenerated))));
    if (hasError || !errorText.isEmpty())
        item.recordErrorText(errorText.isEmpty() ? QStringLiteral("Ошибка") : errorText);
}

QByteArray WorkerProtocol::jobLine(const WorkerJob& job)
{
    return "JOB\t" + QByteArray::number(job.id) + '\t' + QByteArray::number(job.operations) + '\t'
           + encoded(job.sourcePath) + '\t' + encoded(job.topLevelPath) + '\t' + QByteArray::number(job.state) + '\t'
           + QByteArray::number(job.templateIndex) + '\t' + encoded(job.destBase) + '\n';
}

bool WorkerProtocol::parseJob(const QByteArray& line, WorkerJob* job)
{
    const QList<QByteArray> fields = fieldsOf(line, "JOB", 8);
    if (fields.isEmpty())
        return false;
    bool ok[4] = {false, false, false, false};
    job->id = fields.at(1).toInt(&ok[0]);
    job->operations = fields.at(2).toInt(&ok[1]);
    job->sourcePath = decoded(fields.at(3));
    job->topLevelPath = decoded(fields.at(4));
    job->state = fields.at(5).toInt(&ok[2]);
    job->templateIndex = fields.at(6).toInt(&ok[3]);
    job->destBase = decoded(fields.at(7));
    return ok[0] && ok[1] && ok[2] && ok[3] && !job->sourcePath.isEmpty();
}

QByteArray WorkerProtocol::resultLine(const WorkerResult& result)
{
    return "DONE\t" + QByteArray::number(result.id) + '\t' + QByteArray::number(result.state) + '\t'
           + QByteArray::number(result.templateIndex) + '\t' + encoded(result.destBase) + '\t' + encoded(result.destFileName)
           + '\t' + encoded(result.pdfFileName) + '\t' + encoded(result.errorText) + '\t'
           + (result.hasError ? "1" : "0") + '\t' + (result.skipped ? "1" : "0") + '\n';
}

bool WorkerProtocol::parseResult(const QByteArray& line, WorkerResult* result)
{
    const QList<QByteArray> fields = fieldsOf(line, "DONE", 10);
    if (fields.isEmpty())
        return false;
    bool idOk = false;
    bool stateOk = false;
    result->id = fields.at(1).toInt(&idOk);
    result->state = fields.at(2).toInt(&stateOk);
    result->templateIndex = fields.at(3).toInt();
    result->destBase = decoded(fields.at(4));
    result->destFileName = decoded(fields.at(5));
    result->pdfFileName = decoded(fields.at(6));
    result->errorText = decoded(fields.at(7));
    result->hasError = fields.at(8) == "1";
    result->skipped = fields.at(9) == "1";
    return idOk && stateOk;
}

QByteArray WorkerProtocol::ownedLine(const QString& path)
{
    return "OWN\t" + encoded(path) + '\n';
}

bool WorkerProtocol::parseOwned(const QByteArray& line, QString* path)
{
    const QList<QByteArray> fields = fieldsOf(line, "OWN", 2);
    if (fields.isEmpty())
        return false;
    *path = decoded(fields.at(1));
    return !path->isEmpty();
}

QByteArray WorkerProtocol::convertingLine(int id)
{
    return "PDF\t" + QByteArray::number(id) + '\n';
}

bool WorkerProtocol::parseConverting(const QByteArray& line, int* id)
{
    const QList<QByteArray> fields = fieldsOf(line, "PDF", 2);
    bool ok = false;
    if (!fields.isEmpty())
        *id = fields.at(1).toInt(&ok);
    return ok;
}

QByteArray WorkerProtocol::messageLine(const QString& line)
{
    return "MSG\t" + encoded(line) + '\n';
}

bool WorkerProtocol::parseMessage(const QByteArray& line, QString* text)
{
    const QList<QByteArray> fields = fieldsOf(line, "MSG", 2);
    if (fields.isEmpty())
        return false;
    *text = decoded(fields.at(1));
    return true;
}
