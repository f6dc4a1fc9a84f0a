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

namespace {

// A copy of the seed row with `values` in its columns.
QDomElement filledRow(QDomDocument& doc, const QDomElement& seedRow, const QStringList& values,
                      const DomFormat& format)
{
    const DomNames& names = format.names();
    QDomElement row = doc.importNode(seedRow, true).toElement();
    int column = 0;
    for (QDomElement cell = row.firstChildElement(names.cell); !cell.isNull(); ++column) {
        const QDomElement paragraph = DomUtil::firstElementBelow(cell, names.paragraph, names.table);
        if (!paragraph.isNull())
            format.appendCellValue(doc, paragraph, values.value(column));
        cell = names.onlyCellsAreColumns ? cell.nextSiblingElement(names.cell) : cell.nextSiblingElement();
    }
    return row;
}

int columnCount(const QDomElement& seedRow, const DomNames& names)
{
    int count = 0;
    for (QDomElement cell = seedRow.firstChildElement(names.cell); !cell.isNull(); ++count)
        cell = names.onlyCellsAreColumns ? cell.nextSiblingElement(names.cell) : cell.nextSiblingElement();
    return count;
}

} // namespace

QDomElement TableRows::fill(QDomDocument& doc, const QDomElement& seedRow, const QString& result,
                            const QString& replaceEmpty, const DomFormat& format, QList<SplicedRows>* splices)
{
    const DomNames& names = format.names();
    QDomElement holder = doc.importNode(DomUtil::ancestorNode(names.table, seedRow), false).toElement();
    const int columns = columnCount(seedRow, names);
    QStringList markers;
    for (int column = 0; column < columns; ++column)
        markers << DomUtil::rowMarker(column);
    // The group that the next row of plain values joins, -1 for none.
    int group = -1;
    const QStringList lines = format.splitLines(result);
    for (const QString& line : lines) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        QStringList values;
        bool plain = splices != nullptr;
        for (int column = 0; column < columns; ++column) {
            values << columnValue(cells, column, line, result, replaceEmpty);
            plain = plain && DomUtil::isPlainCellValue(values.last());
        }
        if (!plain) {
            holder.appendChild(filledRow(doc, seedRow, values, format));
            group = -1;
            continue;
        }
        if (group < 0) {
            const QDomElement prototype = filledRow(doc, seedRow, markers, format);
            holder.appendChild(prototype);
            splices->append(SplicedRows{prototype, {}});
            group = splices->size() - 1;
        }
        (*splices)[group].lines << values;
    }
    return holder;
}
