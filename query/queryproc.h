#pragma once

#include <QFile>
#include <QFlags>
#include <QString>
#include <QVariant>

#include "querychain.h"

#include <map>
#include <memory>

class QAbstractMessageHandler;
class QXmlQuery;

// Runs XQuery files against one source XML file and returns each result as
// text. A query file is compiled once for a processor, so a query that runs
// once per table row or loop turn is compiled once; with the system's own
// options the compiled queries are also kept by the thread for the next
// documents (see QueryChain). Used by one thread at a time.
class QueryProc
{
public:
    enum Option
    {
        // The source is the external variable $inputDocument rather than the
        // query's focus.
        BindSourceAsVariable = 0x1,
        // Source and query files go to the engine as file URLs rather than
        // as open devices.
        UseFileUrls = 0x2,
        // A newly compiled query starts as a copy of the last one that ran.
        ReuseLastQuery = 0x4,
        // Results are written with indentation.
        FormattedOutput = 0x8,
    };
    Q_DECLARE_FLAGS(Options, Option)

    // What the system's query files are written against: $inputDocument
    // holds the source file's URL, results come compact.
    static Options documentOptions();

    explicit QueryProc(const QString& sourceFileName, Options options = documentOptions());
    ~QueryProc();
    QueryProc(const QueryProc&) = delete;
    QueryProc& operator=(const QueryProc&) = delete;

    // Returns the error flag afterwards: true when the source cannot be opened.
    bool setSourceFileName(const QString& name);
    QString executeQuery(const QString& queryFilePath, QHash<QString, QVariant> variables);
    // Whether the query file compiles with these external variables bound
    // (and the source), as it would for a document; the engine's messages
    // go to the message handler. Nothing is run, kept or counted as an error.
    bool compiles(const QString& queryFilePath, const QHash<QString, QVariant>& variables);
    void reset();

    const QString& sourceFileName() const { return source; }
    Options options() const { return flags; }
    // Receives the processor's own errors; installed on every new query.
    void setMessageHandler(QAbstractMessageHandler* messageHandler)
    {
        handler = messageHandler;
        chainSourceSerial = 0;
    }
    QAbstractMessageHandler* messageHandler() const { return handler; }
    // Sticky: set by any failure, cleared only by a change of source file.
    bool hasErrors() const { return errors; }
    // Outcome of the most recent executeQuery.
    bool lastQuerySucceeded() const { return lastSucceeded; }
    // The compiled query kept for a query file, null when there is none.
    const QXmlQuery* cachedQuery(const QString& queryFilePath) const;
    int cachedQueryCount() const;

    // Runs a first query on the calling thread, so that the state every query
    // shares is set up before several threads run queries at once: the owner
    // of the worker threads calls it on the main thread.
    static void prepareForThreads();

    // The text a document gets from a serialized result: escaped text is
    // decoded, markup is kept as written.
    static QString textOfSerialized(const QString& serialized);

private:
    bool sharesThreadQueries() const { return flags == documentOptions(); }
    QXmlQuery* queryFor(const QString& queryFilePath, const QHash<QString, QVariant>& variables);
    QXmlQuery* threadQueryFor(const QString& queryFilePath, const QHash<QString, QVariant>& variables);
    // `fresh`: a new query even where the options would copy the last one.
    OwnedQuery compileQuery(const QString& queryFilePath, const QHash<QString, QVariant>& variables,
                            bool fresh = false);
    void setQueryVars(QXmlQuery& query, const QHash<QString, QVariant>& variables) const;
    bool setQueryName(QXmlQuery& query, const QString& queryFilePath) const;
    void setQuerySource(QXmlQuery& query);
    bool getQueryResult(QXmlQuery& query, QString& result) const;
    void reportCritical(const QString& message, const QString& fileName) const;

    QString source;
    Options flags;
    // Queries this processor owns: all of them with options of its own,
    // otherwise those that did not compile (the thread keeps none of those,
    // so that each document reports its error).
    std::map<QString, OwnedQuery> queryCache;
    // With the system's options, the thread's queries this processor used.
    std::map<QString, QXmlQuery*> threadQueries;
    quint64 chainGeneration = 0;
    quint64 chainSourceSerial = 0;
    // One of the owned queries, or null.
    QXmlQuery* lastQuery = nullptr;
    QAbstractMessageHandler* handler = nullptr;
    bool errors = false;
    bool lastSucceeded = false;
    QFile sourceFile;
    QString sourceVariableName;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QueryProc::Options)
