#include "odttextpieces.h"

#include "domutil.h"
#include "odtnames.h"

#include <QDomDocument>
#include <QStringList>

using namespace OdtNames;

namespace {

// Elements inside a paragraph whose text is part of the paragraph's own
// running text. Nested paragraphs (text boxes, notes, comments) are rewritten
// on their own; the rest (frames, note bodies, comment authors) is never
// part of a command typed in the paragraph.
bool holdsOwnText(const QString& name)
{
    return name.startsWith(QLatin1String("text:")) && name != nnPar && name != nnHeading &&
           name != QLatin1String("text:note") && name != QLatin1String("text:ruby-text");
}

// What an element inside a command is when it is not part of the text
// around it: a field, a comment, a note, a drawing; empty for the spans,
// spaces, links, bookmarks and change marks that text may carry anywhere.
QString interruptionKind(const QString& name)
{
    static const QStringList inText{QStringLiteral("text:span"),
                                    QStringLiteral("text:s"),
                                    QStringLiteral("text:tab"),
                                    QStringLiteral("text:line-break"),
                                    QStringLiteral("text:soft-page-break"),
                                    QStringLiteral("text:a"),
                                    QStringLiteral("text:bookmark"),
                                    QStringLiteral("text:bookmark-start"),
                                    QStringLiteral("text:bookmark-end"),
                                    QStringLiteral("text:reference-mark"),
                                    QStringLiteral("text:reference-mark-start"),
                                    QStringLiteral("text:reference-mark-end"),
                                    QStringLiteral("text:change"),
                                    QStringLiteral("text:change-start"),
                                    QStringLiteral("text:change-end"),
                                    QStringLiteral("text:ruby"),
                                    QStringLiteral("text:ruby-base"),
                                    QStringLiteral("text:meta")};
    if (name.startsWith(QLatin1String("office:annotation")))
        return QStringLiteral("примечание");
    if (name == QLatin1String("text:note"))
        return QStringLiteral("сноска");
    if (name.startsWith(QLatin1String("draw:")))
        return QStringLiteral("рисунок");
    if (name.startsWith(QLatin1String("text:")) && !inText.contains(name))
        return QStringLiteral("поле");
    return QString();
}

// Removes everything that lies strictly between two text nodes of one
// paragraph, keeping the elements that contain the second one.
void removeBetween(const QDomNode& first, const QDomNode& last)
{
    QVector<QDomNode> doomed;
    QDomNode node = DomUtil::nextNode(first);
    while (!node.isNull() && node != last) {
        if (DomUtil::isAncestor(node, last)) {
            node = node.firstChild();
            continue;
        }
        doomed.append(node);
        node = DomUtil::nextLastNode(node);
    }
    for (QDomNode& node : doomed)
        node.parentNode().removeChild(node);
}

// Puts the non-empty `pieces` into `text` and new text nodes after it.
void setPieces(QDomNode text, const QStringList& pieces)
{
    text.setNodeValue(pieces.first());
    QDomNode parent = text.parentNode();
    QDomNode after = text;
    for (int p = 1; p < pieces.size(); ++p)
        after = parent.insertAfter(text.ownerDocument().createTextNode(pieces.at(p)), after);
}

} // namespace

// The text of an ODF paragraph or heading in its text nodes (those of its
// spans, links and other text elements included, not those of nested
// paragraphs, notes or frames), and how a command block becomes a text node
// of its own: a command spread over several text nodes is merged into the
// first of them; what lies between its first and last text node (the rest
// of the spans, bookmarks, spaces written as elements) is dropped with it;
// the text before and after it stays where it was, in text nodes of its own.
class OdtTextPieces final : public CommandIsolation::ParagraphPieces
{
public:
    QString read(const QDomElement& paragraph, QVector<int>& starts) override
    {
        texts.clear();
        QString joined;
        QDomNode node = paragraph.firstChild();
        while (!node.isNull()) {
            if (node.nodeType() == QDomNode::TextNode) {
                texts.append(node);
                starts.append(joined.size());
                joined += node.nodeValue();
            } else if (node.isElement() && node.hasChildNodes() && holdsOwnText(node.nodeName())) {
                node = node.firstChild();
                continue;
            }
            while (node != paragraph && node.nextSibling().isNull())
                node = node.parentNode();
            node = node == paragraph ? QDomNode() : node.nextSibling();
        }
        return joined;
    }

    void isolate(int first, int last, int start, int end, const QString& block) override
    {
        QDomNode firstText = texts.at(first);
        QString after;
        if (first == last) {
            after = firstText.nodeValue().mid(end);
        } else {
            QDomNode lastText = texts.at(last);
            removeBetween(firstText, lastText);
            // The last node keeps what follows the command; the command's own
            // continuation in it goes.
            const QString rest = lastText.nodeValue().mid(end);
            if (rest.isEmpty())
                lastText.parentNode().removeChild(lastText);
            else
                lastText.setNodeValue(rest);
        }
        QStringList pieces{firstText.nodeValue().left(start), block, after};
        pieces.removeAll(QString());
        setPieces(firstText, pieces);
    }

    QString interruption(int first, int last) const override
    {
        if (first == last)
            return QString();
        const QDomNode end = texts.at(last);
        for (QDomNode node = DomUtil::nextNode(texts.at(first)); !node.isNull() && node != end;
             node = DomUtil::nextNode(node)) {
            const QString kind = node.isElement() ? interruptionKind(node.nodeName()) : QString();
            if (!kind.isEmpty())
                return kind + QLatin1Char(' ') + node.nodeName();
        }
        return QString();
    }

private:
    QVector<QDomNode> texts;
};

std::unique_ptr<CommandIsolation::ParagraphPieces> createOdtTextPieces()
{
    return std::make_unique<OdtTextPieces>();
}
