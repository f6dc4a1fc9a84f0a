#include "commandwordscheck.h"

#include "templatecheckresult.h"

#include <QRegularExpression>

namespace {

bool isDelimiter(QChar c)
{
    return c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('%') || c == QLatin1Char('=');
}

// The option of `written` that holds white space between two characters of
// a word or a value, which parsing joins; empty when there is none.
QString spacedOption(const QString& written)
{
    for (int i = 1; i < written.size(); ++i) {
        if (!written.at(i).isSpace())
            continue;
        int j = i;
        while (j < written.size() && written.at(j).isSpace())
            ++j;
        const QChar before = written.at(i - 1);
        if (j < written.size() && !before.isSpace() && !isDelimiter(before) && !isDelimiter(written.at(j))) {
            const int from = written.lastIndexOf(QLatin1Char('%'), i) + 1;
            const int to = written.indexOf(QLatin1Char('%'), j);
            return written.mid(from, to < 0 ? -1 : to - from).trimmed();
        }
        i = j;
    }
    return QString();
}

void checkWords(TemplateCheckResult& result, const CheckedCommand& checked)
{
    const ProcCommand& command = checked.command;
    const CheckPlace& place = checked.place;
    const QString& written = checked.written;
    const QString query = command.option(QStringLiteral("query"));
    if (command.commandText().isEmpty()) {
        result.addError(place, QStringLiteral("Пустая команда %1: в ней нечего выполнять").arg(written));
        return;
    }
    const int inner = written.indexOf(QLatin1String("%]"));
    if (inner >= 0 && inner < written.size() - 2) {
        result.addError(place,
                        QStringLiteral("Блок команды продлился до следующей «]»: %1. Уберите «]» из текста "
                                       "после команды в этом абзаце или отделите команду")
                            .arg(written));
    }
    const QStringList unknown = command.unknownKeys();
    if (!unknown.isEmpty()) {
        QStringList shown;
        for (const QString& word : unknown)
            shown << (word.isEmpty() ? QStringLiteral("(пусто)") : word);
        QString message = QStringLiteral("Неизвестное слово «%1» в команде %2: оно ничего не делает")
                              .arg(shown.join(QStringLiteral("», «")), written);
        // Without a query the command has nothing to carry out, and generation counts it an error.
        if (query.isEmpty()) {
            message += QStringLiteral("; имя запроса пишется как query=Имя");
            result.addError(place, message);
        } else {
            result.addWarning(place, message);
        }
    }
    const QString spaced = spacedOption(written);
    if (!spaced.isEmpty()) {
        QString joined = spaced;
        joined.remove(QRegularExpression(QStringLiteral("\\s")));
        result.addWarning(place,
                          QStringLiteral("Пробелы внутри команды %1 будут убраны: «%2» прочитается как «%3»")
                              .arg(written, spaced, joined));
    }
    const CommandType type = command.commandType();
    if (type != IterateStart) {
        for (const QString& word : {QStringLiteral("separate"), QStringLiteral("keep_empty")}) {
            if (command.hasOption(word)) {
                result.addWarning(place,
                                  QStringLiteral("Слово %1 действует только в команде iterate_start, в "
                                                 "команде %2 оно ничего не делает")
                                      .arg(word, written));
            }
        }
    }
    switch (type) {
    case IterateStart:
        if (command.option(QStringLiteral("iterate_start")).isEmpty()) {
            result.addError(place, QStringLiteral("В команде %1 не указано имя переменной блока: "
                                                  "iterate_start=имя")
                                       .arg(written));
        }
        if (query.isEmpty() && !command.hasOption(QStringLiteral("keep_empty"))) {
            result.addWarning(place, QStringLiteral("У блока %1 нет запроса числа повторений: блок не будет "
                                                    "выведен ни разу")
                                         .arg(written));
        }
        break;
    case TableInsert:
    case PictureInsert:
        if (query.isEmpty()) {
            result.addWarning(place,
                              QStringLiteral("У команды %1 нет запроса: вставлять нечего").arg(written));
        }
        break;
    default:
        break;
    }
}

} // namespace

void CommandWordsCheck::check(TemplateCheckResult& result)
{
    for (const CheckedCommand& command : qAsConst(result.commands))
        checkWords(result, command);
}

QString CommandWordsCheck::strayCommandMessage(const QString& rest)
{
    const int closing = rest.indexOf(QLatin1String("%]"));
    QString why;
    if (closing < 0)
        why = QStringLiteral("в том же абзаце нет «%]», а команда должна умещаться в одном абзаце");
    else if (rest.left(closing).indexOf(QLatin1Char('['), 1) >= 0)
        why = QStringLiteral("до «%]» в нём стоит ещё одна «[»");
    else
        why = QStringLiteral("команде нужны «[%» в начале, «%]» в конце и ещё один знак % между ними");
    QString shown = rest.left(40);
    shown.replace(QLatin1Char('\n'), QStringLiteral("⏎"));
    if (rest.size() > 40)
        shown += QStringLiteral("…");
    return QStringLiteral("Текст «%1» похож на команду, но командой не будет: %2").arg(shown, why);
}
