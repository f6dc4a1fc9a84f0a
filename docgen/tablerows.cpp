#include "tablerows.h"

#include "domformat.h"
#include "domutil.h"

#include <QStringList>

namespace {

// The sibling element before `node`, passing over what may stand between a
// table and the paragraph after it.
QDomElement previousBlock(const QDomNode& node, const QStringList& passedOver)
{
    QDomElement previous = node.previousSiblingElement();
    while (!previous.isNull() && passedOver.contains(previous.nodeName()))
        previous = previous.previousSiblingElement();
    return previous;
}

// The value for one column of a line: an empty value takes `replaceEmpty`
// where the line has one for the column, and in every column of an empty
// result.
QString columnValue(const QStringList& values, int column, const QString& line, const QString& result,
                    const QString& replaceEmpty)
{
    QString value = column < values.size() ? values.at(column) : QString();
    if (value.isEmpty() && !replaceEmpty.isEmpty() &&
        (result.isEmpty() || (!line.isEmpty() && column < values.size())))
        value = replaceEmpty;
    return value;
}

} // namespace

QDomElement TableRows::findSeedRow(const QDomElement& paragraph, const DomFormat& format, QString& error)
{
    const DomNames& names = format.names();
    if (paragraph.isNull()) {
        error = QStringLiteral(
            "Ошибка структуры шаблона - команда вставки таблицы должна быть в отдельном параграфе");
        return QDomElement();
    }
    const QDomElement table = previousBlock(paragraph, names.passedOverAfterTable);
    if (table.isNull() || table.nodeName() != names.table) {
        error = QStringLiteral(
            "Ошибка структуры шаблона - команда вставки таблицы должна следовать сразу за таблицей");
        return QDomElement();
    }
    QDomElement row = table.lastChildElement(names.row);
    if (row.isNull() && !names.rowGroup.isEmpty())
        row = table.lastChildElement(names.rowGroup).lastChildElement(names.row);
    if (row.isNull())
        error = QStringLiteral("Ошибка структуры шаблона - не найдет шаблонный ряд в таблице");
    return row;
}

QDomElement TableRows::fill(QDomDocument& doc, const QDomElement& seedRow, const QString& result,
                            const QString& replaceEmpty, const DomFormat& format)
{
    const DomNames& names = format.names();
    QDomElement holder = doc.importNode(DomUtil::ancestorNode(names.table, seedRow), false).toElement();
    const QStringList lines = format.splitLines(result);
    for (const QString& line : lines) {
        const QStringList values = line.split(QLatin1Char('\t'));
        QDomElement row = doc.importNode(seedRow, true).toElement();
        int column = 0;
        for (QDomElement cell = row.firstChildElement(names.cell); !cell.isNull(); ++column) {
            const QDomElement paragraph = DomUtil::firstElementBelow(cell, names.paragraph, names.table);
            if (!paragraph.isNull())
                format.appendCellValue(doc, paragraph,
                                       columnValue(values, column, line, result, replaceEmpty));
            cell =
                names.onlyCellsAreColumns ? cell.nextSiblingElement(names.cell) : cell.nextSiblingElement();
        }
        holder.appendChild(row);
    }
    return holder;
}
