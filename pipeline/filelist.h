#pragma once

#include "processingsteptype.h"
#include "stepparams.h"
#include "unzipparams.h"

#include <QAtomicInt>
#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>

class FileItem;
class QTemporaryFile;
class QTextStream;
class RemoteJobs;
class TemplateItem;
class TemplateList;
class ThreadController;
class XmlFileItem;

// The processing list: owns the tree of file items and drives processing
// through its steps, one ThreadController per step. Runs on the main thread.
class FileList : public QObject
{
    Q_OBJECT
public:
    explicit FileList(QObject* parent = nullptr);
    // Stops and waits for running workers before any item is destroyed.
    ~FileList() override;

    bool isProcessing() const { return processing.loadAcquire() != 0; }
    ProcessingStepType lastStep() const { return currentStep; }
    // Whether the run in progress, or the last one, was asked to stop.
    bool wasInterrupted() const { return interrupted.loadAcquire() != 0; }
    bool containsFileName(const QString& fileName) const;
    // Whether two names given for the list stand for one file.
    static bool sameFileName(const QString& a, const QString& b);
    // Position of an item among its siblings (or among the top-level items).
    int itemRow(const FileItem* item) const;

    // The files the user added, in order; their children hang below them.
    const QList<FileItem*>& items() const { return topItems; }
    // Titles of the report's and the view's columns, by FileColumn.
    const QStringList& columnNames() const { return columns; }
    static QStringList columnTitles();

    // The catalogue templates are detected from; not owned.
    TemplateList* templateList() const { return catalogue; }
    void setTemplateList(TemplateList* list) { catalogue = list; }
    // What the next run does. Each run takes a copy when it starts, so that
    // changing these during a run never touches what its workers read.
    bool isParallel() const { return parallel; }
    void setParallel(bool inParallel) { parallel = inParallel; }
    const UnzipParams& unzipParams() const { return nextUnzipParams; }
    void setUnzipParams(const UnzipParams& params) { nextUnzipParams = params; }
    const TransformParams& transformParams() const { return nextTransformParams; }
    void setTransformParams(const TransformParams& params) { nextTransformParams = params; }
    // The program whose worker processes (`program --worker …`) detect,
    // name and generate; empty to do that in the worker threads themselves.
    // With worker processes, a query that crashes or runs too long costs one
    // file, and an interruption ends the work in flight at once.
    const QString& workerProgram() const { return workerProgramPath; }
    void setWorkerProgram(const QString& program) { workerProgramPath = program; }
    // Seconds one item's work in a worker process may take; 0 for no limit.
    int timeLimit() const { return timeLimitSeconds; }
    void setTimeLimit(int seconds) { timeLimitSeconds = qMax(0, seconds); }
    // Workers of the current step still at work.
    int runningWorkerCount() const;

    enum XmlItemSelection {
        FilesWithTemplate = 0x0,
        IncludeLinks = 0x1,
        IncludeWithoutTemplate = 0x2,
    };
    Q_DECLARE_FLAGS(XmlItemFilter, XmlItemSelection)

    void getItems(QList<FileItem*>& list, FileItem* startItem = nullptr) const;
    void getZipItems(QList<FileItem*>& list) const;
    // XML files with a template; links and files without one as `filter` says.
    void getXmlItems(QList<FileItem*>& list, XmlItemFilter filter, FileItem* startItem = nullptr) const;
    // Every XML file of the tree that is not an additional template entry.
    QList<XmlFileItem*> xmlFiles() const;
    // The items that still need a step.
    QList<FileItem*> itemsForStep(ProcessingStepType step) const;

    bool save(const QString& fileName, bool saveColumnNames = false) const;
    void save(QTextStream& textStream, FileItem* startItem = nullptr) const;

signals:
    // Rows first..last under parentItem (null: the top level) are about to
    // be added; filesInserted follows once they are in the tree. Both are
    // emitted on the list's thread, so a model can keep Qt's insertion
    // contract.
    void filesAboutToBeInserted(int first, int last, FileItem* parentItem);
    void filesInserted(int first, int last, FileItem* parentItem);
    void filesRemoveStart(int first, int last, FileItem* parentItem);
    void filesRemoveEnd();
    void rowChanged(int row, FileItem* parentItem);
    void itemChanged(FileItem* item);
    void processingStarted();
    void processingFinished();
    // A step is starting on `itemCount` items; progress follows as each
    // item is done.
    void procStepStarted(ProcessingStepType step, int itemCount);
    void procStepProgress(int done, int total);
    void procStepFinished(ProcessingStepType step);

public slots:
    void addFileName(const QString& fileName);
    void addFileNames(const QStringList& fileNames);
    void removeRows(int first, int last);
    void clearErrors();
    void addTemplate(TemplateItem* item);
    void removeTemplate(TemplateItem* item);
    // A request that arrives during a run is kept and started when the run
    // has finished (the furthest step asked for wins), even when the run was
    // interrupted: files added meanwhile still get their turn.
    void startProcessFiles(ProcessingStepType maxProcStep = psTransform);
    void interruptProcessing();
    // Forgets a request kept for after the run, as when the program quits.
    void cancelQueuedRun();
    // Interrupts and waits, without the event loop, until the running
    // workers have finished; the run ends without processingFinished.
    void stopAndWait();
    void runNextProcStep();
    // After an archive is unpacked: its files join the tree here, on the
    // list's thread, announced before and after.
    void itemChangedNewSubs(FileItem* item);
    void deleteUnzipedFiles();

private:
    void notifyRowChanged(FileItem* item);
    // The names that addFileNames would add: new to the list, once each.
    QStringList newFileNames(const QStringList& fileNames) const;
    void appendItems(const QStringList& fileNames);
    void startQueuedRun();

    QList<FileItem*> topItems;
    QStringList columns;
    TemplateList* catalogue = nullptr;
    ProcessingStepType currentStep = psNone;
    ProcessingStepType maxProcStep = psNone;
    QAtomicInt processing{0};
    QAtomicInt interrupted{0};
    bool parallel = false;
    ThreadController* controller = nullptr;
    UnzipParams nextUnzipParams;
    TransformParams nextTransformParams;
    ProcessingStepType queuedStep = psNone;
    // Worker processes of the run in progress, started with its first
    // step that runs queries, with the catalogue as it was then.
    void startRemoteJobs();
    QString workerProgramPath;
    int timeLimitSeconds = 300;
    std::unique_ptr<RemoteJobs> remote;
    int remoteProcesses = 1;
    std::unique_ptr<QTemporaryFile> remoteCatalogue;
    // The parameters of the run in progress; the workers point at these.
    UnzipParams runUnzipParams;
    DetectParams runDetectParams;
    DestBaseParams runDestBaseParams;
    TransformParams runTransformParams;
    int stepDone = 0;
    int stepTotal = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(FileList::XmlItemFilter)
