#include "querycheck.h"

#include "basedocproc.h"
#include "globals.h"
#include "templatecheckresult.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The name in the engine's "No value is available for the external variable
// with name i." (code XPDY0002), empty when the message is another.
QString unboundVariable(const CollectedMessages::Message& message)
{
    static const QRegularExpression name(QStringLiteral("external variable with name (\\S+?)\\.?$"));
    if (message.code != QLatin1String("XPDY0002"))
        return QString();
    return name.match(message.text).captured(1);
}

QString shownQueryName(const QString& queryName)
{
    return checkExt(queryName, QStringLiteral("xq"));
}

} // namespace

QueryCheck::QueryCheck(const QString& sourcePath)
    : queries(sourcePath, QueryProc::BindSourceAsVariable | QueryProc::UseFileUrls)
{
    queries.setMessageHandler(&messages);
}

const QueryCheck::Outcome& QueryCheck::compile(const QString& path, const QStringList& variables)
{
    QStringList names = variables;
    names.sort();
    const QString key = path + QLatin1Char('\n') + names.join(QLatin1Char(' '));
    auto found = outcomes.find(key);
    if (found != outcomes.end())
        return found.value();
    QHash<QString, QVariant> bound;
    for (const QString& name : variables)
        bound.insert(name, 1);
    messages.take();
    Outcome outcome;
    outcome.valid = queries.compiles(path, bound);
    outcome.messages = messages.take();
    return outcomes.insert(key, outcome).value();
}

void QueryCheck::reportCompileErrors(TemplateCheckResult& result, const CheckPlace& place,
                                     const QString& shownName, const Outcome& outcome,
                                     const QStringList& variables)
{
    if (outcome.valid)
        return;
    if (outcome.messages.isEmpty())
        result.addError(place, QStringLiteral("Запрос %1 не компилируется").arg(shownName));
    for (const CollectedMessages::Message& message : outcome.messages) {
        const QString variable = unboundVariable(message);
        if (!variable.isEmpty() && !variables.contains(variable)) {
            result.addError(place,
                            QStringLiteral("Запрос %1 объявляет внешнюю переменную $%2 (%3), а ни один "
                                           "блок итераций вокруг команды её не задаёт")
                                .arg(shownName, variable, message.where()));
        } else {
            result.addError(place,
                            QStringLiteral("Запрос %1 не компилируется: %2").arg(shownName, message.shown()));
        }
    }
}

void QueryCheck::checkCommand(TemplateCheckResult& result, const CheckedCommand& command,
                              const QString& queryFolder, const QStringList& variables)
{
    const QString queryName = command.command.option(QStringLiteral("query"));
    if (queryName.isEmpty())
        return;
    QString error;
    const QString path = BaseDocProc::resolveQueryFile(queryFolder, queryName, &error);
    if (path.isEmpty()) {
        result.addError(command.place, error);
        return;
    }
    if (!QFileInfo(path).isFile()) {
        result.addError(
            command.place,
            QStringLiteral("Нет файла запроса %1 команды %2: его нет в папке %3 ни одной "
                           "папки ресурсов; в документ попадёт «%4»")
                .arg(shownQueryName(queryName), command.written, queryFolder, BaseDocProc::errorMarker));
        return;
    }
    reportCompileErrors(result, command.place, shownQueryName(queryName), compile(path, variables),
                        variables);
}

bool QueryCheck::usesVariable(const CheckedCommand& command, const QString& queryFolder,
                              const QStringList& variables, const QString& variable)
{
    const QString queryName = command.command.option(QStringLiteral("query"));
    if (queryName.isEmpty())
        return false;
    const QString path = BaseDocProc::resolveQueryFile(queryFolder, queryName, nullptr);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    // A query that fails anyway says nothing about the variable; count it as
    // a use, so that its own error is the one reported.
    if (!compile(path, variables).valid)
        return true;
    QStringList without = variables;
    without.removeAll(variable);
    for (const CollectedMessages::Message& message : compile(path, without).messages) {
        if (unboundVariable(message) == variable)
            return true;
    }
    return false;
}

void QueryCheck::checkCatalogueQuery(TemplateCheckResult& result, const CheckPlace& place,
                                     const QString& role, const QString& queryName,
                                     const QString& queryFolder)
{
    const QString path = locateInResource(queryFolder, shownQueryName(queryName));
    if (path.isEmpty()) {
        result.addError(place, QStringLiteral("Нет файла %1 %2: его нет в папке %3 ни одной папки ресурсов")
                                   .arg(role, shownQueryName(queryName), queryFolder));
        return;
    }
    reportCompileErrors(result, place, shownQueryName(queryName), compile(path, {}), {});
}
