#include "workeroptions.h"

#include <QCommandLineParser>

const QString WorkerOptions::workerOption = QStringLiteral("--worker");

namespace {

const QString resourcesKey = QStringLiteral("resources");
const QString resourcesOnlyKey = QStringLiteral("resources-only");
const QString catalogueKey = QStringLiteral("catalogue");
const QString formatKey = QStringLiteral("format");
const QString templateKey = QStringLiteral("template");
const QString renameKey = QStringLiteral("rename");
const QString overwriteKey = QStringLiteral("overwrite");
const QString skipExistingKey = QStringLiteral("skip-existing");
const QString maxRepeatKey = QStringLiteral("max-repeat");
const QString picturesKey = QStringLiteral("allow-outside-pictures");
const QString showPathKey = QStringLiteral("show-path");
const QString pdfKey = QStringLiteral("pdf");
const QString pdfOnlyKey = QStringLiteral("pdf-only");
const QString pdfTimeLimitKey = QStringLiteral("pdf-time-limit");

QString option(const QString& key)
{
    return QStringLiteral("--") + key;
}

} // namespace

QStringList WorkerOptions::arguments() const
{
    QStringList arguments{workerOption, option(formatKey), format, option(maxRepeatKey),
                          QString::number(limits.maxRepeat)};
    for (const QString& folder : resourceFolders)
        arguments << option(resourcesKey) << folder;
    if (resourceFoldersComplete)
        arguments << option(resourcesOnlyKey);
    if (!catalogueFile.isEmpty())
        arguments << option(catalogueKey) << catalogueFile;
    if (!templateName.isEmpty())
        arguments << option(templateKey) << templateName;
    if (rename)
        arguments << option(renameKey);
    if (overwrite)
        arguments << option(overwriteKey);
    if (skipExisting)
        arguments << option(skipExistingKey);
    if (limits.picturesOutsideSource)
        arguments << option(picturesKey);
    if (pdf != PdfOutput::None)
        arguments << option(pdf == PdfOutput::Only ? pdfOnlyKey : pdfKey) << option(pdfTimeLimitKey)
                  << QString::number(pdfTimeLimit);
    if (showPath != ShowPath::Default)
        arguments << option(showPathKey) << (showPath == ShowPath::Yes ? QStringLiteral("1") : QStringLiteral("0"));
    return arguments;
}

bool WorkerOptions::isWorkerCall(const QStringList& arguments)
{
    return arguments.size() > 1 && arguments.at(1) == workerOption;
}

bool WorkerOptions::parse(const QStringList& arguments)
{
    if (!isWorkerCall(arguments))
        return false;
    QCommandLineParser parser;
    const QCommandLineOption workerFlag(workerOption.mid(2));
    const QCommandLineOption resourcesOption(resourcesKey, QString(), QStringLiteral("DIR"));
    const QCommandLineOption resourcesOnlyOption(resourcesOnlyKey);
    const QCommandLineOption catalogueOption(catalogueKey, QString(), QStringLiteral("FILE"));
    const QCommandLineOption formatOption(formatKey, QString(), QStringLiteral("F"));
    const QCommandLineOption templateOption(templateKey, QString(), QStringLiteral("NAME"));
    const QCommandLineOption renameOption(renameKey);
    const QCommandLineOption overwriteOption(overwriteKey);
    const QCommandLineOption skipExistingOption(skipExistingKey);
    const QCommandLineOption maxRepeatOption(maxRepeatKey, QString(), QStringLiteral("N"));
    const QCommandLineOption picturesOption(picturesKey);
    const QCommandLineOption showPathOption(showPathKey, QString(), QStringLiteral("B"));
    const QCommandLineOption pdfOption(pdfKey);
    const QCommandLineOption pdfOnlyOption(pdfOnlyKey);
    const QCommandLineOption pdfTimeLimitOption(pdfTimeLimitKey, QString(), QStringLiteral("S"));
    parser.addOptions({workerFlag, resourcesOption, resourcesOnlyOption, catalogueOption, formatOption, templateOption,
                       renameOption, overwriteOption, skipExistingOption, maxRepeatOption, picturesOption, showPathOption, pdfOption,
                       pdfOnlyOption, pdfTimeLimitOption});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty())
        return false;
    resourceFolders = parser.values(resourcesOption);
    resourceFoldersComplete = parser.isSet(resourcesOnlyOption);
    catalogueFile = parser.value(catalogueOption);
    if (parser.isSet(formatOption))
        format = parser.value(formatOption);
    templateName = parser.value(templateOption);
    rename = parser.isSet(renameOption);
    overwrite = parser.isSet(overwriteOption);
    skipExisting = parser.isSet(skipExistingOption);
    limits.picturesOutsideSource = parser.isSet(picturesOption);
    bool ok = true;
    if (parser.isSet(maxRepeatOption))
        limits.maxRepeat = parser.value(maxRepeatOption).toInt(&ok);
    if (parser.isSet(pdfOnlyOption))
        pdf = PdfOutput::Only;
    else if (parser.isSet(pdfOption))
        pdf = PdfOutput::Beside;
    if (parser.isSet(pdfTimeLimitOption))
        pdfTimeLimit = qMax(0, parser.value(pdfTimeLimitOption).toInt());
    if (parser.isSet(showPathOption))
        showPath = parser.value(showPathOption) == QLatin1String("1") ? ShowPath::Yes : ShowPath::No;
    return ok && limits.maxRepeat >= 0;
}
