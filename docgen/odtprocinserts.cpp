// What the ODT walk puts in place of a command: text, paragraphs, table rows
// and separators. Everything is built in resultDoc; the template is only read.
#include "odtproc.h"

#include "domutil.h"
#include "odtcommands.h"
#include "odtnames.h"
#include "odttextwriter.h"

using namespace OdtNames;

namespace {

QDomElement nextElement(const QDomNode& node)
{
    QDomNode n = node.nextSibling();
    while (!n.isNull() && !n.isElement())
        n = n.nextSibling();
    return n.toElement();
}

QDomElement lastElement(const QDomNode& parent, const QString& name)
{
    for (QDomNode n = parent.lastChild(); !n.isNull(); n = n.previousSibling()) {
        if (n.isElement())
            return n.nodeName() == name ? n.toElement() : QDomElement();
    }
    return QDomElement();
}

// The sibling before `node` that shows in the document: white space between
// block elements, comments and soft page breaks are passed over.
QDomNode previousContentSibling(const QDomNode& node)
{
    QDomNode n = node.previousSibling();
    while (!n.isNull()) {
        const bool blank = n.nodeType() == QDomNode::TextNode && n.nodeValue().trimmed().isEmpty();
        if (!blank && !n.isComment() && n.nodeName() != nnSoftPageBreak)
            break;
        n = n.previousSibling();
    }
    return n;
}

// Identifiers must stay unique; copies made of one paragraph do not keep them.
void dropIdentifiers(QDomElement element)
{
    element.removeAttribute(QStringLiteral("xml:id"));
    element.removeAttribute(QStringLiteral("text:id"));
}

} // namespace

QDomNode OdtProc::getTextInsert(const QDomNode& textNode, const QString& result, const QString& replaceEmpty)
{
    Q_UNUSED(textNode) // the command is its whole text node, which the value replaces
    return OdtTextWriter::fragment(resultDoc, result.isEmpty() ? replaceEmpty : result);
}

QDomNode OdtProc::getMultiTextInsert(const QDomNode& paragraph, const QString& result, const QString& replaceEmpty)
{
    QDomNode holder = resultDoc.importNode(paragraph.parentNode(), false);
    QDomElement proto = resultDoc.importNode(paragraph, false).toElement();
    dropIdentifiers(proto);
    const QStringList lines = OdtTextWriter::splitLines(result);
    for (const QString& line : lines) {
        QDomNode copy = proto.cloneNode(false);
        OdtTextWriter::append(copy, resultDoc, line.isEmpty() ? replaceEmpty : line);
        holder.appendChild(copy);
    }
    return holder;
}

QDomNode OdtProc::findSeedRow(const QDomNode& node)
{
    const QDomNode paragraph = OdtCommands::paragraphOf(node);
    if (paragraph.isNull()) {
        reportError(QStringLiteral("Ошибка структуры шаблона - команда вставки таблицы должна быть в отдельном параграфе"),
                    QString());
        return QDomNode();
    }
    const QDomNode table = previousContentSibling(paragraph);
    if (table.nodeName() != nnTable) {
        reportError(QStringLiteral("Ошибка структуры шаблона - команда вставки таблицы должна следовать сразу за таблицей"),
                    QString());
        return QDomNode();
    }
    QDomElement row = lastElement(table, nnRow);
    if (row.isNull()) {
        const QDomElement group = lastElement(table, nnRowGroup);
        if (!group.isNull())
            row = lastElement(group, nnRow);
    }
    if (row.isNull()) {
        reportError(QStringLiteral("Ошибка структуры шаблона - не найдет шаблонный ряд в таблице"), QString());
        return QDomNode();
    }
    return row;
}

QDomNode OdtProc::getTableInsert(const QDomNode& seedRow, const QString& result, const QString& replaceEmpty)
{
    QDomNode table = seedRow;
    while (!table.isNull() && table.nodeName() != nnTable)
        table = table.parentNode();
    QDomNode holder = resultDoc.importNode(table, false);
    const QStringList lines = OdtTextWriter::splitLines(result);
    for (const QString& line : lines) {
        const QStringList values = line.split(QLatin1Char('\t'));
        QDomNode row = resultDoc.importNode(seedRow, true);
        int column = 0;
        // Every element from the first cell on is a column, covered cells of
        // merged ones included, so the n-th value stays in the n-th column.
        for (QDomElement cell = row.firstChildElement(nnCell); !cell.isNull(); cell = nextElement(cell), ++column) {
            QString value = values.value(column);
            if (value.isEmpty() && !replaceEmpty.isEmpty()
                && (result.isEmpty() || (!line.isEmpty() && column < values.size())))
                value = replaceEmpty;
            QDomElement paragraph = DomUtil::firstElementBelow(cell, nnPar, nnTable);
            if (paragraph.isNull())
                continue;
            QDomElement holderElement = paragraph.firstChildElement(nnRun);
            if (holderElement.isNull())
                holderElement = paragraph;
            // The value follows the holder's first text, so the template
            // row's own text stays in front of it. A holder that starts
            // with an element (a tab, a leading space, a bookmark) or has
            // no text at all gets the value after all it holds.
            QDomNode text = holderElement.firstChild();
            while (!text.isNull() && text.nodeType() != QDomNode::TextNode)
                text = text.nextSibling();
            if (text.isNull())
                text = holderElement.appendChild(resultDoc.createTextNode(QString()));
            OdtTextWriter::insertAfter(text, resultDoc, value);
        }
        holder.appendChild(row);
    }
    return holder;
}

QDomNode OdtProc::getSeparateInsert(const QDomNode& node, const QString& kind)
{
    const QDomNode paragraph = OdtCommands::paragraphOf(node);
    if (kind.isEmpty() || paragraph.isNull())
        return QDomNode();
    QDomElement separator;
    if (paragraph.nodeName() == nnPar) {
        separator = resultDoc.importNode(paragraph, false).toElement();
    } else {
        // An empty heading would show in outlines and tables of contents.
        separator = resultDoc.createElement(nnPar);
        separator.setAttribute(atStyleName, paragraph.toElement().attribute(atStyleName));
    }
    dropIdentifiers(separator);
    if (kind.compare(QLatin1String("page"), Qt::CaseInsensitive) == 0
        || kind.compare(QLatin1String("section"), Qt::CaseInsensitive) == 0) {
        separator.setAttribute(atStyleName, sepStyleName);
        separator.removeAttribute(QStringLiteral("text:cond-style-name"));
        separateStyleUsed = true;
    }
    return separator;
}
