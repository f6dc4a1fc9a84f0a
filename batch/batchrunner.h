#pragma once

#include "batchoptions.h"
#include "runreport.h"
#include "workerprotocol.h"

#include <QHash>
#include <QObject>
#include <QVector>

class FileList;
class PathList;
class TemplateItem;
class TemplateList;
class FileItem;
class WorkerPool;
class XmlFileItem;

// Runs the processing pipeline without widgets, for the batch command:
// loads the catalogue, takes the files in slices, runs every step and
// reports progress and messages on standard error. Only one slice of the
// files has items at a time, so a list of 100,000 files costs little more
// than its paths.
class BatchRunner : public QObject
{
    Q_OBJECT
public:
    explicit BatchRunner(const BatchOptions& options, QObject* parent = nullptr);

    // Runs the whole job in a local event loop; returns the exit status
    // (0 all documents made or there already, 1 some file failed or found no
    // template, 2 a list of files that cannot be read, 128 plus the signal
    // number when SIGINT, SIGTERM or SIGHUP stopped it).
    int run();

    static void printError(const QString& text);

    // Files at most in one slice.
    static const int sliceSize = 500;

private:
    // The files of this command: those given and those of the list, its
    // share of them, each once. False when the list cannot be read.
    bool collectFiles(PathList* paths, int* listed);
    bool loadCatalogue(TemplateList& catalogue);
    void configure(FileList& list, TemplateList& catalogue) const;
    // Every file of `paths`, slice by slice; returns the exit status.
    int processAll(const PathList& paths, int listed, TemplateList& catalogue, TemplateItem* fixedTemplate);
    // Unpacks, names and makes the documents of paths first..end-1.
    void processSlice(const PathList& paths, int first, int end, TemplateList& catalogue,
                      TemplateItem* fixedTemplate, WorkerPool& pool);
    // Hands the XML files of the slice's entries to the pool; entries with
    // nothing to do end at once.
    QList<WorkerJob> jobsOf(FileList& list, TemplateList& catalogue);
    void jobEnded(int id, const WorkerResult* result, const QString& failure, TemplateList& catalogue);
    void addOutcome(const FileItem* entry, const SourceOutcome& outcome, bool progress);
    void endEntry(const FileItem* entry);
    void reportProgress(const SourceOutcome& outcome);
    // Stops handing out files and ends the workers; the run then ends with
    // what was done.
    void interrupt(int signalNumber);

    struct OpenEntry
    {
        int pending = 0;
        QVector<SourceOutcome> outcomes;
    };

    BatchOptions options;
    RunReport report;
    int transformTotal = 0;
    int transformDone = 0;
    int documentsMade = 0;
    int documentsSkipped = 0;
    // Files, archives included, that did not end as they should.
    int failures = 0;
    int interruptedBy = 0;
    int nextJobId = 0;
    // The slice at work: its entries not yet reported, and its jobs.
    QHash<const FileItem*, OpenEntry> openEntries;
    QHash<int, XmlFileItem*> jobItems;
    FileList* activeList = nullptr;
    WorkerPool* activePool = nullptr;
};
