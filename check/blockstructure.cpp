#include "blockstructure.h"

#include "templatecheckresult.h"

namespace {

QString variableOf(const CheckedCommand& command)
{
    return command.command.commandType() == IterateStart
               ? command.command.option(QStringLiteral("iterate_start"))
               : command.command.option(QStringLiteral("iterate_end"));
}

} // namespace

BlockStructure::BlockStructure(TemplateCheckResult& result, int first, int last, const Rules& rules)
    : result(result), first(first), last(last), rules(rules), ends(last - first, -1),
      runs(last - first, true), reused(last - first, false), open(last - first)
{
    walk(first, last, {});
}

const CheckedCommand& BlockStructure::at(int index) const
{
    return result.commands.at(index);
}

void BlockStructure::dropRestOfParagraph(int index, const QString& why)
{
    const CheckPlace& place = at(index).place;
    for (int k = index + 1; k < last && at(k).place.paragraph == place.paragraph; ++k) {
        if (!runs.at(k - first))
            continue;
        runs[k - first] = false;
        const CheckedCommand& dropped = at(k);
        if (dropped.command.closesBlock(variableOf(at(index))) &&
            at(index).command.commandType() == IterateStart) {
            result.addError(
                dropped.place,
                QStringLiteral("Команда %1 стоит в одном абзаце со своим iterate_start и не будет "
                               "найдена: начало и конец блока должны стоять в разных абзацах")
                    .arg(dropped.written));
        } else {
            result.addWarning(dropped.place,
                              QStringLiteral("Команда %1 не будет выполнена: %2").arg(dropped.written, why));
        }
    }
}

int BlockStructure::findEnd(int start, int to)
{
    const QString name = variableOf(at(start));
    for (int k = start + 1; k < to; ++k) {
        if (runs.at(k - first) && at(k).command.closesBlock(name))
            return k;
    }
    return -1;
}

void BlockStructure::walk(int from, int to, const QStringList& variables)
{
    for (int i = from; i < to; ++i) {
        if (!runs.at(i - first))
            continue;
        open[i - first] = variables;
        const CheckedCommand& command = at(i);
        const QString name = variableOf(command);
        if (command.command.commandType() == IterateEnd) {
            QString message =
                QStringLiteral(
                    "Ошибка структуры шаблона: команда %1 закрывает блок итераций, который не был открыт")
                    .arg(command.written);
            if (!variables.isEmpty())
                message += QStringLiteral(" (открыт блок с переменной %1)").arg(variables.last());
            result.addError(command.place, message);
            continue;
        }
        if (command.command.commandType() != IterateStart)
            continue;

        if (rules.commandParagraphsDropped) {
            dropRestOfParagraph(i, QStringLiteral("абзац с iterate_start удаляется из документа целиком, "
                                                  "а команды после него в этом абзаце не выполняются"));
        }
        const int end = findEnd(i, to);
        if (end < 0) {
            QString message =
                QStringLiteral(
                    "Ошибка структуры шаблона: для блока итераций с переменной %1 не найден его конец")
                    .arg(name);
            int later = -1;
            for (int k = to; k < last && later < 0; ++k) {
                if (at(k).command.closesBlock(name))
                    later = k;
            }
            int other = -1;
            for (int k = i + 1; k < to && other < 0; ++k) {
                if (runs.at(k - first) && at(k).command.commandType() == IterateEnd)
                    other = k;
            }
            if (later >= 0) {
                message += QStringLiteral(": %1 (%2) стоит после конца внешнего блока, а блоки должны быть "
                                          "вложены один в другой, не пересекаясь")
                               .arg(at(later).written, at(later).place.shown());
            } else if (other >= 0) {
                message += QStringLiteral(": %1 (%2) закрывает другую переменную")
                               .arg(at(other).written, at(other).place.shown());
            }
            if (rules.missingEndStopsWalk) {
                message += QStringLiteral("; дальше этот уровень шаблона формироваться не будет");
                for (int k = i + 1; k < to; ++k)
                    runs[k - first] = false;
            }
            result.addError(command.place, message);
            continue;
        }
        if (variables.contains(name)) {
            reused[i - first] = true;
            result.addError(
                command.place,
                QStringLiteral("Ошибка! Повторное использование переменной %1 во вложенном цикле: "
                               "внутренний блок не будет выведен")
                    .arg(name));
        }
        if (rules.commandParagraphsDropped) {
            // Every command of the end's paragraph goes with it.
            const CheckPlace& endPlace = at(end).place;
            for (int k = i + 1; k < end; ++k) {
                if (runs.at(k - first) && at(k).place.paragraph == endPlace.paragraph) {
                    runs[k - first] = false;
                    result.addWarning(at(k).place,
                                      QStringLiteral("Команда %1 не будет выполнена: абзац с iterate_end "
                                                     "удаляется из документа целиком")
                                          .arg(at(k).written));
                }
            }
            dropRestOfParagraph(end, QStringLiteral("абзац с iterate_end удаляется из документа целиком"));
        }
        ends[i - first] = end;
        walk(i + 1, end, variables + QStringList{name});
        open[end - first] = variables;
        i = end;
    }
}
