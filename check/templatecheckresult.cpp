#include "templatecheckresult.h"

#include <algorithm>

QString CheckPlace::shown() const
{
    QStringList pieces;
    if (!part.isEmpty())
        pieces << part;
    if (line > 0)
        pieces << QStringLiteral("строка %1").arg(line);
    if (paragraph > 0)
        pieces << QStringLiteral("абзац %1").arg(paragraph);
    return pieces.join(QStringLiteral(", "));
}

QString CheckPlace::partColumn() const
{
    if (line <= 0)
        return part;
    if (part.isEmpty())
        return QString::number(line);
    return part + QLatin1Char(':') + QString::number(line);
}

QString CheckedCommand::kindName() const
{
    switch (command.commandType()) {
    case TableInsert:
        return QStringLiteral("таблица");
    case IterateStart:
        return QStringLiteral("начало блока");
    case IterateEnd:
        return QStringLiteral("конец блока");
    case PictureInsert:
        return QStringLiteral("рисунок");
    case TextInsert:
        break;
    }
    return QStringLiteral("текст");
}

void TemplateCheckResult::add(const CheckPlace& place, CheckSeverity severity, const QString& message)
{
    const QString key = place.partColumn() + QLatin1Char('\t') + QString::number(place.paragraph) +
                        QLatin1Char('\t') + message;
    if (known.contains(key))
        return;
    known.insert(key);
    findings.append({place, severity, message});
}

int TemplateCheckResult::count(CheckSeverity severity) const
{
    int n = 0;
    for (const CheckFinding& finding : findings)
        n += finding.severity == severity ? 1 : 0;
    return n;
}

void TemplateCheckResult::sortFindings()
{
    QStringList parts;
    for (const CheckedCommand& command : qAsConst(commands)) {
        if (!parts.contains(command.place.part))
            parts << command.place.part;
    }
    const auto rank = [&parts](const CheckPlace& place) {
        const int index = parts.indexOf(place.part);
        return index < 0 ? parts.size() : index;
    };
    std::stable_sort(findings.begin(), findings.end(), [&rank](const CheckFinding& a, const CheckFinding& b) {
        const int ra = rank(a.place);
        const int rb = rank(b.place);
        if (ra != rb)
            return ra < rb;
        if (a.place.part != b.place.part)
            return a.place.part < b.place.part;
        if (a.place.line != b.place.line)
            return a.place.line < b.place.line;
        return a.place.paragraph < b.place.paragraph;
    });
}
