#include "checkreport.h"

#include "globals.h"

#include <QSet>

namespace {

QString field(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString commandLine(const CheckedCommand& command)
{
    const QString query = command.command.option(QStringLiteral("query"));
    return QStringLiteral("    %1: %2 — %3, %4")
        .arg(command.place.shown(), command.written, command.kindName(),
             query.isEmpty() ? QStringLiteral("без запроса") : QStringLiteral("запрос ") + query);
}

} // namespace

QString CheckReport::severityName(CheckSeverity severity)
{
    return severity == CheckSeverity::Error ? QStringLiteral("ошибка") : QStringLiteral("предупреждение");
}

QString CheckReport::subject(const TemplateCheckResult& result)
{
    if (result.templateName.isEmpty())
        return QStringLiteral("Список шаблонов");
    return result.format.isEmpty() ? result.templateName
                                   : result.templateName + QStringLiteral(", ") + result.format.toUpper();
}

int CheckReport::count(const QVector<TemplateCheckResult>& results, CheckSeverity severity)
{
    int n = 0;
    for (const TemplateCheckResult& result : results)
        n += result.count(severity);
    return n;
}

QString CheckReport::listing(const QVector<TemplateCheckResult>& results)
{
    QString text;
    for (const TemplateCheckResult& result : results) {
        text += subject(result);
        if (!result.templatePath.isEmpty())
            text += QStringLiteral(": ") + shownFileName(result.templatePath);
        else if (!result.catalogueLine.part.isEmpty())
            text += QStringLiteral(": ") + result.catalogueLine.shown();
        text += QLatin1Char('\n');
        if (!result.format.isEmpty())
            text += QStringLiteral("  Команды: %1\n").arg(result.commands.size());
        for (const CheckedCommand& command : result.commands) {
            text += commandLine(command) + QLatin1Char('\n');
            for (const SampleValue& sample : command.samples) {
                text += QStringLiteral("      → ");
                if (!sample.variables.isEmpty())
                    text += sample.variables + QStringLiteral(": ");
                text += sample.value + QLatin1Char('\n');
            }
            if (command.runs > command.samples.size())
                text += QStringLiteral("      … выполнений всего: %1\n").arg(command.runs);
        }
        if (result.findings.isEmpty()) {
            text += QStringLiteral("  Замечаний нет.\n");
            continue;
        }
        text += QStringLiteral("  Замечания: %1\n").arg(result.findings.size());
        for (const CheckFinding& finding : result.findings) {
            const QString place = finding.place.shown();
            text += QStringLiteral("    ") + (place.isEmpty() ? QString() : place + QStringLiteral(": ")) +
                    severityName(finding.severity) + QStringLiteral(": ") + finding.message +
                    QLatin1Char('\n');
        }
    }
    return text;
}

QString CheckReport::tabSeparated(const QVector<TemplateCheckResult>& results)
{
    QString text = QStringLiteral("Шаблон\tФормат\tЧасть\tАбзац\tВажность\tСообщение\n");
    for (const TemplateCheckResult& result : results) {
        for (const CheckFinding& finding : result.findings) {
            const QStringList fields{field(result.templateName),
                                     result.format,
                                     field(finding.place.partColumn()),
                                     finding.place.paragraph > 0 ? QString::number(finding.place.paragraph)
                                                                 : QString(),
                                     severityName(finding.severity),
                                     field(finding.message)};
            text += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
        }
    }
    return text;
}

QString CheckReport::summary(const QVector<TemplateCheckResult>& results)
{
    QSet<QString> templates;
    for (const TemplateCheckResult& result : results) {
        if (!result.templateName.isEmpty())
            templates.insert(result.templateName);
    }
    return QStringLiteral("Проверено шаблонов: %1; ошибок: %2, предупреждений: %3")
        .arg(templates.size())
        .arg(count(results, CheckSeverity::Error))
        .arg(count(results, CheckSeverity::Warning));
}
