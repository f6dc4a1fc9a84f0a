#pragma once

#include "batchoptions.h"
#include "workerprotocol.h"

class TemplateItem;
class TemplateList;

// The batch command as a worker process of its own supervisor (WorkerPool):
// takes one source file at a time from standard input, detects its
// template, names and generates its document, and reports the outcome on
// standard output. A query that crashes the XQuery engine thus takes down
// this process only, and the supervisor records the file that was in flight.
class BatchWorker
{
public:
    explicit BatchWorker(const BatchOptions& options);

    // Serves jobs until standard input ends; returns the exit status.
    int run();

    // Most memory a worker process may take. A query that recurses without
    // end grows the heap by gigabytes before its stack runs out; the limit
    // makes it fail at a bearable size instead of starving the machine.
    static constexpr qint64 memoryLimit = qint64(4) << 30;

private:
    void serve(TemplateList& catalogue, TemplateItem* fixedTemplate);
    WorkerResult process(const WorkerJob& job, TemplateList& catalogue, TemplateItem* fixedTemplate) const;

    BatchOptions options;
};
