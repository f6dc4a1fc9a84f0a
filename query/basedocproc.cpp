#include "basedocproc.h"

#include "globals.h"
#include "proccommand.h"

#include <QAbstractMessageHandler>
#include <QFileInfo>
#include <QSourceLocation>
#include <QTextCodec>
#include <QUrl>

const QString BaseDocProc::errorMarker = QStringLiteral("!!! ОШИБКА !!!");

BaseDocProc::BaseDocProc(const QString& sourceFileName, const QString& destinationFileName,
                         const QString& templateFileName, const QString& queryFolder, QTextCodec* codec)
    : sourceFileName(sourceFileName), destinationFileName(destinationFileName), templateFileName(templateFileName),
      queryFolder(queryFolder), codec(codec ? codec : QTextCodec::codecForName("UTF-8")),
      queryProc(sourceFileName, true, true, true, false)
{
}

BaseDocProc::~BaseDocProc() = default;

bool BaseDocProc::generateDocument()
{
    return false;
}

void BaseDocProc::setMessageHandler(QAbstractMessageHandler* handler)
{
    messageHandler = handler;
    queryProc.messageHandler = handler;
}

const QString& BaseDocProc::xmlSourceFilePath()
{
    if (sourceFolder.isEmpty() && !sourceFileName.isEmpty())
        sourceFolder = QFileInfo(sourceFileName).absolutePath();
    return sourceFolder;
}

void BaseDocProc::reportError(const QString& message, const QString& fileName)
{
    if (messageHandler) {
        messageHandler->message(QtCriticalMsg, message, QUrl(),
                                QSourceLocation(QUrl(fileName, QUrl::TolerantMode), -1, -1));
    }
    hasTemplateErrors = true;
}

QString BaseDocProc::getQueryResult(const QString& queryName)
{
    QString path = queryFileCache.value(queryName);
    if (path.isEmpty()) {
        const QString fileName = checkExt(queryName, QStringLiteral("xq"));
        path = locateInResource(queryFolder, fileName);
        if (path.isEmpty())
            path = fileName;
        queryFileCache.insert(queryName, path);
    }
    QString result = queryProc.executeQuery(path, queryVars);
    if (!queryProc.lastQuerySucceeded)
        result += errorMarker;
    return result;
}

QString BaseDocProc::commandResult(const ProcCommand& command)
{
    const QString queryName = command.option(QStringLiteral("query"));
    return queryName.isEmpty() ? QString() : getQueryResult(queryName);
}

bool BaseDocProc::initIterateVar(const QString& name, int count)
{
    if (queryVars.contains(name)) {
        reportError(QStringLiteral("Ошибка! Повторное использование переменной %1 во вложенном цикле").arg(name),
                    QString());
        return false;
    }
    if (count < 1)
        return false;
    iterateValues.push_back(0);
    iterateCounts.push_back(count);
    iterateVarNames.push_back(name);
    queryVars.insert(name, 0);
    return true;
}

int BaseDocProc::incIterateVarOnTop()
{
    if (iterateVarNames.isEmpty())
        return 0;
    int& value = iterateValues.last();
    ++value;
    if (value > iterateCounts.last()) {
        queryVars.remove(iterateVarNames.last());
        iterateValues.pop_back();
        iterateCounts.pop_back();
        iterateVarNames.pop_back();
        return 0;
    }
    queryVars.insert(iterateVarNames.last(), value);
    return value;
}
