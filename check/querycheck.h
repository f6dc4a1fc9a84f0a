#pragma once

#include "collectedmessages.h"
#include "queryproc.h"

#include <QHash>
#include <QString>
#include <QStringList>

struct CheckPlace;
struct CheckedCommand;
struct TemplateCheckResult;

// Finds the query files of commands and catalogue lines as generation and
// detection find them, and compiles each with the external variables it
// will get there, without running it: missing files, compile errors with
// the engine's line and column, and external variables that no block
// around the command provides.
class QueryCheck
{
public:
    // `sourcePath` is what $inputDocument holds while compiling; the file
    // need not exist.
    explicit QueryCheck(const QString& sourcePath);

    // The query of a command that runs inside blocks of `variables`.
    void checkCommand(TemplateCheckResult& result, const CheckedCommand& command, const QString& queryFolder,
                      const QStringList& variables);
    // Whether the command's query reads `variable`, one of `variables`: it
    // declares it external, so that it does not compile without it.
    bool usesVariable(const CheckedCommand& command, const QString& queryFolder, const QStringList& variables,
                      const QString& variable);
    // The match or name query of a catalogue line; `role` names it in messages.
    void checkCatalogueQuery(TemplateCheckResult& result, const CheckPlace& place, const QString& role,
                             const QString& queryName, const QString& queryFolder);

private:
    struct Outcome
    {
        bool valid = false;
        QVector<CollectedMessages::Message> messages;
    };
    const Outcome& compile(const QString& path, const QStringList& variables);
    void reportCompileErrors(TemplateCheckResult& result, const CheckPlace& place, const QString& shownName,
                             const Outcome& outcome, const QStringList& variables);

    CollectedMessages messages;
    QueryProc queries;
    // Outcomes by query file and variable names.
    QHash<QString, Outcome> outcomes;
};
