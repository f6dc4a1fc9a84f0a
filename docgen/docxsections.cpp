#include "docxsections.h"

#include "docxxml.h"
#include "domutil.h"

#include <QStringList>

using namespace DocxXml;

namespace {

QDomElement sectionPropertiesOf(const QDomElement& paragraph)
{
    return paragraph.firstChildElement(nnParProp).firstChildElement(nnSectProp);
}

int sectionCountOf(const QDomElement& body)
{
    int count = 1;
    for (QDomElement p = body.firstChildElement(nnPar); !p.isNull(); p = p.nextSiblingElement(nnPar)) {
        if (!sectionPropertiesOf(p).isNull())
            ++count;
    }
    return count;
}

// The section properties of the sections that hold the marks. A mark
// selects the first section end that follows it. A command in a paragraph
// that ends a section leaves its mark after that paragraph's section
// properties (they come first in the paragraph), so there the paragraph
// tells the section.
QList<QDomNode> markedSections(const QDomElement& body, const QList<QDomNode>& marks)
{
    QList<QDomNode> doomed;
    QList<QDomNode> walkMarks;
    for (const QDomNode& mark : marks) {
        QDomElement section;
        for (QDomElement p = paragraphOf(mark); !p.isNull() && section.isNull();
             p = paragraphOf(p.parentNode()))
            section = sectionPropertiesOf(p);
        if (section.isNull())
            walkMarks.append(mark);
        else if (!doomed.contains(section))
            doomed.append(section);
    }
    bool marked = false;
    for (QDomNode node = body.firstChild(); !node.isNull() && !walkMarks.isEmpty();
         node = DomUtil::nextNode(node)) {
        if (walkMarks.contains(node))
            marked = true;
        if (node.nodeName() == nnSectProp) {
            if (marked && !doomed.contains(node))
                doomed.append(node);
            marked = false;
        }
    }
    return doomed;
}

void removeAll(QDomElement& body, const QList<QDomNode>& nodes)
{
    for (const QDomNode& n : nodes)
        body.removeChild(n);
}

// Removes the doomed sections that a section-ending paragraph closes;
// returns the children after the last such paragraph (the last section).
QList<QDomNode> removeClosedSections(QDomElement& body, const QList<QDomNode>& doomed)
{
    QList<QDomNode> group;
    for (QDomNode child = body.firstChild(); !child.isNull();) {
        const QDomNode next = child.nextSibling();
        group.append(child);
        const QDomElement section =
            child.nodeName() == nnPar ? sectionPropertiesOf(child.toElement()) : QDomElement();
        if (!section.isNull()) {
            if (doomed.contains(section))
                removeAll(body, group);
            group.clear();
        }
        child = next;
    }
    return group;
}

// The last section is gone: the section before becomes the last one, its
// properties moving to the body. Its closing paragraph goes too when it
// holds nothing else; a paragraph with content stays, since that content is
// not in a removed section.
void closeWithPreviousSection(QDomElement& body)
{
    const QDomElement closing = body.lastChildElement(nnPar);
    const QDomElement section = sectionPropertiesOf(closing);
    if (section.isNull())
        return;
    const QDomElement properties = closing.firstChildElement(nnParProp);
    body.appendChild(section);
    bool onlyProperties = true;
    for (QDomNode n = closing.firstChild(); !n.isNull() && onlyProperties; n = n.nextSibling())
        onlyProperties = !n.isElement() || n == properties;
    if (onlyProperties)
        body.removeChild(closing);
}

} // namespace

void DocxSections::deleteEmptySections(QDomDocument& result, const QList<QDomNode>& marks)
{
    if (marks.isEmpty())
        return;
    QDomElement body = result.firstChildElement(nnDocument).firstChildElement(nnBody);
    if (body.isNull())
        return;
    const int sectionCount = sectionCountOf(body);
    if (sectionCount == 1)
        return;
    const QList<QDomNode> doomed = markedSections(body, marks);
    if (doomed.size() >= sectionCount)
        return;
    const QList<QDomNode> lastGroup = removeClosedSections(body, doomed);
    const QDomElement lastSection = body.lastChildElement(nnSectProp);
    if (lastSection.isNull() || !doomed.contains(lastSection))
        return;
    removeAll(body, lastGroup);
    closeWithPreviousSection(body);
}

void DocxSections::closeCellsAndTextBoxes(QDomDocument& result)
{
    // Word refuses a document in which a cell's last block is not a paragraph
    // or a text box has no paragraph. A command that takes its own paragraph
    // with it (a block that is repeated no time, a table command after a
    // nested table) leaves such a cell when that paragraph was its last.
    static const QStringList blocks{nnPar, nnTable, QStringLiteral("w:sdt"), QStringLiteral("w:customXml"),
                                    QStringLiteral("w:altChunk")};
    for (QDomNode node = result.documentElement(); !node.isNull(); node = DomUtil::nextNode(node)) {
        if (!node.isElement() || (node.nodeName() != nnCell && node.nodeName() != nnTextBoxContent))
            continue;
        QDomElement last = node.lastChildElement();
        while (!last.isNull() && !blocks.contains(last.nodeName()))
            last = last.previousSiblingElement();
        if (last.isNull() || last.nodeName() == nnTable)
            node.appendChild(result.createElement(nnPar));
    }
}
