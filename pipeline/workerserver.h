#pragma once

#include "workeroptions.h"
#include "workerprotocol.h"

#include <QStringList>

class PdfConverter;
class TemplateItem;
class TemplateList;

// A worker process of a supervisor (WorkerPool): takes one job at a time
// from standard input — detect a source file's template, name it, make its
// document — and reports its messages and the outcome on standard output. A
// query that crashes the XQuery engine thus takes down this process only,
// and the supervisor records the file that was in flight.
class WorkerServer
{
public:
    explicit WorkerServer(const WorkerOptions& options);

    // Serves jobs until standard input ends; returns the exit status.
    int run();
    // The whole worker program for `arguments` (see WorkerOptions); needs a
    // core application object.
    static int runProcess(const QStringList& arguments);

    // Most memory a worker process may take. A query that recurses without
    // end grows the heap by gigabytes before its stack runs out; the limit
    // makes it fail at a bearable size instead of starving the machine.
    static constexpr qint64 memoryLimit = qint64(4) << 30;

private:
    void serve(TemplateList& catalogue, TemplateItem* fixedTemplate);
    // `converter`: the PDF converter of the serving thread, null without PDF.
    WorkerResult process(const WorkerJob& job, TemplateList& catalogue, TemplateItem* fixedTemplate,
                         PdfConverter* converter) const;

    WorkerOptions options;
};
