#include "dryrun.h"

#include "blockstructure.h"
#include "globals.h"
#include "picturefile.h"
#include "templatecheckresult.h"

#include <QXmlQuery>

DryRun::DryRun(const QString& samplePath, const QString& templatePath, const QString& queryFolder, bool rtf,
               const GenerationLimits& limits)
    : BaseDocProc(samplePath, QString(), templatePath, queryFolder, nullptr), rtf(rtf)
{
    setMessageHandler(&messages);
    setLimits(limits);
}

QString DryRun::shownValue(const QString& value)
{
    QString shown = value.left(shownLength);
    shown.remove(QLatin1Char('\r'));
    shown.replace(QLatin1Char('\n'), QStringLiteral("⏎"));
    shown.replace(QLatin1Char('\t'), QStringLiteral("⇥"));
    return value.size() > shownLength ? shown + QStringLiteral("…") : shown;
}

void DryRun::run(TemplateCheckResult& result, const QVector<const BlockStructure*>& parts)
{
    for (const BlockStructure* structure : parts)
        runRange(result, *structure, structure->begin(), structure->end());
}

void DryRun::takeMessages(TemplateCheckResult& result, const CheckPlace& place, const QString& queryName)
{
    const QVector<CollectedMessages::Message> taken = messages.take();
    // Missing and invalid query files were told by the check of the
    // template; here only what running on the sample shows.
    const QXmlQuery* query =
        queryName.isEmpty() ? nullptr : queryProc().cachedQuery(queryFilePath(queryName));
    const QString sample = shownFileName(sourceFileName());
    for (const CollectedMessages::Message& message : taken) {
        if (message.code.isEmpty() && message.location.line() < 0 && message.location.uri().isEmpty()) {
            result.addError(place, QStringLiteral("На файле %1: %2").arg(sample, message.text));
        } else if (query && query->isValid()) {
            result.addError(place,
                            QStringLiteral("На файле %1 запрос %2 не выполнился: %3")
                                .arg(sample, checkExt(queryName, QStringLiteral("xq")), message.shown()));
        }
    }
}

QString DryRun::valueOf(TemplateCheckResult& result, int index, const QString& queryResult)
{
    const CheckedCommand& checked = result.commands.at(index);
    const ProcCommand& command = checked.command;
    QString value;
    switch (rtf && command.commandType() == PictureInsert ? TextInsert : command.commandType()) {
    case TableInsert: {
        const int rows = queryResult.isEmpty() ? 1 : int(queryResult.count(QLatin1Char('\n'))) + 1;
        value = QStringLiteral("строк: %1").arg(rows);
        const QString cells =
            queryResult.isEmpty() ? command.option(QStringLiteral("replace_empty")) : queryResult;
        if (!cells.isEmpty())
            value += QStringLiteral(" — ") + shownValue(cells);
        break;
    }
    case PictureInsert: {
        // The picture is read as generation reads it, with the same limits.
        const QString name = queryResult.trimmed();
        value = name.isEmpty() ? QStringLiteral("нет рисунка") : QStringLiteral("рисунок %1").arg(name);
        PictureFile picture;
        QString refusal;
        if (!name.isEmpty() && !picture.loadFrom(concatPath(xmlSourceFilePath(), name), xmlSourceFilePath(),
                                                 command.option(QStringLiteral("query")), limits(), &refusal)) {
            value += QStringLiteral(" — не будет вставлен");
            result.addWarning(checked.place,
                              QStringLiteral("На файле %1: %2").arg(shownFileName(sourceFileName()), refusal));
        }
        break;
    }
    default:
        value =
            shownValue(queryResult.isEmpty() ? command.option(QStringLiteral("replace_empty")) : queryResult);
        break;
    }
    if (command.hasOption(QStringLiteral("delete_empty_section")) &&
        (queryResult.isEmpty() || queryResult == QLatin1String("0")))
        value += QStringLiteral(" (раздел будет удалён)");
    return value;
}

void DryRun::record(TemplateCheckResult& result, const BlockStructure& structure, int index,
                    const QString& value)
{
    CheckedCommand& command = result.commands[index];
    ++command.runs;
    if (command.samples.size() >= keptRuns)
        return;
    QStringList variables;
    for (const QString& name : structure.enclosing(index))
        variables << name + QLatin1Char('=') + queryVars().value(name).toString();
    command.samples.append({variables.join(QStringLiteral(", ")), value});
}

void DryRun::runRange(TemplateCheckResult& result, const BlockStructure& structure, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (!structure.executed(i))
            continue;
        const ProcCommand command = result.commands.at(i).command;
        const CheckPlace place = result.commands.at(i).place;
        const QString queryName = command.option(QStringLiteral("query"));
        const int end = command.commandType() == IterateStart ? structure.endOf(i) : -1;
        if (command.commandType() == IterateEnd || (command.commandType() == IterateStart && end < 0))
            continue;
        const QString value = queryName.isEmpty() ? QString() : getQueryResult(queryName);
        takeMessages(result, place, queryName);
        if (end < 0) {
            record(result, structure, i, valueOf(result, i, value));
            continue;
        }
        if (!structure.produced(i)) {
            record(result, structure, i, QStringLiteral("блок не выводится"));
            i = end;
            continue;
        }
        int repetitions = 0;
        produceRepetitions(
            command, value,
            [&] {
                ++repetitions;
                runRange(result, structure, i + 1, end);
            },
            [] {});
        takeMessages(result, place, queryName);
        record(result, structure, i, QStringLiteral("повторений: %1").arg(repetitions));
        i = end;
    }
}
