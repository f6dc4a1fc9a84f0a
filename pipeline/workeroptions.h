#pragma once

#include "generationlimits.h"
#include "pdfrequest.h"

#include <QString>
#include <QStringList>

// What a worker process is told when it starts: the settings of the run that
// decide what each of its jobs does. The batch command and the main window
// start their workers with the same options.
struct WorkerOptions
{
    // Searched before the standard resource folders, in order.
    QStringList resourceFolders;
    // The folders above are the whole search order, as the supervisor has
    // it: a worker that added its own would find files the supervisor does not.
    bool resourceFoldersComplete = false;
    // The catalogue to detect with; empty for the one in the resource folders.
    QString catalogueFile;
    QString format = QStringLiteral("docx");
    // A catalogue entry given to every file instead of detection; empty for none.
    QString templateName;
    bool rename = false;
    bool overwrite = false;
    // Leave a file whose document stands under its first name already.
    bool skipExisting = false;
    GenerationLimits limits;
    // Whether each document is also made into PDF, and how long one
    // conversion may take (seconds, 0 for no limit).
    PdfOutput pdf = PdfOutput::None;
    int pdfTimeLimit = 0;
    // File names in messages with their folders; the program's default when unset.
    enum class ShowPath { Default, Yes, No } showPath = ShowPath::Default;

    // The arguments that make a program a worker with these options.
    QStringList arguments() const;
    // Whether a program's arguments (its name first) ask it to be a worker.
    static bool isWorkerCall(const QStringList& arguments);
    // Reads arguments made by arguments(); false on anything else.
    bool parse(const QStringList& arguments);

    static const QString workerOption;
};
