// What DocProc puts in place of text and table commands, the separators
// between repetitions, and the removal of empty sections.
#include "docproc.h"

#include "docxxml.h"
#include "domutil.h"

#include <QStringList>
#include <QVector>

using namespace DocxXml;

namespace {

// Child indices leading from `ancestor` down to `node`.
QVector<int> indexPath(const QDomNode& ancestor, const QDomNode& node)
{
    QVector<int> path;
    for (QDomNode current = node; !current.isNull() && current != ancestor; current = current.parentNode()) {
        int index = 0;
        for (QDomNode sibling = current.previousSibling(); !sibling.isNull(); sibling = sibling.previousSibling())
            ++index;
        path.prepend(index);
    }
    return path;
}

QDomNode followPath(const QDomNode& from, const QVector<int>& path)
{
    QDomNode node = from;
    for (const int index : path) {
        node = node.firstChild();
        for (int i = 0; i < index && !node.isNull(); ++i)
            node = node.nextSibling();
    }
    return node;
}

void removeSectionProperties(QDomElement paragraphProperties)
{
    QDomElement section = paragraphProperties.firstChildElement(nnSectProp);
    while (!section.isNull()) {
        const QDomElement next = section.nextSiblingElement(nnSectProp);
        paragraphProperties.removeChild(section);
        section = next;
    }
}

// Removes the runs of `paragraph` other than `keep` that hold nothing but
// text: around a command alone in its paragraph that is white space.
void removeOtherTextRuns(const QDomElement& paragraph, const QDomElement& keep)
{
    QList<QDomElement> textRuns;
    forEachOwnRun(paragraph, [&](const QDomElement& run) {
        if (run == keep)
            return;
        for (QDomElement child = run.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            if (child.nodeName() != nnRunProp && child.nodeName() != nnText)
                return;
        }
        textRuns.append(run);
    });
    for (QDomElement& run : textRuns)
        run.parentNode().removeChild(run);
}

QDomElement sectionPropertiesOf(const QDomElement& paragraph)
{
    return paragraph.firstChildElement(nnParProp).firstChildElement(nnSectProp);
}

} // namespace

QDomNode DocProc::getTextInsert(const QDomNode& run, const QString& result, const QString& replaceEmpty)
{
    const QString value = result.isEmpty() ? replaceEmpty : result;
    QDomElement copy = deepCopy(resultDoc, run);
    QDomElement t = copy.firstChildElement(nnText);
    if (t.isNull())
        return copy;
    QString text = t.text();
    const QRegularExpressionMatch match =
        commandBlockPattern().match(text, 0, QRegularExpression::PartialPreferCompleteMatch);
    if (match.hasMatch() || match.hasPartialMatch()) {
        text.replace(match.capturedStart(), match.capturedLength(), value);
        // A value inside a sentence keeps its lines: raw line feeds in
        // "w:t" would be shown as spaces.
        setTextWithBreaks(t, text);
    }
    return copy;
}

QDomNode DocProc::getMultiTextInsert(const QDomNode& paragraph, const QDomNode& commandRun, const QString& result,
                                     const QString& replaceEmpty)
{
    QDomElement holder = shallowCopy(resultDoc, paragraph.parentNode());
    const QStringList lines = result.split(QLatin1Char('\n'));
    const QDomElement properties = paragraph.firstChildElement(nnParProp);
    const QVector<int> runPath = indexPath(paragraph, commandRun);
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).isEmpty() ? replaceEmpty : lines.at(i);
        QDomElement p;
        QDomElement run;
        if (i == 0) {
            // The first line keeps all of the paragraph: bookmarks, marks
            // and empty runs around the command.
            p = deepCopy(resultDoc, paragraph);
            run = followPath(p, runPath).toElement();
            removeOtherTextRuns(p, run);
        } else {
            p = shallowCopy(resultDoc, paragraph);
            if (!properties.isNull())
                p.appendChild(deepCopy(resultDoc, properties));
            run = deepCopy(resultDoc, commandRun);
            p.appendChild(run);
        }
        // A paragraph that ends a section ends it after its last line only.
        if (i < lines.size() - 1)
            removeSectionProperties(p.firstChildElement(nnParProp));
        QDomElement t = run.firstChildElement(nnText);
        if (t.isNull())
            t = run.appendChild(resultDoc.createElement(nnText)).toElement();
        setText(t, line);
        holder.appendChild(p);
    }
    return holder;
}

QDomNode DocProc::findSeedRow(const QDomNode& node)
{
    const QDomElement paragraph = paragraphOf(node);
    if (paragraph.isNull()) {
        reportError(QStringLiteral(
                        "Ошибка структуры шаблона - команда вставки таблицы должна быть в отдельном параграфе"),
                    QString());
        return QDomNode();
    }
    const QDomElement table = paragraph.previousSiblingElement();
    if (table.isNull() || table.nodeName() != nnTable) {
        reportError(
            QStringLiteral("Ошибка структуры шаблона - команда вставки таблицы должна следовать сразу за таблицей"),
            QString());
        return QDomNode();
    }
    const QDomElement seedRow = table.lastChildElement(nnRow);
    if (seedRow.isNull()) {
        reportError(QStringLiteral("Ошибка структуры шаблона - не найдет шаблонный ряд в таблице"), QString());
        return QDomNode();
    }
    return seedRow;
}

QDomNode DocProc::getTableInsert(const QDomNode& seedRow, const QString& result, const QString& replaceEmpty)
{
    QDomElement holder = shallowCopy(resultDoc, DomUtil::ancestorNode(nnTable, seedRow));
    const QStringList lines = result.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList values = line.split(QLatin1Char('\t'));
        QDomElement row = deepCopy(resultDoc, seedRow);
        // Only cells are columns: a bookmark or other mark between cells
        // must not shift the values.
        int column = 0;
        for (QDomElement cell = row.firstChildElement(nnCell); !cell.isNull();
             cell = cell.nextSiblingElement(nnCell), ++column) {
            QString value = column < values.size() ? values.at(column) : QString();
            if (value.isEmpty() && !replaceEmpty.isEmpty()
                && (result.isEmpty() || (!line.isEmpty() && column < values.size())))
                value = replaceEmpty;
            QDomElement p = DomUtil::firstElementBelow(cell, nnPar, nnTable);
            if (p.isNull())
                continue;
            QDomElement run = p.firstChildElement(nnRun);
            if (run.isNull()) {
                run = resultDoc.createElement(nnRun);
                const QDomElement markProperties = p.firstChildElement(nnParProp).firstChildElement(nnRunProp);
                if (!markProperties.isNull())
                    run.appendChild(markProperties.cloneNode(true));
                p.appendChild(run);
            }
            QDomElement t = run.firstChildElement(nnText);
            if (t.isNull())
                t = run.appendChild(resultDoc.createElement(nnText)).toElement();
            if (!value.isEmpty())
                setText(t, t.text() + value);
        }
        holder.appendChild(row);
    }
    return holder;
}

QDomNode DocProc::getSeparateInsert(const QDomNode& node, const QString& kind)
{
    const QDomElement paragraph = paragraphOf(node);
    if (kind.isEmpty() || paragraph.isNull())
        return QDomNode();
    QDomElement separator = shallowCopy(resultDoc, paragraph);
    QDomElement properties;
    const QDomElement templateProperties = paragraph.firstChildElement(nnParProp);
    if (!templateProperties.isNull()) {
        properties = deepCopy(resultDoc, templateProperties);
        // The block's paragraph may end a section itself; a separator ends
        // one only when asked to.
        removeSectionProperties(properties);
        separator.appendChild(properties);
    }
    if (kind.compare(QLatin1String("page"), Qt::CaseInsensitive) == 0) {
        QDomElement run = resultDoc.createElement(nnRun);
        QDomElement pageBreak = resultDoc.createElement(nnBreak);
        pageBreak.setAttribute(QStringLiteral("w:type"), QStringLiteral("page"));
        run.appendChild(pageBreak);
        separator.appendChild(run);
    } else if (kind.compare(QLatin1String("section"), Qt::CaseInsensitive) == 0) {
        const QDomNode section = DomUtil::findNode(nnSectProp, paragraph, QDomNode());
        if (!section.isNull()) {
            if (properties.isNull())
                properties = separator.appendChild(resultDoc.createElement(nnParProp)).toElement();
            properties.appendChild(deepCopy(resultDoc, section));
        }
    }
    return separator;
}

void DocProc::deleteEmptySections()
{
    if (emptySectionMarks.isEmpty())
        return;
    QDomElement body = resultDoc.firstChildElement(nnDocument).firstChildElement(nnBody);
    if (body.isNull())
        return;
    int sectionCount = 1;
    for (QDomElement p = body.firstChildElement(nnPar); !p.isNull(); p = p.nextSiblingElement(nnPar)) {
        if (!sectionPropertiesOf(p).isNull())
            ++sectionCount;
    }
    if (sectionCount == 1)
        return;

    // A mark selects the section that holds the command: the first section
    // end that follows it. A command in a paragraph that ends a section
    // leaves its mark after that paragraph's section properties (they come
    // first in the paragraph), so there the paragraph tells the section.
    QList<QDomNode> doomed;
    QList<QDomNode> walkMarks;
    for (const QDomNode& mark : qAsConst(emptySectionMarks)) {
        QDomElement section;
        for (QDomElement p = paragraphOf(mark); !p.isNull() && section.isNull(); p = paragraphOf(p.parentNode()))
            section = sectionPropertiesOf(p);
        if (section.isNull())
            walkMarks.append(mark);
        else if (!doomed.contains(section))
            doomed.append(section);
    }
    bool marked = false;
    for (QDomNode node = body.firstChild(); !node.isNull() && !walkMarks.isEmpty(); node = DomUtil::nextNode(node)) {
        if (walkMarks.contains(node))
            marked = true;
        if (node.nodeName() == nnSectProp) {
            if (marked && !doomed.contains(node))
                doomed.append(node);
            marked = false;
        }
    }
    if (doomed.size() >= sectionCount)
        return;

    QList<QDomNode> group;
    for (QDomNode child = body.firstChild(); !child.isNull();) {
        const QDomNode next = child.nextSibling();
        group.append(child);
        if (child.nodeName() == nnPar) {
            const QDomElement section = sectionPropertiesOf(child.toElement());
            if (!section.isNull()) {
                if (doomed.contains(section)) {
                    for (QDomNode& n : group)
                        body.removeChild(n);
                }
                group.clear();
            }
        }
        child = next;
    }
    const QDomElement lastSection = body.lastChildElement(nnSectProp);
    if (lastSection.isNull() || !doomed.contains(lastSection))
        return;
    for (QDomNode& n : group)
        body.removeChild(n);
    // The section before becomes the last one: its properties move to the
    // body. Its closing paragraph goes too when it holds nothing else; a
    // paragraph with content stays, since that content is not in a removed
    // section.
    const QDomElement closing = body.lastChildElement(nnPar);
    const QDomElement section = sectionPropertiesOf(closing);
    if (section.isNull())
        return;
    QDomElement properties = closing.firstChildElement(nnParProp);
    body.appendChild(section);
    bool onlyProperties = true;
    for (QDomNode n = closing.firstChild(); !n.isNull() && onlyProperties; n = n.nextSibling())
        onlyProperties = !n.isElement() || n == properties;
    if (onlyProperties)
        body.removeChild(closing);
}

void DocProc::closeCellsAndTextBoxes()
{
    // Word refuses a document in which a cell's last block is not a paragraph
    // or a text box has no paragraph. A command that takes its own paragraph
    // with it (a block that is repeated no time, a table command after a
    // nested table) leaves such a cell when that paragraph was its last.
    static const QStringList blocks{nnPar, nnTable, QStringLiteral("w:sdt"), QStringLiteral("w:customXml"),
                                    QStringLiteral("w:altChunk")};
    for (QDomNode node = resultDoc.documentElement(); !node.isNull(); node = DomUtil::nextNode(node)) {
        if (!node.isElement() || (node.nodeName() != nnCell && node.nodeName() != nnTextBoxContent))
            continue;
        QDomElement last = node.lastChildElement();
        while (!last.isNull() && !blocks.contains(last.nodeName()))
            last = last.previousSiblingElement();
        if (last.isNull() || last.nodeName() == nnTable)
            node.appendChild(resultDoc.createElement(nnPar));
    }
}
