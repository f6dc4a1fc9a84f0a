#pragma once

#include "runreport.h"
#include "shard.h"
#include "workeroptions.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The command line of the headless batch command.
struct BatchOptions
{
    QStringList resourceFolders;
    QString format = QStringLiteral("docx");
    // Whether --format was given (a check looks at every format otherwise).
    bool formatGiven = false;
    QString templateName;
    // Check the catalogue and its templates instead of making documents:
    // the templates named (all when none), and with a sample file a dry run.
    bool check = false;
    QStringList checkTemplates;
    QString sampleFile;
    bool rename = false;
    bool overwrite = false;
    // Leave a file whose document stands under its name already.
    bool skipExisting = false;
    bool sequential = false;
    QString reportFile; // "-" for standard output
    RunReport::Format reportFormat = RunReport::Format::Tsv;
    QString includeMask = QStringLiteral("(.+\\.xml|.+\\.zip|.+\\.pdf|.+\\.sig|.+\\.jpg)");
    QString excludeMask = QStringLiteral("(proto.*|req.*)");
    bool unzipRecursive = false;
    // Seconds one document may take before its worker is stopped; 0 for no limit.
    int timeLimit = 300;
    // Most repetitions of one repeated block.
    int maxRepeat = 100000;
    // Pictures may come from outside their source file's folder.
    bool picturesOutsideSource = false;
    // A PDF of each document beside it, or instead of it.
    PdfOutput pdf = PdfOutput::None;
    QStringList files;
    // A list of more files, one path a line ("-" for standard input), or
    // each path ended by a NUL.
    QString filesFrom;
    bool nulSeparated = false;
    // This command's share of the files.
    Shard shard;
    bool help = false;

    // Fills the options from the arguments (program name first). Returns false
    // with a message in error on bad usage.
    bool parse(const QStringList& arguments, QString* error);
    static QString usage();
    // What a worker process doing this command's work is told.
    WorkerOptions workerOptions() const;

private:
    bool checkUsage(const QCommandLineParser& parser, QString* error) const;
    bool processingUsage(const QCommandLineParser& parser, QString* error) const;
};
