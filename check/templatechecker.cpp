#include "templatechecker.h"

#include "blockstructure.h"
#include "commandwordscheck.h"
#include "domtemplatescan.h"
#include "dryrun.h"
#include "globals.h"
#include "querycheck.h"
#include "rtftemplatescan.h"
#include "templatelist.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <memory>
#include <vector>

const QStringList TemplateChecker::allFormats{QStringLiteral("docx"), QStringLiteral("odt"),
                                              QStringLiteral("rtf")};

namespace {

// What $inputDocument holds while queries compile without a sample; the
// file is never read.
QString placeholderSource()
{
    return QDir::temp().filePath(QStringLiteral("plinthworks-check-source.xml"));
}

} // namespace

QVector<CheckedTemplate> TemplateChecker::entriesOf(const TemplateList& catalogue,
                                                    const QString& cataloguePath)
{
    // The list skips empty lines as it loads; the entries are the other
    // lines in order.
    QVector<int> lines;
    QFile file(cataloguePath);
    if (!cataloguePath.isEmpty() && file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&file);
        in.setCodec("UTF-8");
        for (int number = 1; !in.atEnd(); ++number) {
            if (!in.readLine().isEmpty())
                lines << number;
        }
    }
    const bool matches = lines.size() == catalogue.count();
    QVector<CheckedTemplate> entries;
    for (int i = 0; i < catalogue.count(); ++i) {
        const TemplateItem* item = catalogue.getItem(i);
        entries.append({item->name, item->templateFile, item->queryFolder(), item->nameQuery,
                        item->matchQuery, matches ? lines.at(i) : i + 1});
    }
    return entries;
}

TemplateCheckResult TemplateChecker::catalogueLines(const QString& cataloguePath)
{
    TemplateCheckResult result;
    result.templatePath = cataloguePath;
    for (const QString& problem : TemplateList::unusableLines(cataloguePath))
        result.addError({TemplateList::catalogueFileName, 0, 0}, problem);
    return result;
}

QVector<TemplateCheckResult> TemplateChecker::check(const CheckedTemplate& entry, const Options& options)
{
    QueryCheck queries(options.samplePath.isEmpty() ? placeholderSource() : options.samplePath);
    TemplateCheckResult line;
    line.templateName = entry.name;
    const CheckPlace place{options.catalogueName, entry.line, 0};
    line.catalogueLine = place;
    if (entry.matchQuery.isEmpty()) {
        line.addWarning(place,
                        QStringLiteral("Не указан запрос соответствия: автоподбор этот шаблон не выберет"));
    } else {
        queries.checkCatalogueQuery(line, place, QStringLiteral("запроса соответствия"), entry.matchQuery,
                                    entry.queryFolder);
    }
    if (!entry.nameQuery.isEmpty()) {
        queries.checkCatalogueQuery(line, place, QStringLiteral("запроса имени"), entry.nameQuery,
                                    entry.queryFolder);
    }

    QVector<TemplateCheckResult> files;
    if (entry.templateFile.isEmpty()) {
        line.addError(place, QStringLiteral("Не указан файл шаблона"));
        return {line};
    }
    QStringList missing;
    for (const QString& format : options.formats.isEmpty() ? allFormats : options.formats) {
        const QString fileName = checkExt(entry.templateFile, format);
        const QString path = locateInResource(QStringLiteral("Templates"), fileName);
        if (path.isEmpty())
            missing << fileName;
        else
            files.append(checkFile(entry, format, path, options, queries));
    }
    if (!options.formats.isEmpty() || files.isEmpty()) {
        for (const QString& fileName : qAsConst(missing)) {
            line.addError(place,
                          QStringLiteral("Нет файла шаблона %1: его нет в папке Templates ни одной папки "
                                         "ресурсов")
                              .arg(fileName));
        }
    } else {
        for (const QString& fileName : qAsConst(missing)) {
            line.addWarning(place,
                            QStringLiteral("Нет файла шаблона %1: документы в этом формате по шаблону не "
                                           "формируются")
                                .arg(fileName));
        }
    }
    return QVector<TemplateCheckResult>{line} + files;
}

TemplateCheckResult TemplateChecker::checkFile(const CheckedTemplate& entry, const QString& format,
                                               const QString& path, const Options& options,
                                               QueryCheck& queries)
{
    TemplateCheckResult result;
    result.templateName = entry.name;
    result.format = format;
    result.templatePath = path;
    const bool rtf = format == QLatin1String("rtf");
    if (rtf)
        RtfTemplateScan(result).scan(path);
    else
        DomTemplateScan(result, format).scan(path);
    CommandWordsCheck::check(result);

    // Each part is a walk of its own: blocks pair within it.
    BlockStructure::Rules rules;
    rules.commandParagraphsDropped = !rtf;
    rules.missingEndStopsWalk = format == QLatin1String("odt");
    std::vector<std::unique_ptr<BlockStructure>> parts;
    const QVector<CheckedCommand>& commands = result.commands;
    for (int first = 0; first < commands.size();) {
        int last = first;
        while (last < commands.size() && commands.at(last).place.part == commands.at(first).place.part)
            ++last;
        parts.push_back(std::make_unique<BlockStructure>(result, first, last, rules));
        first = last;
    }

    QVector<const BlockStructure*> structures;
    for (const auto& part : parts) {
        structures << part.get();
        // Commands that the walk never executes have been named as such.
        for (int i = part->begin(); i < part->end(); ++i) {
            if (part->executed(i))
                queries.checkCommand(result, commands.at(i), entry.queryFolder, part->enclosing(i));
        }
        for (int i = part->begin(); i < part->end(); ++i) {
            const int end = part->endOf(i);
            if (end < 0)
                continue;
            const QString variable = commands.at(i).command.option(QStringLiteral("iterate_start"));
            bool used = false;
            for (int k = i + 1; k < end && !used; ++k)
                used = queries.usesVariable(commands.at(k), entry.queryFolder, part->enclosing(k), variable);
            if (!used) {
                result.addWarning(
                    commands.at(i).place,
                    QStringLiteral("Переменная %1 блока %2 не используется ни одним запросом внутри "
                                   "блока: все повторения выйдут одинаковыми")
                        .arg(variable, commands.at(i).written));
            }
        }
    }
    if (!options.samplePath.isEmpty())
        DryRun(options.samplePath, path, entry.queryFolder, rtf, options.limits).run(result, structures);
    result.sortFindings();
    return result;
}
