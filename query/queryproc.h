#pragma once

#include <QFile>
#include <QHash>
#include <QString>
#include <QVariant>

class QAbstractMessageHandler;
class QXmlQuery;

// Runs XQuery files against one source XML file and returns each result as
// text. Compiled queries are kept per query file, so a query that runs once
// per table row or loop turn is compiled once. Used by one thread at a time.
class QueryProc
{
public:
    QueryProc(const QString& sourceFileName, bool bindSourceAsVariable, bool useFileUrls, bool reuseLastQuery,
              bool formattedOutput);
    ~QueryProc();
    QueryProc(const QueryProc&) = delete;
    QueryProc& operator=(const QueryProc&) = delete;

    // Returns the error flag afterwards: true when the source cannot be opened.
    bool setSourceFileName(const QString& name);
    QString executeQuery(const QString& queryFilePath, QHash<QString, QVariant> variables);
    void reset();

    // Runs a first query on the calling thread, so that the state every query
    // shares is set up before several threads run queries at once: the owner
    // of the worker threads calls it on the main thread.
    static void prepareForThreads();

    // The text a document gets from a serialized result: escaped text is
    // decoded, markup is kept as written.
    static QString textOfSerialized(const QString& serialized);

    QString sourceFileName;
    bool bindSourceAsVariable;
    bool useFileUrls;
    bool reuseLastQuery;
    bool formattedOutput;
    QHash<QString, QXmlQuery*> queryCache;
    QXmlQuery* lastQuery = nullptr;
    QAbstractMessageHandler* messageHandler = nullptr;
    bool hasErrors = false;
    bool lastQuerySucceeded = false;
    QFile sourceFile;
    QString sourceVariableName;

private:
    static QXmlQuery* newQuery(const QXmlQuery* original);
    void setQueryVars(QXmlQuery& query, const QHash<QString, QVariant>& variables) const;
    bool setQueryName(QXmlQuery& query, const QString& queryFilePath) const;
    void setQuerySource(QXmlQuery& query);
    bool getQueryResult(QXmlQuery& query, QString& result) const;
    void reportCritical(const QString& message, const QString& fileName) const;
};
