#pragma once

#include "basedocproc.h"
#include "collectedmessages.h"

#include <QString>

class BlockStructure;
struct CheckPlace;
struct TemplateCheckResult;

// Runs the commands of a checked template against a sample source file as
// generation would: the same query resolution, iteration variables, counts
// and limits, blocks repeated as often as the document will repeat them.
// Keeps the first results of each command as the document gets them, and
// tells the failures met on the way; writes nothing.
class DryRun : public BaseDocProc
{
public:
    DryRun(const QString& samplePath, const QString& templatePath, const QString& queryFolder, bool rtf,
           const GenerationLimits& limits);

    // Runs the commands of each part, paired as `parts` say.
    void run(TemplateCheckResult& result, const QVector<const BlockStructure*>& parts);

    // How many results of a command are kept, and how much of each.
    static constexpr int keptRuns = 3;
    static constexpr int shownLength = 200;
    // A result as one line: its start, line feeds shown as ⏎ and tabs as ⇥.
    static QString shownValue(const QString& value);

private:
    void runRange(TemplateCheckResult& result, const BlockStructure& structure, int from, int to);
    QString valueOf(TemplateCheckResult& result, int index, const QString& queryResult);
    void record(TemplateCheckResult& result, const BlockStructure& structure, int index,
                const QString& value);
    void takeMessages(TemplateCheckResult& result, const CheckPlace& place, const QString& queryName);

    CollectedMessages messages;
    bool rtf;
};
