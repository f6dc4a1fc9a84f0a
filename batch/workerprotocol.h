#pragma once

#include <QByteArray>
#include <QString>

// The lines that the batch command and its worker processes exchange: a
// job per source file on the worker's standard input, and on its standard
// output the files it owns while it works and the outcome of each job.
// Texts travel in Base64, so that no name or message can break a line.

struct WorkerJob
{
    int id = -1;
    // The XML file, and the file the user gave that holds it (the same file,
    // or the archive it was unpacked from): documents go beside that one.
    QString sourcePath;
    QString topLevelPath;
};

struct WorkerResult
{
    int id = -1;
    int state = 0;
    // Index of the chosen template in the catalogue, -1 for none.
    int templateIndex = -1;
    QString destBase;
    QString destFileName;
    QString errorText;
    bool hasError = false;
};

namespace WorkerProtocol {

QByteArray jobLine(const WorkerJob& job);
bool parseJob(const QByteArray& line, WorkerJob* job);

QByteArray resultLine(const WorkerResult& result);
bool parseResult(const QByteArray& line, WorkerResult* result);

// A file the worker created for itself (see OwnedFiles).
QByteArray ownedLine(const QString& path);
bool parseOwned(const QByteArray& line, QString* path);

} // namespace WorkerProtocol
