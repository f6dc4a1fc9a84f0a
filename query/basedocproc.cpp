#include "basedocproc.h"

#include "globals.h"
#include "proccommand.h"
#include "status.h"

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
        // A name that climbs out of the query folder would run any file.
        if (QString(fileName).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/')).contains(QStringLiteral(".."))) {
            reportError(QStringLiteral("Ошибка в шаблоне: запрос %1 указан вне папки запросов шаблона").arg(queryName),
                        QString());
            return errorMarker;
        }
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

namespace {

bool isKnownWord(const QString& key)
{
    static const QStringList known{
        QStringLiteral("query"),          QStringLiteral("replace_empty"),  QStringLiteral("iterate_start"),
        QStringLiteral("iterate_end"),    QStringLiteral("separate"),       QStringLiteral("keep_empty"),
        QStringLiteral("insert_table"),   QStringLiteral("insert_picture"), QStringLiteral("delete_empty_section")};
    return known.contains(key);
}

QString shownCommand(const ProcCommand& command)
{
    return QStringLiteral("[%") + command.commandText + QStringLiteral("%]");
}

} // namespace

QString BaseDocProc::commandResult(const ProcCommand& command)
{
    const QString queryName = command.option(QStringLiteral("query"));
    if (command.commandText.isEmpty()) {
        reportError(QStringLiteral("Ошибка в шаблоне: пустая команда %1").arg(shownCommand(command)), QString());
        return QString();
    }
    if (command.commandType == IterateEnd) {
        // A matched end is consumed by its block; one that reaches here closes nothing.
        reportError(QStringLiteral("Ошибка структуры шаблона: команда %1 закрывает блок итераций, который не был "
                                   "открыт")
                        .arg(shownCommand(command)),
                    QString());
        return QString();
    }
    QStringList unknown;
    for (auto it = command.options.constBegin(); it != command.options.constEnd(); ++it) {
        if (!isKnownWord(it.key()))
            unknown << it.key();
    }
    if (!unknown.isEmpty()) {
        const QString message = QStringLiteral("Ошибка в шаблоне: неизвестное слово «%1» в команде %2")
                                    .arg(unknown.join(QStringLiteral("», «")), shownCommand(command));
        // Without a query the command has nothing to carry out.
        if (queryName.isEmpty())
            reportError(message, QString());
        else
            showStatus(message);
    }
    return queryName.isEmpty() ? QString() : getQueryResult(queryName);
}

int BaseDocProc::iterationCount(const ProcCommand& command, const QString& result)
{
    const QString text = result.trimmed();
    // A failed query has already been reported, and its marker is no count.
    if (text.isEmpty() || text.endsWith(errorMarker))
        return 0;
    const QString queryName = command.option(QStringLiteral("query"));
    bool isNumber = !text.isEmpty();
    for (const QChar c : text)
        isNumber = isNumber && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!isNumber) {
        reportError(QStringLiteral("Ошибка в шаблоне: запрос %1 команды %2 вернул «%3» вместо числа повторений "
                                   "(целого неотрицательного числа)")
                        .arg(queryName, shownCommand(command), text.left(100)),
                    QString());
        return 0;
    }
    bool fits = false;
    const qlonglong count = text.toLongLong(&fits);
    if (!fits || count > limits.maxRepeat) {
        reportError(QStringLiteral("Ошибка в шаблоне: запрос %1 команды %2 вернул число повторений %3, больше "
                                   "допустимого %4")
                        .arg(queryName, shownCommand(command), text.left(100))
                        .arg(limits.maxRepeat),
                    QString());
        return 0;
    }
    return int(count);
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
