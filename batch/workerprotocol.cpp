#include "workerprotocol.h"

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

QByteArray WorkerProtocol::jobLine(const WorkerJob& job)
{
    return "JOB\t" + QByteArray::number(job.id) + '\t' + encoded(job.sourcePath) + '\t' + encoded(job.topLevelPath)
           + '\n';
}

bool WorkerProtocol::parseJob(const QByteArray& line, WorkerJob* job)
{
    const QList<QByteArray> fields = fieldsOf(line, "JOB", 4);
    if (fields.isEmpty())
        return false;
    bool ok = false;
    job->id = fields.at(1).toInt(&ok);
    job->sourcePath = decoded(fields.at(2));
    job->topLevelPath = decoded(fields.at(3));
    return ok && !job->sourcePath.isEmpty();
}

QByteArray WorkerProtocol::resultLine(const WorkerResult& result)
{
    return "DONE\t" + QByteArray::number(result.id) + '\t' + QByteArray::number(result.state) + '\t'
           + QByteArray::number(result.templateIndex) + '\t' + encoded(result.destBase) + '\t' + encoded(result.destFileName)
           + '\t' + encoded(result.errorText) + '\t' + (result.hasError ? "1" : "0") + '\n';
}

bool WorkerProtocol::parseResult(const QByteArray& line, WorkerResult* result)
{
    const QList<QByteArray> fields = fieldsOf(line, "DONE", 8);
    if (fields.isEmpty())
        return false;
    bool idOk = false;
    bool stateOk = false;
    result->id = fields.at(1).toInt(&idOk);
    result->state = fields.at(2).toInt(&stateOk);
    result->templateIndex = fields.at(3).toInt();
    result->destBase = decoded(fields.at(4));
    result->destFileName = decoded(fields.at(5));
    result->errorText = decoded(fields.at(6));
    result->hasError = fields.at(7) == "1";
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
