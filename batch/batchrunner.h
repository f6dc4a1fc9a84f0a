#pragma once

#include "batchoptions.h"

#include <QObject>

class FileList;
class TemplateList;
class FileItem;
class WorkerPool;
class XmlFileItem;

// Runs the processing pipeline without widgets, for the batch command:
// loads the catalogue, adds the files, runs every step and reports progress
// and messages on standard error.
class BatchRunner : public QObject
{
    Q_OBJECT
public:
    explicit BatchRunner(const BatchOptions& options, QObject* parent = nullptr);

    // Runs the whole job in a local event loop; returns the exit status
    // (0 all documents made, 1 some file failed or found no template,
    // 128 plus the signal number when SIGINT, SIGTERM or SIGHUP stopped it).
    int run();

    static void printError(const QString& text);

private:
    bool prepare(FileList& list, TemplateList& catalogue);
    // Detection, naming and generation of every XML file, in worker processes.
    void generateDocuments(FileList& list, TemplateList& catalogue);
    // `finished`: the worker finished the file (rather than crashing).
    void reportProgress(const XmlFileItem* item, bool finished);
    bool writeReport(const FileList& list) const;
    static bool allDocumentsMade(const FileList& list);
    // Stops handing out files and ends the workers; the run then ends with
    // what was done.
    void interrupt(int signalNumber, FileList& list);

    BatchOptions options;
    int transformTotal = 0;
    int transformDone = 0;
    int documentsMade = 0;
    int interruptedBy = 0;
    WorkerPool* activePool = nullptr;
};
