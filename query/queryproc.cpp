#include "queryproc.h"

#include <QAbstractMessageHandler>
#include <QBuffer>
#include <QRegularExpression>
#include <QSourceLocation>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QUrl>
#include <QXmlFormatter>
#include <QXmlQuery>
#include <QXmlSerializer>

#include <mutex>

namespace {

// Whether the engine will read the query file as it was written. It reads
// UTF-8 unless the file declares another encoding in its prolog, and takes
// bytes that are no UTF-8 without complaint, so that a file saved in another
// code page would run with garbled names and literals.
bool readsAsWritten(const QString& queryFilePath)
{
    QFile file(queryFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return true; // the engine reports that itself
    const QByteArray bytes = file.readAll();
    static const QRegularExpression declaredEncoding(
        QStringLiteral("^\\s*xquery\\s+version\\s+[\"'][^\"']*[\"']\\s+encoding\\s+[\"']([^\"']+)[\"']"));
    const QRegularExpressionMatch declared = declaredEncoding.match(QString::fromLatin1(bytes.left(200)));
    if (declared.hasMatch() && declared.captured(1).compare(QLatin1String("utf-8"), Qt::CaseInsensitive) != 0)
        return true;
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0;
}

// Runs a first query: see prepareForThreads.
void runWarmUpQuery()
{
    QTemporaryFile source;
    if (!source.open())
        return;
    source.write("<a><b>1</b><b>2</b></a>");
    source.flush();
    QueryProc proc(source.fileName());
    QTemporaryFile query;
    if (!query.open())
        return;
    query.write(
        "declare variable $inputDocument external; declare variable $i external;\n"
        "string-join((string(doc($inputDocument)/a/b[$i]), concat('x', count(doc($inputDocument)//b)),\n"
        "string(exists(doc($inputDocument)/a))), ' ')");
    query.flush();
    proc.executeQuery(query.fileName(), {{QStringLiteral("i"), 1}});
}

} // namespace

void QueryProc::prepareForThreads()
{
    // The first query of a process sets up the engine's and the network
    // layer's shared state; doing it here, before any worker runs, keeps
    // that set-up out of the threads. The query touches a document, the
    // functions that queries use most and an external variable. Once a
    // process is enough.
    static std::once_flag done;
    std::call_once(done, runWarmUpQuery);
}

QueryProc::Options QueryProc::documentOptions()
{
    return BindSourceAsVariable | UseFileUrls | ReuseLastQuery;
}

QueryProc::QueryProc(const QString& sourceFileName, Options options)
    : flags(options), sourceVariableName(QStringLiteral("inputDocument"))
{
    setSourceFileName(sourceFileName);
}

QueryProc::~QueryProc()
{
    reset();
}

void QueryProc::reset()
{
    queryCache.clear();
    threadQueries.clear();
    lastQuery = nullptr;
    if (sourceFile.isOpen())
        sourceFile.close();
}

const QXmlQuery* QueryProc::cachedQuery(const QString& queryFilePath) const
{
    const auto found = queryCache.find(queryFilePath);
    if (found != queryCache.end())
        return found->second.get();
    const auto shared = threadQueries.find(queryFilePath);
    return shared == threadQueries.end() || chainGeneration != QueryChain::forCurrentThread().generation()
        ? nullptr
        : shared->second;
}

int QueryProc::cachedQueryCount() const
{
    return int(queryCache.size() + threadQueries.size());
}

void QueryProc::reportCritical(const QString& message, const QString& fileName) const
{
    if (handler) {
        handler->message(QtCriticalMsg, message, QUrl(),
                         QSourceLocation(QUrl(fileName, QUrl::TolerantMode), -1, -1));
    }
}

bool QueryProc::setSourceFileName(const QString& name)
{
    if (name == source)
        return errors;
    errors = false;
    source = name;

    bool opened;
    if (flags & UseFileUrls) {
        opened = QFile::exists(name);
    } else {
        if (sourceFile.isOpen())
            sourceFile.close();
        sourceFile.setFileName(name);
        opened = sourceFile.open(QIODevice::ReadOnly | QIODevice::Text);
    }
    if (!opened) {
        errors = true;
        reportCritical(QStringLiteral("Ошибка открытия исходного файла"), name);
        return true;
    }
    chainSourceSerial = 0;
    for (auto& cached : queryCache)
        setQuerySource(*cached.second);
    return errors;
}

void QueryProc::setQuerySource(QXmlQuery& query)
{
    if (flags & UseFileUrls) {
        if (flags & BindSourceAsVariable)
            QueryChain::bindSource(query, source);
        else
            query.setFocus(QUrl::fromLocalFile(source));
    } else {
        sourceFile.seek(0);
        if (flags & BindSourceAsVariable)
            query.bindVariable(sourceVariableName, &sourceFile);
        else
            query.setFocus(&sourceFile);
    }
}

bool QueryProc::setQueryName(QXmlQuery& query, const QString& queryFilePath) const
{
    const QUrl url = QUrl::fromLocalFile(queryFilePath);
    if (QFile::exists(queryFilePath) && !readsAsWritten(queryFilePath)) {
        reportCritical(QStringLiteral("файл запроса не в кодировке UTF-8; сохраните его в UTF-8"),
                       queryFilePath);
        return false;
    }
    if (flags & UseFileUrls) {
        if (QFile::exists(queryFilePath)) {
            query.setQuery(url, url);
            return true;
        }
    } else {
        QFile file(queryFilePath);
        if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            query.setQuery(&file, url);
            return true;
        }
    }
    reportCritical(QStringLiteral("Ошибка открытия файла запроса"), queryFilePath);
    return false;
}

void QueryProc::setQueryVars(QXmlQuery& query, const QHash<QString, QVariant>& variables) const
{
    for (auto it = variables.constBegin(); it != variables.constEnd(); ++it)
        query.bindVariable(it.key(), QXmlItem(it.value()));
}

QString QueryProc::textOfSerialized(const QString& serialized)
{
    // A result without elements or other markup is text that the serializer
    // escaped; documents must get the text itself ("Рога & Копыта", not
    // "Рога &amp; Копыта"). Every "<" of such a result is escaped, so a bare
    // "<" means markup, which stays as written.
    if (serialized.contains(QLatin1Char('<')) || !serialized.contains(QLatin1Char('&')))
        return serialized;
    QString text;
    text.reserve(serialized.size());
    for (int i = 0; i < serialized.size(); ++i) {
        if (serialized.at(i) == QLatin1Char('&')) {
            const QStringRef rest = serialized.midRef(i);
            if (rest.startsWith(QLatin1String("&amp;"))) {
                text += QLatin1Char('&');
                i += 4;
                continue;
            }
            if (rest.startsWith(QLatin1String("&gt;"))) {
                text += QLatin1Char('>');
                i += 3;
                continue;
            }
            if (rest.startsWith(QLatin1String("&lt;"))) {
                text += QLatin1Char('<');
                i += 3;
                continue;
            }
        }
        text += serialized.at(i);
    }
    return text;
}

bool QueryProc::getQueryResult(QXmlQuery& query, QString& result) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool ok;
    if (flags & FormattedOutput) {
        QXmlFormatter formatter(query, &buffer);
        ok = query.evaluateTo(&formatter);
    } else {
        QXmlSerializer serializer(query, &buffer);
        ok = query.evaluateTo(&serializer);
    }
    buffer.close();
    if (!ok) {
        result = QString();
        return false;
    }
    const int zero = bytes.indexOf('\0');
    result = textOfSerialized(QString::fromUtf8(bytes.constData(), zero < 0 ? bytes.size() : zero));
    return true;
}

OwnedQuery QueryProc::compileQuery(const QString& queryFilePath, const QHash<QString, QVariant>& variables,
                                   bool fresh)
{
    OwnedQuery query;
    if (!fresh && (flags & ReuseLastQuery) && lastQuery) {
        query = QueryChain::newQuery(lastQuery);
        if (flags & BindSourceAsVariable)
            setQuerySource(*query);
    } else {
        query = QueryChain::newQuery(nullptr);
        if (handler)
            query->setMessageHandler(handler);
        setQuerySource(*query);
    }
    setQueryVars(*query, variables);
    if (!setQueryName(*query, queryFilePath))
        query.reset();
    return query;
}

bool QueryProc::compiles(const QString& queryFilePath, const QHash<QString, QVariant>& variables)
{
    const OwnedQuery query = compileQuery(queryFilePath, variables, true);
    return query && query->isValid();
}

QXmlQuery* QueryProc::threadQueryFor(const QString& queryFilePath, const QHash<QString, QVariant>& variables)
{
    QueryChain& chain = QueryChain::forCurrentThread();
    if (chainSourceSerial != chain.sourceSerial() || chainGeneration != chain.generation()) {
        // The chain may have served another source meanwhile; queries are
        // bound to this one as they are taken from it again.
        chain.setSource(source, handler);
        chainSourceSerial = chain.sourceSerial();
        chainGeneration = chain.generation();
        threadQueries.clear();
    }
    const auto used = threadQueries.find(queryFilePath);
    if (used != threadQueries.end()) {
        setQueryVars(*used->second, variables);
        return used->second;
    }
    // Variables are bound when a query compiles: the same file run with
    // other variables is another query.
    QStringList names = variables.keys();
    names.sort();
    const QString key = queryFilePath + QLatin1Char('\n') + names.join(QLatin1Char(' '));
    QXmlQuery* query = chain.find(key, queryFilePath);
    if (query) {
        setQueryVars(*query, variables);
    } else {
        lastQuery = chain.lastQuery();
        OwnedQuery compiled = compileQuery(queryFilePath, variables);
        if (!compiled)
            return nullptr;
        if (!compiled->isValid()) {
            query = compiled.get();
            queryCache.emplace(queryFilePath, std::move(compiled));
            return query;
        }
        query = chain.insert(key, queryFilePath, std::move(compiled));
    }
    threadQueries.emplace(queryFilePath, query);
    return query;
}

QXmlQuery* QueryProc::queryFor(const QString& queryFilePath, const QHash<QString, QVariant>& variables)
{
    auto cached = queryCache.find(queryFilePath);
    if (cached != queryCache.end()) {
        setQueryVars(*cached->second, variables);
        return cached->second.get();
    }
    if (sharesThreadQueries())
        return threadQueryFor(queryFilePath, variables);
    OwnedQuery compiled = compileQuery(queryFilePath, variables);
    if (!compiled)
        return nullptr;
    return queryCache.emplace(queryFilePath, std::move(compiled)).first->second.get();
}

QString QueryProc::executeQuery(const QString& queryFilePath, QHash<QString, QVariant> variables)
{
    lastSucceeded = false;
    QXmlQuery* query = queryFor(queryFilePath, variables);
    if (!query) {
        errors = true;
        return QString();
    }
    QString result;
    if (query->isValid()) {
        lastSucceeded = getQueryResult(*query, result);
        if (lastSucceeded) {
            lastQuery = query;
            if (sharesThreadQueries() && queryCache.find(queryFilePath) == queryCache.end())
                QueryChain::forCurrentThread().setLastQuery(query);
        } else {
            errors = true;
        }
        return result;
    }
    errors = true;
    return QString();
}
