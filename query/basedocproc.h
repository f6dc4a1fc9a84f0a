#pragma once

#include "generationlimits.h"
#include "iterationstack.h"
#include "queryproc.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>

class QAbstractMessageHandler;
class ProcCommand;
class StagedFile;
class QTextCodec;

// What the three document generators share: the names of one generation job,
// the query processor, query-name resolution, the stack of iteration
// variables of nested repeated blocks, and the two error flags the caller
// reads afterwards. One object produces one document.
class BaseDocProc
{
public:
    BaseDocProc(const QString& sourceFileName, const QString& destinationFileName,
                const QString& templateFileName, const QString& queryFolder, QTextCodec* codec);
    virtual ~BaseDocProc();
    BaseDocProc(const BaseDocProc&) = delete;
    BaseDocProc& operator=(const BaseDocProc&) = delete;

    virtual bool generateDocument();

    // Receives template-structure errors; the query processor's too.
    void setMessageHandler(QAbstractMessageHandler* handler);
    void setLimits(const GenerationLimits& limits) { generationLimits = limits; }
    // How the finished document, complete in its staging file, takes its
    // name. By default it replaces the destination; the processing list
    // gives it the first free name instead.
    using Publisher = std::function<bool(StagedFile& staged)>;
    void setPublisher(Publisher publisher) { documentPublisher = std::move(publisher); }
    bool publish(StagedFile& staged) const;
    const GenerationLimits& limits() const { return generationLimits; }

    // The two outcomes the caller reads after generateDocument.
    bool hasTemplateErrors() const { return templateErrors; }
    const QueryProc& queryProc() const { return queries; }

    const QString& xmlSourceFilePath();
    void reportError(const QString& message, const QString& fileName);
    QString getQueryResult(const QString& queryName);
    // The query file a query name of a command stands for: the name with
    // ".xq" ensured, in the first resource folder whose `queryFolder` holds
    // it, or the name itself when none does. Empty, with the reason in
    // `error`, for a name that climbs out of the query folder.
    static QString resolveQueryFile(const QString& queryFolder, const QString& queryName, QString* error);
    // The query file a query name was resolved to; empty before its first use.
    QString queryFilePath(const QString& queryName) const { return queryFileCache.value(queryName); }
    // The result of a command's query; empty when the command names none.
    // Commands with unknown words, empty commands and ends of repeated
    // blocks that have no start are named in the message log here.
    QString commandResult(const ProcCommand& command);
    // The number of repetitions an iterate_start command asks for: its
    // query's result as a non-negative decimal integer (an empty result is
    // 0). Anything else, or a number above the limit, is a template error
    // on the command and gives 0.
    int iterationCount(const ProcCommand& command, const QString& result);
    bool initIterateVar(const QString& name, int count);
    int incIterateVarOnTop();
    // The external variables of the open iteration variables, and how many are open.
    const QHash<QString, QVariant>& queryVars() const { return iterations.variables(); }
    int iterationDepth() const { return iterations.depth(); }

    // Marker written into the document where a query failed.
    static const QString errorMarker;

protected:
    // A repeated block: `produceBody` once per value 1 to n of the block's
    // variable (n from the command's query, 1 for an empty block with
    // keep_empty), and `produceSeparator` between two repetitions when the
    // command asks for a separator. Nothing when the variable is in use.
    void produceRepetitions(const ProcCommand& command, const QString& result,
                            const std::function<void()>& produceBody,
                            const std::function<void()>& produceSeparator);

    const QString& sourceFileName() const { return sourceFile; }
    const QString& destinationFileName() const { return destinationFile; }
    const QString& templateFileName() const { return templateFile; }
    QTextCodec* codec() const { return textCodec; }

private:
    QString sourceFile;
    QString destinationFile;
    QString templateFile;
    QString queryFolder;
    QTextCodec* textCodec;
    GenerationLimits generationLimits;
    Publisher documentPublisher;
    QueryProc queries;
    QAbstractMessageHandler* messageHandler = nullptr;
    bool templateErrors = false;
    QString sourceFolder;
    IterationStack iterations;
    // Query name as written in a command -> the query file it resolved to.
    QHash<QString, QString> queryFileCache;
};
