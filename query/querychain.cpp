#include "querychain.h"

#include <QFile>
#include <QMutex>
#include <QThreadStorage>
#include <QUrl>
#include <QXmlQuery>

namespace {

// Sources a chain reads before it starts afresh, and their total size: the
// engine's trees of them take several times the size of the files.
const int maxSources = 16;
const qint64 maxSourceBytes = qint64(4) << 20;

// Several worker threads run queries at once. The XQuery engine itself is
// safe for that, but every query object it makes starts a network access
// manager (the engine reads documents, the source XML file included, through
// one), and those, with the process-wide proxy and bearer-management state
// they share, are not: creating and destroying query objects in two threads
// at a time has corrupted the heap now and then. Those two steps are
// therefore taken one thread at a time; compiling and evaluating, where the
// time goes, run in parallel.
QMutex& queryLifecycleMutex()
{
    static QMutex mutex;
    return mutex;
}

} // namespace

void QueryDeleter::operator()(QXmlQuery* query) const
{
    QMutexLocker lock(&queryLifecycleMutex());
    delete query;
}

QueryChain& QueryChain::forCurrentThread()
{
    static QThreadStorage<QueryChain*> chains;
    if (!chains.hasLocalData())
        chains.setLocalData(new QueryChain);
    return *chains.localData();
}

OwnedQuery QueryChain::newQuery(const QXmlQuery* original)
{
    QMutexLocker lock(&queryLifecycleMutex());
    if (original)
        return OwnedQuery(new QXmlQuery(*original));
    OwnedQuery query(new QXmlQuery);
    query->setNetworkAccessManager(&forCurrentThread().manager);
    return query;
}

void QueryChain::bindSource(QXmlQuery& query, const QString& path)
{
    query.bindVariable(QStringLiteral("inputDocument"), QXmlItem(QVariant(QUrl::fromLocalFile(path))));
}

void QueryChain::clear()
{
    last = nullptr;
    entries.clear();
    sourcesRead.clear();
    bytesRead = 0;
    currentPath.clear();
    ++generationCount;
}

void QueryChain::setSource(const QString& path, QAbstractMessageHandler* handler)
{
    if (handler != chainHandler) {
        clear();
        chainHandler = handler;
    }
    const FileStamp stamp = FileStamp::of(path);
    if (path == currentPath && stamp == currentStamp)
        return;
    const auto read = sourcesRead.constFind(path);
    if (read != sourcesRead.constEnd()) {
        if (read.value() != stamp)
            clear();
    } else if (sourcesRead.size() >= maxSources || bytesRead + qMax<qint64>(stamp.size, 0) > maxSourceBytes) {
        clear();
    }
    if (!sourcesRead.contains(path)) {
        sourcesRead.insert(path, stamp);
        bytesRead += qMax<qint64>(stamp.size, 0);
    }
    currentPath = path;
    currentStamp = stamp;
    ++serial;
}

QXmlQuery* QueryChain::find(const QString& key, const QString& queryFilePath)
{
    const auto found = entries.find(key);
    if (found == entries.end())
        return nullptr;
    Entry& entry = found->second;
    if (entry.queryFile != FileStamp::of(queryFilePath)) {
        // Edited since it compiled: the new text compiles anew. Other queries
        // copied from this one keep their own compiled form.
        if (last == entry.query.get())
            last = nullptr;
        entries.erase(found);
        return nullptr;
    }
    if (entry.boundSerial != serial) {
        bindSource(*entry.query, currentPath);
        entry.boundSerial = serial;
    }
    return entry.query.get();
}

QXmlQuery* QueryChain::insert(const QString& key, const QString& queryFilePath, OwnedQuery query)
{
    Entry& entry = entries[key];
    if (last == entry.query.get())
        last = nullptr;
    entry.query = std::move(query);
    entry.queryFile = FileStamp::of(queryFilePath);
    entry.boundSerial = serial;
    return entry.query.get();
}
