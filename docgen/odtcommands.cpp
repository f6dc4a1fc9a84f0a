#include "odtcommands.h"

#include "domutil.h"
#include "odtnames.h"

#include <QVector>

#include <algorithm>

using namespace OdtNames;

namespace {

// Elements inside a paragraph whose text is not part of the paragraph's own
// running text: nested paragraphs (text boxes, notes, comments) are rewritten
// on their own; the rest (frames, note bodies, comment authors) is never
// part of a command typed in the paragraph.
bool holdsOwnText(const QString& name)
{
    return name.startsWith(QLatin1String("text:")) && !OdtCommands::isParagraph(name)
           && name != QLatin1String("text:note") && name != QLatin1String("text:ruby-text");
}

bool isAncestor(const QDomNode& ancestor, const QDomNode& node)
{
    for (QDomNode n = node.parentNode(); !n.isNull(); n = n.parentNode()) {
        if (n == ancestor)
            return true;
    }
    return false;
}

// Removes everything that lies strictly between two text nodes of one
// paragraph, keeping the elements that contain the second one.
void removeBetween(const QDomNode& first, const QDomNode& last)
{
    QVector<QDomNode> doomed;
    QDomNode node = DomUtil::nextNode(first);
    while (!node.isNull() && node != last) {
        if (isAncestor(node, last)) {
            node = node.firstChild();
            continue;
        }
        doomed.append(node);
        node = DomUtil::nextLastNode(node);
    }
    for (QDomNode& node : doomed)
        node.parentNode().removeChild(node);
}

struct Match {
    int start;
    int end;
};

} // namespace

const QRegularExpression& OdtCommands::blockPattern()
{
    static const QRegularExpression reCommandBlock(patCommandBlock);
    return reCommandBlock;
}

bool OdtCommands::isCommandText(const QString& text)
{
    static const QRegularExpression reWholeBlock(QRegularExpression::anchoredPattern(patCommandBlock));
    if (text.size() < 4 || text.at(0) != QLatin1Char('[') || !text.endsWith(QLatin1Char(']')))
        return false;
    return reWholeBlock.match(text).hasMatch();
}

bool OdtCommands::mayHoldCommand(const QString& rawXml)
{
    return blockPattern().match(rawXml).hasMatch();
}

bool OdtCommands::isParagraph(const QString& name)
{
    return name == nnPar || name == nnHeading;
}

QDomNode OdtCommands::paragraphOf(const QDomNode& node)
{
    for (QDomNode n = node; !n.isNull(); n = n.parentNode()) {
        if (isParagraph(n.nodeName()))
            return n;
    }
    return QDomNode();
}

int OdtCommands::isolate(const QDomDocument& doc)
{
    // Collected first: merging a command may remove a nested paragraph.
    QVector<QDomElement> paragraphs;
    for (QDomNode node = doc.firstChild(); !node.isNull(); node = DomUtil::nextNode(node)) {
        if (node.isElement() && isParagraph(node.nodeName()))
            paragraphs.append(node.toElement());
    }
    int count = 0;
    for (const QDomElement& paragraph : qAsConst(paragraphs))
        count += isolateIn(paragraph);
    return count;
}

int OdtCommands::isolateIn(const QDomElement& paragraph)
{
    // The paragraph's own text nodes, their text joined, and where each begins.
    QVector<QDomNode> texts;
    QVector<int> offsets;
    QString joined;
    QDomNode node = paragraph.firstChild();
    while (!node.isNull()) {
        if (node.nodeType() == QDomNode::TextNode) {
            texts.append(node);
            offsets.append(joined.size());
            joined += node.nodeValue();
        } else if (node.isElement() && node.hasChildNodes() && holdsOwnText(node.nodeName())) {
            node = node.firstChild();
            continue;
        }
        while (node != paragraph && node.nextSibling().isNull())
            node = node.parentNode();
        node = node == paragraph ? QDomNode() : node.nextSibling();
    }
    if (!joined.contains(QLatin1Char('[')))
        return 0;

    QVector<Match> matches;
    QRegularExpressionMatchIterator it = blockPattern().globalMatch(joined);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        matches.append({m.capturedStart(), m.capturedEnd()});
    }
    if (matches.isEmpty())
        return 0;

    const auto nodeAt = [&offsets](int position) {
        return int(std::upper_bound(offsets.cbegin(), offsets.cend(), position) - offsets.cbegin()) - 1;
    };
    for (const Match& m : qAsConst(matches)) {
        const int first = nodeAt(m.start);
        const int last = nodeAt(m.end - 1);
        if (first != last)
            removeBetween(texts.at(first), texts.at(last));
    }

    // Cut each text node into its pieces: plain text, whole commands (in the
    // node where the command begins), and command continuations (dropped).
    int next = 0;
    for (int i = 0; i < texts.size(); ++i) {
        const int begin = offsets.at(i);
        const int end = begin + texts.at(i).nodeValue().size();
        QStringList pieces;
        int pos = begin;
        bool touched = false;
        while (next < matches.size() && matches.at(next).start < end) {
            const Match& m = matches.at(next);
            touched = true;
            if (m.start > pos)
                pieces << joined.mid(pos, m.start - pos);
            if (m.start >= begin)
                pieces << joined.mid(m.start, m.end - m.start);
            pos = qMin(m.end, end);
            if (m.end > end)
                break; // continues in the next text node
            ++next;
        }
        if (!touched)
            continue;
        if (pos < end)
            pieces << joined.mid(pos, end - pos);
        pieces.removeAll(QString());

        QDomNode text = texts.at(i);
        QDomNode parent = text.parentNode();
        if (pieces.isEmpty()) {
            if (!parent.isNull())
                parent.removeChild(text);
            continue;
        }
        text.setNodeValue(pieces.first());
        QDomNode after = text;
        for (int p = 1; p < pieces.size(); ++p) {
            const QDomNode piece = text.ownerDocument().createTextNode(pieces.at(p));
            after = parent.isNull() ? piece : parent.insertAfter(piece, after);
        }
    }
    return matches.size();
}
