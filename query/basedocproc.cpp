#include "basedocproc.h"

#include "globals.h"
#include "proccommand.h"
#include "stagedfile.h"
#include "status.h"

#include <QAbstractMessageHandler>
#include <QFileInfo>
#include <QSourceLocation>
#include <QTextCodec>
#include <QUrl>

const QString BaseDocProc::errorMarker = QStringLiteral("!!! ОШИБКА !!!");

BaseDocProc::BaseDocProc(const QString& sourceFileName, const QString& destinationFileName,
                         const QString& templateFileName, const QString& queryFolder, QTextCodec* codec)
    : sourceFile(sourceFileName), destinationFile(destinationFileName), templateFile(templateFileName),
      queryFolder(queryFolder), textCodec(codec ? codec : QTextCodec::codecForName("UTF-8")),
      queries(sourceFileName)
{
}

BaseDocProc::~BaseDocProc() = default;

bool BaseDocProc::generateDocument()
{
    return false;
}

bool BaseDocProc::publish(StagedFile& staged) const
{
    return documentPublisher ? documentPublisher(staged) : staged.commit();
}

void BaseDocProc::setMessageHandler(QAbstractMessageHandler* handler)
{
    messageHandler = handler;
    queries.setMessageHandler(handler);
}

const QString& BaseDocProc::xmlSourceFilePath()
{
    if (sourceFolder.isEmpty() && !sourceFile.isEmpty())
        sourceFolder = QFileInfo(sourceFile).absolutePath();
    return sourceFolder;
}

void BaseDocProc::reportError(const QString& message, const QString& fileName)
{
    if (messageHandler) {
        messageHandler->message(QtCriticalMsg, message, QUrl(),
                                QSourceLocation(QUrl(fileName, QUrl::TolerantMode), -1, -1));
    }
    templateErrors = true;
}

QString BaseDocProc::resolveQueryFile(const QString& queryFolder, const QString& queryName, QString* error)
{
    const QString fileName = checkExt(queryName, QStringLiteral("xq"));
    // A name that climbs out of the query folder would run any file.
    if (QString(fileName)
            .replace(QLatin1Char('\\'), QLatin1Char('/'))
            .split(QLatin1Char('/'))
            .contains(QStringLiteral(".."))) {
        if (error) {
            *error = QStringLiteral("Ошибка в шаблоне: запрос %1 указан вне папки запросов шаблона")
                         .arg(queryName);
        }
        return QString();
    }
    const QString path = locateInResource(queryFolder, fileName);
    return path.isEmpty() ? fileName : path;
}

QString BaseDocProc::getQueryResult(const QString& queryName)
{
    QString path = queryFileCache.value(queryName);
    if (path.isEmpty()) {
        QString error;
        path = resolveQueryFile(queryFolder, queryName, &error);
        if (path.isEmpty()) {
            reportError(error, QString());
            return errorMarker;
        }
        queryFileCache.insert(queryName, path);
    }
    QString result = queries.executeQuery(path, iterations.variables());
    if (!queries.lastQuerySucceeded())
        result += errorMarker;
    return result;
}

QString BaseDocProc::commandResult(const ProcCommand& command)
{
    const QString queryName = command.option(QStringLiteral("query"));
    if (command.commandText().isEmpty()) {
        reportError(QStringLiteral("Ошибка в шаблоне: пустая команда %1").arg(command.shownText()),
                    QString());
        return QString();
    }
    if (command.commandType() == IterateEnd) {
        // A matched end is consumed by its block; one that reaches here closes nothing.
        reportError(
            QStringLiteral("Ошибка структуры шаблона: команда %1 закрывает блок итераций, который не был "
                           "открыт")
                .arg(command.shownText()),
            QString());
        return QString();
    }
    const QStringList unknown = command.unknownKeys();
    if (!unknown.isEmpty()) {
        const QString message = QStringLiteral("Ошибка в шаблоне: неизвестное слово «%1» в команде %2")
                                    .arg(unknown.join(QStringLiteral("», «")), command.shownText());
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
        reportError(
            QStringLiteral("Ошибка в шаблоне: запрос %1 команды %2 вернул «%3» вместо числа повторений "
                           "(целого неотрицательного числа)")
                .arg(queryName, command.shownText(), text.left(100)),
            QString());
        return 0;
    }
    bool fits = false;
    const qlonglong count = text.toLongLong(&fits);
    if (!fits || count > generationLimits.maxRepeat) {
        reportError(
            QStringLiteral("Ошибка в шаблоне: запрос %1 команды %2 вернул число повторений %3, больше "
                           "допустимого %4")
                .arg(queryName, command.shownText(), text.left(100))
                .arg(generationLimits.maxRepeat),
            QString());
        return 0;
    }
    return int(count);
}

bool BaseDocProc::initIterateVar(const QString& name, int count)
{
    if (iterations.contains(name)) {
        reportError(
            QStringLiteral("Ошибка! Повторное использование переменной %1 во вложенном цикле").arg(name),
            QString());
        return false;
    }
    if (count < 1)
        return false;
    iterations.open(name, count);
    return true;
}

int BaseDocProc::incIterateVarOnTop()
{
    return iterations.advance();
}

void BaseDocProc::produceRepetitions(const ProcCommand& command, const QString& result,
                                     const std::function<void()>& produceBody,
                                     const std::function<void()>& produceSeparator)
{
    int count = iterationCount(command, result);
    if (count < 1 && command.hasOption(QStringLiteral("keep_empty")))
        count = 1;
    if (!initIterateVar(command.option(QStringLiteral("iterate_start")), count))
        return;
    const bool separated = !command.option(QStringLiteral("separate")).isEmpty();
    for (int value = incIterateVarOnTop(); value != 0; value = incIterateVarOnTop()) {
        produceBody();
        if (separated && value != count)
            produceSeparator();
    }
}
