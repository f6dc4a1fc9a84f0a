#include "batchcheck.h"

#include "batchrunner.h"
#include "checkreport.h"
#include "globals.h"
#include "templatechecker.h"
#include "templatelist.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

bool writeTo(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size()) &&
           std::fflush(stream) == 0;
}

} // namespace

bool BatchCheck::writeReport(const QString& text) const
{
    if (options.reportFile == QLatin1String("-"))
        return writeTo(stdout, text);
    QFile file(options.reportFile);
    const QByteArray bytes = text.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.flush();
}

int BatchCheck::run()
{
    if (!options.sampleFile.isEmpty() && !QFileInfo(options.sampleFile).isFile()) {
        BatchRunner::printError(
            QStringLiteral("Не найден файл для пробного прогона: %1").arg(options.sampleFile));
        return 2;
    }
    const QString cataloguePath =
        locateInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName);
    TemplateList catalogue;
    if (cataloguePath.isEmpty() || !catalogue.load(cataloguePath)) {
        BatchRunner::printError(
            QStringLiteral("Ошибка! Не удалось загрузить список шаблонов: %1 в папке Settings ресурсов")
                .arg(TemplateList::catalogueFileName));
        return 1;
    }
    QVector<CheckedTemplate> entries = TemplateChecker::entriesOf(catalogue, cataloguePath);
    QVector<TemplateCheckResult> results;
    if (options.checkTemplates.isEmpty()) {
        const TemplateCheckResult lines = TemplateChecker::catalogueLines(cataloguePath);
        if (!lines.findings.isEmpty())
            results.append(lines);
    } else {
        QVector<CheckedTemplate> chosen;
        for (const QString& name : qAsConst(options.checkTemplates)) {
            const int index = catalogue.indexOf(static_cast<TemplateItem*>(catalogue.itemByName(name)));
            if (index < 0) {
                BatchRunner::printError(QStringLiteral("Шаблон не найден в списке шаблонов: %1").arg(name));
                return 2;
            }
            chosen.append(entries.at(index));
        }
        entries = chosen;
    }

    TemplateChecker::Options checkOptions;
    if (options.formatGiven)
        checkOptions.formats = QStringList{options.format};
    checkOptions.samplePath =
        options.sampleFile.isEmpty() ? QString() : QFileInfo(options.sampleFile).absoluteFilePath();
    checkOptions.limits.maxRepeat = options.maxRepeat;
    checkOptions.limits.picturesOutsideSource = options.picturesOutsideSource;
    for (const CheckedTemplate& entry : qAsConst(entries))
        results += TemplateChecker::check(entry, checkOptions);

    // With the report on standard output the listing goes to standard error.
    FILE* listingStream = options.reportFile == QLatin1String("-") ? stderr : stdout;
    writeTo(listingStream, CheckReport::listing(results) + CheckReport::summary(results) + QLatin1Char('\n'));
    int status = CheckReport::count(results, CheckSeverity::Error) > 0 ? 1 : 0;
    if (!options.reportFile.isEmpty() && !writeReport(CheckReport::tabSeparated(results))) {
        BatchRunner::printError(
            QStringLiteral("Ошибка сохранения отчёта в файл: %1").arg(options.reportFile));
        status = 1;
    }
    return status;
}
