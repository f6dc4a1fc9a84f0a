#pragma once

#include "batchoptions.h"
#include "runreport.h"
#include "workerprotocol.h"

#include <QHash>
#include <QObject>
#include <QVector>

#include <memory>

class FileList;
class QEventLoop;
class PathList;
class TemplateItem;
class TemplateList;
class FileItem;
class WorkerPool;
class XmlFileItem;

// Runs the processing pipeline without widgets, for the batch command:
// loads the catalogue, takes the files in slices, runs every step and
// reports progress and messages on standard error. Only the slice at work
// and the next have items, so a list of 100,000 files costs little more
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
    struct Slice;
    // Makes the items of the next slice of `paths`, unpacks its archives and
    // hands its XML files to the pool; null when no file is left.
    std::unique_ptr<Slice> startSlice(const PathList& paths, int* next, TemplateList& catalogue,
                                      TemplateItem* fixedTemplate, WorkerPool& pool);
    // Waits until the slice's files have ended, or the run was stopped, and
    // reports what a stop left of it.
    void finishSlice(Slice& slice);
    // Hands the XML files of the slice's entries to the pool; entries with
    // nothing to do end at once.
    void submitJobs(Slice& slice, TemplateList& catalogue, WorkerPool& pool);
    void jobEnded(int id, const WorkerResult* result, const QString& failure, TemplateList& catalogue);
    // Prints the progress line of a file that ended and keeps its outcome for
    // the report.
    void addOutcome(const FileItem* entry, const SourceOutcome& outcome);
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
    struct PendingJob
    {
        XmlFileItem* item = nullptr;
        Slice* slice = nullptr;
    };
    // The slices at work (the one draining and the next): their entries not
    // yet reported, and their jobs in the pool.
    QHash<const FileItem*, OpenEntry> openEntries;
    QHash<int, PendingJob> pendingJobs;
    // The slice waited for, and the loop that waits.
    Slice* awaited = nullptr;
    QEventLoop* waitLoop = nullptr;
    FileList* activeList = nullptr;
    WorkerPool* activePool = nullptr;
};
