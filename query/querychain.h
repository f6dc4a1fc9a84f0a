#pragma once

#include "filestamp.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QString>

#include <map>
#include <memory>


class QAbstractMessageHandler;
class QXmlQuery;

// Deletes a query with the lock that guards creating and deleting them.
struct QueryDeleter
{
    void operator()(QXmlQuery* query) const;
};
using OwnedQuery = std::unique_ptr<QXmlQuery, QueryDeleter>;

// The compiled queries of one thread, kept from one source document to the
// next. For the small queries templates use, compiling costs more than
// running; and queries made as copies of one another share the engine's
// store of parsed documents, so a source is parsed once for detection and
// every command of its document.
//
// The engine keeps every document it parsed for as long as the queries
// live, and by its address alone, so the chain starts afresh after a bounded
// number of sources, after a source that changed on disk, and when the
// message handler changes (the queries call the one they were compiled
// with).
class QueryChain
{
public:
    static QueryChain& forCurrentThread();

    // Makes `path` the source the queries read from now on.
    void setSource(const QString& path, QAbstractMessageHandler* handler);
    // The compiled query kept under `key`, bound to the current source, or
    // null when there is none or its query file changed since it compiled.
    QXmlQuery* find(const QString& key, const QString& queryFilePath);
    QXmlQuery* insert(const QString& key, const QString& queryFilePath, OwnedQuery query);

    // A new query; a copy of `original` when given, which shares its store
    // of parsed documents.
    static OwnedQuery newQuery(const QXmlQuery* original);
    // Binds the source for the system's queries: $inputDocument holds its URL.
    static void bindSource(QXmlQuery& query, const QString& path);

    // The last query that ran to the end; new ones start as its copy.
    QXmlQuery* lastQuery() const { return last; }
    void setLastQuery(QXmlQuery* query) { last = query; }
    // Changes whenever the chain starts afresh, which ends every query in it.
    quint64 generation() const { return generationCount; }
    quint64 sourceSerial() const { return serial; }

private:
    struct Entry
    {
        OwnedQuery query;
        FileStamp queryFile;
        quint64 boundSerial = 0;
    };

    void clear();

    // Declared first, so that it outlives the queries that use it.
    QNetworkAccessManager manager;
    std::map<QString, Entry> entries;
    QXmlQuery* last = nullptr;
    QAbstractMessageHandler* chainHandler = nullptr;
    QHash<QString, FileStamp> sourcesRead;
    qint64 bytesRead = 0;
    QString currentPath;
    FileStamp currentStamp;
    quint64 serial = 1;
    quint64 generationCount = 1;
};
