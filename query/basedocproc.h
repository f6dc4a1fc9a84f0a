#pragma once

#include "generationlimits.h"
#include "queryproc.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

class QAbstractMessageHandler;
class ProcCommand;
class QTextCodec;

// What the three document generators share: the names of one generation job,
// the query processor, query-name resolution, the stack of iteration
// variables of nested repeated blocks, and the two error flags the caller
// reads afterwards. One object produces one document.
class BaseDocProc
{
public:
    BaseDocProc(const QString& sourceFileName, const QString& destinationFileName, const QString& templateFileName,
                const QString& queryFolder, QTextCodec* codec);
    virtual ~BaseDocProc();
    BaseDocProc(const BaseDocProc&) = delete;
    BaseDocProc& operator=(const BaseDocProc&) = delete;

    virtual bool generateDocument();

    void setMessageHandler(QAbstractMessageHandler* handler);
    const QString& xmlSourceFilePath();
    void reportError(const QString& message, const QString& fileName);
    QString getQueryResult(const QString& queryName);
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

    // Marker written into the document where a query failed.
    static const QString errorMarker;

    QString sourceFileName;
    QString destinationFileName;
    QString templateFileName;
    QString queryFolder;
    QTextCodec* codec;
    GenerationLimits limits;
    QueryProc queryProc;
    QAbstractMessageHandler* messageHandler = nullptr;
    bool hasTemplateErrors = false;
    QString sourceFolder;
    QVector<QString> iterateVarNames;
    QVector<int> iterateValues;
    QVector<int> iterateCounts;
    QHash<QString, QVariant> queryVars;
    QHash<QString, QString> queryFileCache;
};
