#include "queryproc.h"

#include <QAbstractMessageHandler>
#include <QBuffer>
#include <QSourceLocation>
#include <QUrl>
#include <QXmlFormatter>
#include <QXmlQuery>
#include <QXmlSerializer>

QueryProc::QueryProc(const QString& sourceFileName, bool bindSourceAsVariable, bool useFileUrls,
                     bool reuseLastQuery, bool formattedOutput)
    : bindSourceAsVariable(bindSourceAsVariable), useFileUrls(useFileUrls), reuseLastQuery(reuseLastQuery),
      formattedOutput(formattedOutput), sourceVariableName(QStringLiteral("inputDocument"))
{
    setSourceFileName(sourceFileName);
}

QueryProc::~QueryProc()
{
    reset();
}

void QueryProc::reset()
{
    qDeleteAll(queryCache);
    queryCache.clear();
    lastQuery = nullptr;
    if (sourceFile.isOpen())
        sourceFile.close();
}

void QueryProc::reportCritical(const QString& message, const QString& fileName) const
{
    if (messageHandler) {
        messageHandler->message(QtCriticalMsg, message, QUrl(),
                                QSourceLocation(QUrl(fileName, QUrl::TolerantMode), -1, -1));
    }
}

bool QueryProc::setSourceFileName(const QString& name)
{
    if (name == sourceFileName)
        return hasErrors;
    hasErrors = false;
    sourceFileName = name;

    bool opened;
    if (useFileUrls) {
        opened = QFile::exists(name);
    } else {
        if (sourceFile.isOpen())
            sourceFile.close();
        sourceFile.setFileName(name);
        opened = sourceFile.open(QIODevice::ReadOnly | QIODevice::Text);
    }
    if (!opened) {
        hasErrors = true;
        reportCritical(QStringLiteral("Ошибка открытия исходного файла"), name);
        return true;
    }
    if (queryCache.isEmpty())
        return false;
    for (QXmlQuery* query : qAsConst(queryCache)) {
        if (query)
            setQuerySource(*query);
    }
    return hasErrors;
}

void QueryProc::setQuerySource(QXmlQuery& query)
{
    if (useFileUrls) {
        const QUrl url = QUrl::fromLocalFile(sourceFileName);
        if (bindSourceAsVariable)
            query.bindVariable(sourceVariableName, QXmlItem(QVariant(url)));
        else
            query.setFocus(url);
    } else {
        sourceFile.seek(0);
        if (bindSourceAsVariable)
            query.bindVariable(sourceVariableName, &sourceFile);
        else
            query.setFocus(&sourceFile);
    }
}

bool QueryProc::setQueryName(QXmlQuery& query, const QString& queryFilePath) const
{
    const QUrl url = QUrl::fromLocalFile(queryFilePath);
    if (useFileUrls) {
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
    if (formattedOutput) {
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

QString QueryProc::executeQuery(const QString& queryFilePath, QHash<QString, QVariant> variables)
{
    lastQuerySucceeded = false;
    QXmlQuery* query = queryCache.value(queryFilePath);
    if (!query) {
        if (reuseLastQuery && lastQuery) {
            query = new QXmlQuery(*lastQuery);
            if (bindSourceAsVariable)
                setQuerySource(*query);
        } else {
            query = new QXmlQuery;
            if (messageHandler)
                query->setMessageHandler(messageHandler);
            setQuerySource(*query);
        }
        setQueryVars(*query, variables);
        if (!setQueryName(*query, queryFilePath)) {
            delete query;
            hasErrors = true;
            return QString();
        }
        queryCache.insert(queryFilePath, query);
    } else {
        setQueryVars(*query, variables);
    }

    QString result;
    if (query->isValid()) {
        lastQuerySucceeded = getQueryResult(*query, result);
        if (lastQuerySucceeded)
            lastQuery = query;
        else
            hasErrors = true;
        return result;
    }
    hasErrors = true;
    return QString();
}
