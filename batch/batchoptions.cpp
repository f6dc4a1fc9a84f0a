#include "batchoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

bool checkMask(const QString& mask, const QString& option, QString* error)
{
    if (mask.isEmpty() || QRegularExpression(mask).isValid())
        return true;
    *error = QStringLiteral("Недопустимое регулярное выражение в %1: %2").arg(option, mask);
    return false;
}

bool readCount(const QString& value, const QString& option, int minimum, int* target, QString* error)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok && number >= minimum) {
        *target = number;
        return true;
    }
    *error = QStringLiteral("Параметру %1 нужно целое число не меньше %2: %3").arg(option).arg(minimum).arg(value);
    return false;
}

// The parser's own complaint, in the words of the usage text. The parser
// names the option in quotes: "Missing value after '--format'."
QString usageError(const QCommandLineParser& parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& name = unknown.first();
        return QStringLiteral("Неизвестный параметр: %1%2").arg(name.size() == 1 ? "-" : "--", name);
    }
    const QString text = parser.errorText();
    const QString option = text.section(QLatin1Char('\''), 1, 1);
    if (text.startsWith(QLatin1String("Missing value")))
        return QStringLiteral("Параметру %1 нужно значение").arg(option);
    if (text.startsWith(QLatin1String("Unexpected value")))
        return QStringLiteral("Параметр %1 не принимает значения").arg(option);
    return text;
}

} // namespace

bool BatchOptions::parse(const QStringList& arguments, QString* error)
{
    QCommandLineParser parser;
    const QCommandLineOption resourcesOption(QStringLiteral("resources"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("F"));
    const QCommandLineOption templateOption(QStringLiteral("template"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption reportOption(QStringLiteral("report"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption includeOption(QStringLiteral("include-mask"), QString(), QStringLiteral("RE"));
    const QCommandLineOption excludeOption(QStringLiteral("exclude-mask"), QString(), QStringLiteral("RE"));
    const QCommandLineOption timeLimitOption(QStringLiteral("time-limit"), QString(), QStringLiteral("S"));
    const QCommandLineOption maxRepeatOption(QStringLiteral("max-repeat"), QString(), QStringLiteral("N"));
    const QCommandLineOption renameOption(QStringLiteral("rename"));
    const QCommandLineOption overwriteOption(QStringLiteral("overwrite"));
    const QCommandLineOption sequentialOption(QStringLiteral("sequential"));
    const QCommandLineOption recursiveOption(QStringLiteral("unzip-recursive"));
    const QCommandLineOption picturesOption(QStringLiteral("allow-outside-pictures"));
    const QCommandLineOption pdfOption(QStringLiteral("pdf"));
    const QCommandLineOption pdfOnlyOption(QStringLiteral("pdf-only"));
    const QCommandLineOption checkOption(QStringLiteral("check"));
    const QCommandLineOption sampleOption(QStringLiteral("sample"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption filesFromOption(QStringLiteral("files-from"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption nullOption(QStringLiteral("null"));
    const QCommandLineOption skipExistingOption(QStringLiteral("skip-existing"));
    const QCommandLineOption shardOption(QStringLiteral("shard"), QString(), QStringLiteral("K/N"));
    const QCommandLineOption reportFormatOption(QStringLiteral("report-format"), QString(), QStringLiteral("F"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({resourcesOption, formatOption, templateOption, reportOption, includeOption, excludeOption,
                       timeLimitOption, maxRepeatOption, renameOption, overwriteOption, sequentialOption,
                       recursiveOption, picturesOption, pdfOption, pdfOnlyOption, checkOption, sampleOption,
                       filesFromOption, nullOption, skipExistingOption, shardOption, reportFormatOption, helpOption});
    if (!parser.parse(arguments)) {
        *error = usageError(parser);
        return false;
    }
    help = parser.isSet(helpOption);
    if (help)
        return true;

    resourceFolders = parser.values(resourcesOption);
    formatGiven = parser.isSet(formatOption);
    if (formatGiven)
        format = parser.value(formatOption).toLower();
    templateName = parser.value(templateOption);
    check = parser.isSet(checkOption);
    checkTemplates = parser.values(templateOption);
    sampleFile = parser.value(sampleOption);
    reportFile = parser.value(reportOption);
    if (parser.isSet(includeOption))
        includeMask = parser.value(includeOption);
    if (parser.isSet(excludeOption))
        excludeMask = parser.value(excludeOption);
    rename = parser.isSet(renameOption);
    overwrite = parser.isSet(overwriteOption);
    sequential = parser.isSet(sequentialOption);
    unzipRecursive = parser.isSet(recursiveOption);
    picturesOutsideSource = parser.isSet(picturesOption);
    if (parser.isSet(pdfOnlyOption))
        pdf = PdfOutput::Only;
    else if (parser.isSet(pdfOption))
        pdf = PdfOutput::Beside;
    files = parser.positionalArguments();
    filesFrom = parser.value(filesFromOption);
    nulSeparated = parser.isSet(nullOption);
    skipExisting = parser.isSet(skipExistingOption);
    if (parser.isSet(shardOption) && !Shard::parse(parser.value(shardOption), &shard, error))
        return false;
    if (parser.isSet(reportFormatOption) && !RunReport::parseFormat(parser.value(reportFormatOption), &reportFormat)) {
        *error = QStringLiteral("Неизвестный формат отчёта: %1 (допустимы tsv, jsonl)")
                     .arg(parser.value(reportFormatOption));
        return false;
    }
    if (parser.isSet(timeLimitOption)
        && !readCount(parser.value(timeLimitOption), QStringLiteral("--time-limit"), 0, &timeLimit, error))
        return false;
    if (parser.isSet(maxRepeatOption)
        && !readCount(parser.value(maxRepeatOption), QStringLiteral("--max-repeat"), 0, &maxRepeat, error))
        return false;

    if (format != QLatin1String("docx") && format != QLatin1String("odt") && format != QLatin1String("rtf")) {
        *error = QStringLiteral("Неизвестный формат: %1 (допустимы docx, odt, rtf)").arg(format);
        return false;
    }
    if (!checkMask(includeMask, QStringLiteral("--include-mask"), error)
        || !checkMask(excludeMask, QStringLiteral("--exclude-mask"), error))
        return false;
    if (check)
        return checkUsage(parser, error);
    if (parser.isSet(sampleOption)) {
        *error = QStringLiteral("Параметр --sample используется только с --check");
        return false;
    }
    if (checkTemplates.size() > 1) {
        *error = QStringLiteral("Параметр --template можно повторять только с --check");
        return false;
    }
    return processingUsage(parser, error);
}

bool BatchOptions::processingUsage(const QCommandLineParser& parser, QString* error) const
{
    if (parser.isSet(QStringLiteral("files-from")) && filesFrom.isEmpty()) {
        *error = QStringLiteral("Параметру --files-from нужно значение");
        return false;
    }
    if (files.isEmpty() && filesFrom.isEmpty()) {
        *error = QStringLiteral("Не указано ни одного файла");
        return false;
    }
    if (nulSeparated && filesFrom.isEmpty()) {
        *error = QStringLiteral("Параметр --null используется только с --files-from");
        return false;
    }
    if (skipExisting && overwrite) {
        *error = QStringLiteral("Параметры --skip-existing и --overwrite несовместимы");
        return false;
    }
    if (parser.isSet(QStringLiteral("report-format")) && reportFile.isEmpty()) {
        *error = QStringLiteral("Параметр --report-format используется только с --report");
        return false;
    }
    return true;
}

bool BatchOptions::checkUsage(const QCommandLineParser& parser, QString* error) const
{
    // A check makes no document: options about documents and files have
    // nothing to act on.
    for (const QString& name : {QStringLiteral("rename"), QStringLiteral("overwrite"), QStringLiteral("sequential"),
                                QStringLiteral("include-mask"), QStringLiteral("exclude-mask"),
                                QStringLiteral("unzip-recursive"), QStringLiteral("time-limit"), QStringLiteral("pdf"),
                                QStringLiteral("pdf-only"), QStringLiteral("skip-existing"), QStringLiteral("shard"),
                                QStringLiteral("report-format"), QStringLiteral("null")}) {
        if (parser.isSet(name)) {
            *error = QStringLiteral("Параметр --%1 не используется с --check").arg(name);
            return false;
        }
    }
    if (!files.isEmpty() || !filesFrom.isEmpty()) {
        *error = QStringLiteral("С --check файлы не указываются (лишнее: %1); файл для пробного прогона задаёт "
                                "--sample")
                     .arg(files.isEmpty() ? QStringLiteral("--files-from ") + filesFrom : files.first());
        return false;
    }
    if (parser.isSet(QStringLiteral("sample")) && sampleFile.isEmpty()) {
        *error = QStringLiteral("Параметру --sample нужно значение");
        return false;
    }
    return true;
}

WorkerOptions BatchOptions::workerOptions() const
{
    WorkerOptions worker;
    worker.resourceFolders = resourceFolders;
    worker.format = format;
    worker.templateName = templateName;
    worker.rename = rename;
    worker.overwrite = overwrite;
    worker.skipExisting = skipExisting;
    worker.limits.maxRepeat = maxRepeat;
    worker.limits.picturesOutsideSource = picturesOutsideSource;
    worker.pdf = pdf;
    worker.pdfTimeLimit = timeLimit;
    return worker;
}

QString BatchOptions::usage()
{
    return QStringLiteral(
        "Использование / Usage:\n"
        "  plinthworks-batch [--resources DIR]... [--format docx|odt|rtf] [--template NAME]\n"
        "                    [--rename] [--overwrite | --skip-existing] [--sequential]\n"
        "                    [--report FILE|-] [--report-format tsv|jsonl]\n"
        "                    [--files-from FILE|- [--null]] [--shard K/N]\n"
        "                    [--include-mask RE] [--exclude-mask RE] [--unzip-recursive]\n"
        "                    [--time-limit SECONDS] [--max-repeat N] [--allow-outside-pictures]\n"
        "                    [--pdf | --pdf-only] [FILE...]\n"
        "  plinthworks-batch --check [--resources DIR]... [--template NAME]... [--format docx|odt|rtf]\n"
        "                    [--sample FILE.xml] [--report FILE|-] [--max-repeat N] [--allow-outside-pictures]\n"
        "\n"
        "Формирует документы по XML-файлам и ZIP-архивам с ними, как главное окно Плинтворкса,\n"
        "без графического интерфейса. Документы записываются рядом с добавленными файлами.\n"
        "Generates documents from XML files and ZIP archives of them, as the main window does,\n"
        "without a display. Documents are written next to the files given.\n"
        "\n"
        "  --resources DIR    папка ресурсов (Settings/Templates.txt, Templates/, Queries/),\n"
        "                     просматривается раньше стандартных; можно повторять\n"
        "                     resource folder searched before the standard ones; may repeat\n"
        "  --format F         формат документов docx (по умолчанию), odt или rtf\n"
        "                     output format: docx (default), odt or rtf\n"
        "  --template NAME    не подбирать шаблон, а назначить всем XML-файлам шаблон NAME\n"
        "                     skip detection and use catalogue entry NAME for every XML file\n"
        "                     с --check: проверить только шаблон NAME (можно повторять)\n"
        "                     with --check: check only template NAME (may repeat)\n"
        "  --rename           имя документа по запросу имени шаблона / name documents by the name query\n"
        "  --overwrite        перезаписывать существующие документы / overwrite existing documents\n"
        "  --skip-existing    не формировать документ, если под его именем (без _1) уже есть файл:\n"
        "                     та же команда после прерывания сформирует только недостающее. Имя\n"
        "                     документа занимается только целым документом, поэтому файла под ним\n"
        "                     достаточно. Пропуск считается успехом\n"
        "                     skip a file whose document name (before any _1) is taken already: the\n"
        "                     same command after an interruption makes only what is missing. A name\n"
        "                     is only ever taken by a whole document, so a file under it is enough.\n"
        "                     A skipped file counts as done\n"
        "  --sequential       обрабатывать файлы по одному / one file at a time (default: parallel)\n"
        "  --files-from FILE|-\n"
        "                     обработать и файлы из списка FILE (- — стандартный ввод), по пути в\n"
        "                     строке; путь берётся как есть, пустые строки пропускаются\n"
        "                     also process the files listed in FILE (-: standard input), one path a\n"
        "                     line, taken as it stands; empty lines are skipped\n"
        "  --null             пути в списке --files-from разделены символом NUL (find -print0)\n"
        "                     paths in the --files-from list end with a NUL (find -print0)\n"
        "  --shard K/N        обработать только часть K (от 0 до N-1) из N: часть файла задаёт хеш его\n"
        "                     пути, и N команд с одним списком обрабатывают каждый файл ровно один раз;\n"
        "                     архив со всеми его файлами идёт в одну часть\n"
        "                     process only share K (0 to N-1) of N: a hash of a file's path picks its\n"
        "                     share, so N commands given one list process each file exactly once;\n"
        "                     an archive goes whole to one share\n"
        "  --report FILE|-    записывать отчёт в FILE или в стандартный вывод: запись о каждом\n"
        "                     исходном файле, как только он обработан; с --check — замечания\n"
        "                     строками через табуляцию\n"
        "                     write the report to FILE or to standard output, a source file's record\n"
        "                     as soon as it ends; with --check the findings as tab-separated lines\n"
        "  --report-format F  tsv — строки списка обработки через табуляцию (по умолчанию);\n"
        "                     jsonl — JSON-объект в строке: source, archive, state, template,\n"
        "                     documents, message\n"
        "                     tsv: the processing list's tab-separated lines (default); jsonl: one\n"
        "                     JSON object a line: source, archive, state, template, documents, message\n"
        "  --include-mask RE  маска включения файлов архива (пустая — все)\n"
        "                     include mask for archive members (empty: all)\n"
        "  --exclude-mask RE  маска исключения (пустая — никаких) / exclude mask (empty: none)\n"
        "  --unzip-recursive  распаковывать вложенные архивы / unpack archives inside archives\n"
        "  --time-limit S     прервать формирование документа, идущее дольше S секунд\n"
        "                     (по умолчанию 300, 0 — без ограничения); столько же на преобразование в PDF\n"
        "                     stop a document that takes longer than S seconds (default 300, 0: none);\n"
        "                     as long again for its conversion to PDF\n"
        "  --max-repeat N     наибольшее число повторений блока итераций (по умолчанию 100000)\n"
        "                     most repetitions of one repeated block (default 100000)\n"
        "  --allow-outside-pictures\n"
        "                     вставлять рисунки и из папок вне папки исходного XML-файла\n"
        "                     (по умолчанию такие рисунки не вставляются)\n"
        "                     insert pictures from outside the source file's folder too (default: refused)\n"
        "  --pdf              сохранять рядом с каждым документом его PDF с тем же именем (нужен LibreOffice)\n"
        "                     also save a PDF of each document beside it, of the same name (needs LibreOffice)\n"
        "  --pdf-only         сохранять только PDF, без самого документа\n"
        "                     save the PDF only, without the document itself\n"
        "  --check            проверить список шаблонов и шаблоны, не формируя документов и не\n"
        "                     записывая файлов: каждая команда с её местом, ошибки и предупреждения\n"
        "                     check the catalogue and its templates without making documents or\n"
        "                     writing files: every command with its place, errors and warnings\n"
        "  --sample FILE.xml  с --check: выполнить запросы на FILE.xml и показать, что получит документ\n"
        "                     with --check: run the queries on FILE.xml and show what the document gets\n"
        "  --help             эта справка / this help\n"
        "\n"
        "Ход работы и сообщения выводятся в стандартный поток ошибок.\n"
        "Progress and messages go to standard error.\n"
        "Документы формируются в отдельных процессах: сбой одного документа не прерывает остальные.\n"
        "Documents are made in worker processes: a crash of one document does not stop the others.\n"
        "Код завершения / exit status: 0 все документы сформированы без ошибок или уже были (--skip-existing)\n"
        "/ all documents made or there already; 1 есть ошибки или файлы без шаблона (и PDF, который не удалось\n"
        "сделать) / some file failed, found no template or got no PDF; 2 неверный вызов, нечитаемый список файлов\n"
        "или нет LibreOffice для --pdf / bad usage, an unreadable list, or no LibreOffice for --pdf;\n"
        "130, 143, 129 прервано сигналом SIGINT (Ctrl+C), SIGTERM, SIGHUP / interrupted by that signal.\n"
        "Прерванная обработка не оставляет неполных документов; второй Ctrl+C завершает сразу.\n"
        "An interrupted run leaves no partial document; a second Ctrl+C ends it at once.\n"
        "С --check / with --check: 0 ошибок нет / no errors; 1 есть ошибки / errors found; 2 неверный вызов / bad usage.\n");
}
