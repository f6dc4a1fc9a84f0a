#include "batchoptions.h"

#include <QRegularExpression>

namespace {

// Options that take a value, and the flags.
enum class Takes { Value, Nothing };

struct KnownOption
{
    const char* name;
    Takes takes;
};

const KnownOption knownOptions[] = {
    {"--resources", Takes::Value},      {"--format", Takes::Value},        {"--template", Takes::Value},
    {"--report", Takes::Value},         {"--include-mask", Takes::Value},  {"--exclude-mask", Takes::Value},
    {"--rename", Takes::Nothing},       {"--overwrite", Takes::Nothing},   {"--sequential", Takes::Nothing},
    {"--unzip-recursive", Takes::Nothing}, {"--help", Takes::Nothing},     {"-h", Takes::Nothing},
    {"--time-limit", Takes::Value},     {"--max-repeat", Takes::Value},    {"--worker", Takes::Nothing},
};

const KnownOption* findOption(const QString& name)
{
    for (const KnownOption& known : knownOptions) {
        if (name == QLatin1String(known.name))
            return &known;
    }
    return nullptr;
}

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

} // namespace

bool BatchOptions::parse(const QStringList& arguments, QString* error)
{
    bool onlyFiles = false;
    for (int i = 1; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        if (onlyFiles || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            files << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            onlyFiles = true;
            continue;
        }
        QString value;
        bool hasInlineValue = false;
        if (const int eq = arg.indexOf(QLatin1Char('=')); eq > 0 && arg.startsWith(QLatin1String("--"))) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            hasInlineValue = true;
        }
        const KnownOption* known = findOption(arg);
        if (!known) {
            *error = QStringLiteral("Неизвестный параметр: %1").arg(arg);
            return false;
        }
        if (known->takes == Takes::Value && !hasInlineValue) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("Параметру %1 нужно значение").arg(arg);
                return false;
            }
            value = arguments.at(++i);
        } else if (known->takes == Takes::Nothing && hasInlineValue) {
            *error = QStringLiteral("Параметр %1 не принимает значения").arg(arg);
            return false;
        }

        if (arg == QLatin1String("--resources"))
            resourceFolders << value;
        else if (arg == QLatin1String("--format"))
            format = value.toLower();
        else if (arg == QLatin1String("--template"))
            templateName = value;
        else if (arg == QLatin1String("--report"))
            reportFile = value;
        else if (arg == QLatin1String("--include-mask"))
            includeMask = value;
        else if (arg == QLatin1String("--exclude-mask"))
            excludeMask = value;
        else if (arg == QLatin1String("--rename"))
            rename = true;
        else if (arg == QLatin1String("--overwrite"))
            overwrite = true;
        else if (arg == QLatin1String("--sequential"))
            sequential = true;
        else if (arg == QLatin1String("--unzip-recursive"))
            unzipRecursive = true;
        else if (arg == QLatin1String("--worker"))
            worker = true;
        else if (arg == QLatin1String("--time-limit")) {
            if (!readCount(value, arg, 0, &timeLimit, error))
                return false;
        } else if (arg == QLatin1String("--max-repeat")) {
            if (!readCount(value, arg, 0, &maxRepeat, error))
                return false;
        }
        else
            help = true;
    }
    if (help)
        return true;
    if (format != QLatin1String("docx") && format != QLatin1String("odt") && format != QLatin1String("rtf")) {
        *error = QStringLiteral("Неизвестный формат: %1 (допустимы docx, odt, rtf)").arg(format);
        return false;
    }
    if (!checkMask(includeMask, QStringLiteral("--include-mask"), error)
        || !checkMask(excludeMask, QStringLiteral("--exclude-mask"), error))
        return false;
    if (files.isEmpty() && !worker) {
        *error = QStringLiteral("Не указано ни одного файла");
        return false;
    }
    return true;
}

QStringList BatchOptions::workerArguments() const
{
    QStringList arguments{QStringLiteral("--worker"), QStringLiteral("--format"), format,
                          QStringLiteral("--max-repeat"), QString::number(maxRepeat)};
    for (const QString& folder : resourceFolders)
        arguments << QStringLiteral("--resources") << folder;
    if (!templateName.isEmpty())
        arguments << QStringLiteral("--template") << templateName;
    if (rename)
        arguments << QStringLiteral("--rename");
    if (overwrite)
        arguments << QStringLiteral("--overwrite");
    return arguments;
}

QString BatchOptions::usage()
{
    return QStringLiteral(
        "Использование / Usage:\n"
        "  plinthworks-batch [--resources DIR]... [--format docx|odt|rtf] [--template NAME]\n"
        "                    [--rename] [--overwrite] [--sequential] [--report FILE|-]\n"
        "                    [--include-mask RE] [--exclude-mask RE] [--unzip-recursive]\n"
        "                    [--time-limit SECONDS] [--max-repeat N] FILE...\n"
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
        "  --rename           имя документа по запросу имени шаблона / name documents by the name query\n"
        "  --overwrite        перезаписывать существующие документы / overwrite existing documents\n"
        "  --sequential       обрабатывать файлы по одному / one file at a time (default: parallel)\n"
        "  --report FILE|-    записать отчёт по списку обработки в FILE или в стандартный вывод\n"
        "                     write the processing-list report to FILE or to standard output\n"
        "  --include-mask RE  маска включения файлов архива (пустая — все)\n"
        "                     include mask for archive members (empty: all)\n"
        "  --exclude-mask RE  маска исключения (пустая — никаких) / exclude mask (empty: none)\n"
        "  --unzip-recursive  распаковывать вложенные архивы / unpack archives inside archives\n"
        "  --time-limit S     прервать формирование документа, идущее дольше S секунд\n"
        "                     (по умолчанию 300, 0 — без ограничения)\n"
        "                     stop a document that takes longer than S seconds (default 300, 0: none)\n"
        "  --max-repeat N     наибольшее число повторений блока итераций (по умолчанию 100000)\n"
        "                     most repetitions of one repeated block (default 100000)\n"
        "  --help             эта справка / this help\n"
        "\n"
        "Ход работы и сообщения выводятся в стандартный поток ошибок.\n"
        "Progress and messages go to standard error.\n"
        "Документы формируются в отдельных процессах: сбой одного документа не прерывает остальные.\n"
        "Documents are made in worker processes: a crash of one document does not stop the others.\n"
        "Код завершения / exit status: 0 все документы сформированы без ошибок / all documents made;\n"
        "1 есть ошибки или файлы без шаблона / some file failed or found no template; 2 неверный вызов / bad usage.\n");
}
