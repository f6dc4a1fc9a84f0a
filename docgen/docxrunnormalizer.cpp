#include "docxrunnormalizer.h"

#include "docxxml.h"

#include <QDomDocument>
#include <QPair>
#include <QVector>

#include <algorithm>

using namespace DocxXml;

namespace {

// A non-empty "w:t" of a paragraph's own run, and where its text begins in the
// paragraph's text.
struct TextPiece
{
    QDomElement run;
    QDomElement text;
    int runIndex;
    int start;
};

// Inside a run only elements carry content; text nodes there are indentation.
bool isContent(const QDomNode& node)
{
    return node.isElement() && node.nodeName() != nnRunProp;
}

bool hasContentBefore(const QDomNode& node)
{
    for (QDomNode n = node.previousSibling(); !n.isNull(); n = n.previousSibling()) {
        if (isContent(n))
            return true;
    }
    return false;
}

bool hasContentAfter(const QDomNode& node)
{
    for (QDomNode n = node.nextSibling(); !n.isNull(); n = n.nextSibling()) {
        if (isContent(n))
            return true;
    }
    return false;
}

// A new empty run with the properties of `run`.
QDomElement emptyRunLike(const QDomElement& run)
{
    QDomElement copy = run.cloneNode(false).toElement();
    const QDomElement properties = run.firstChildElement(nnRunProp);
    if (!properties.isNull())
        copy.appendChild(properties.cloneNode(true));
    return copy;
}

// Splits `run` before character `offset` of its text element `text`: what
// follows moves into a new run with the same properties, inserted right after
// `run`. Returns the run that begins at the split point: `run` itself when
// nothing precedes the point, null when nothing follows it.
QDomElement splitRun(QDomElement run, QDomElement text, int offset)
{
    const QString value = text.text();
    if (offset <= 0 && !hasContentBefore(text))
        return run;
    if (offset >= value.size() && !hasContentAfter(text))
        return QDomElement();

    QDomElement tail = emptyRunLike(run);
    QDomNode firstMoved;
    if (offset <= 0) {
        firstMoved = text;
    } else {
        if (offset < value.size()) {
            QDomElement rest = text.cloneNode(false).toElement();
            setText(rest, value.mid(offset));
            tail.appendChild(rest);
            setText(text, value.left(offset));
        }
        firstMoved = text.nextSibling();
    }
    for (QDomNode node = firstMoved; !node.isNull();) {
        const QDomNode next = node.nextSibling();
        tail.appendChild(node); // moves it
        node = next;
    }
    run.parentNode().insertAfter(tail, run);
    return tail;
}

// Index of the piece that holds character `pos` of the paragraph text.
int pieceAt(const QVector<TextPiece>& pieces, int pos)
{
    const auto it = std::upper_bound(pieces.begin(), pieces.end(), pos,
                                     [](int p, const TextPiece& piece) { return p < piece.start; });
    return int(it - pieces.begin()) - 1;
}

// The node after `node` in document order, staying inside the subtree of `root`.
QDomNode nextInside(const QDomNode& node, const QDomNode& root)
{
    if (node.hasChildNodes())
        return node.firstChild();
    QDomNode current = node;
    while (current != root && current.nextSibling().isNull())
        current = current.parentNode();
    return current == root ? QDomNode() : current.nextSibling();
}

int normalizeParagraph(const QDomElement& paragraph)
{
    QVector<QDomElement> runs;
    QVector<TextPiece> pieces;
    QString text;
    forEachOwnRun(paragraph, [&](const QDomElement& run) {
        for (QDomElement t = run.firstChildElement(nnText); !t.isNull(); t = t.nextSiblingElement(nnText)) {
            const QString value = t.text();
            if (value.isEmpty())
                continue;
            pieces.append({run, t, runs.size(), text.size()});
            text += value;
        }
        runs.append(run);
    });
    // Cheap rejection first: most paragraphs hold no command at all.
    if (text.size() < 4 || !text.contains(QLatin1Char('%')) || !text.contains(QLatin1Char('[')))
        return 0;

    QVector<QPair<int, int>> blocks;
    QRegularExpressionMatchIterator it = commandBlockPattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        blocks.append({match.capturedStart(), match.capturedEnd()});
    }

    // From the last block to the first: splitting a run keeps its beginning in
    // the original element, so the positions of earlier blocks stay valid.
    for (int b = blocks.size() - 1; b >= 0; --b) {
        const int start = blocks.at(b).first;
        const int end = blocks.at(b).second;
        const TextPiece& first = pieces.at(pieceAt(pieces, start));
        const TextPiece& last = pieces.at(pieceAt(pieces, end - 1));

        splitRun(last.run, last.text, end - last.start);
        QDomElement commandRun = splitRun(first.run, first.text, start - first.start);
        for (int r = first.runIndex + 1; r <= last.runIndex; ++r)
            runs.at(r).parentNode().removeChild(runs.at(r));

        for (QDomNode node = commandRun.firstChild(); !node.isNull();) {
            const QDomNode next = node.nextSibling();
            if (node.nodeName() != nnRunProp)
                commandRun.removeChild(node);
            node = next;
        }
        QDomElement t = commandRun.ownerDocument().createElement(nnText);
        setText(t, text.mid(start, end - start));
        commandRun.appendChild(t);
    }
    return blocks.size();
}

} // namespace

int DocxRunNormalizer::normalize(const QDomNode& root)
{
    int count = 0;
    // A paragraph is rewritten before the walk enters it, so paragraphs in
    // text boxes anchored in its runs are met afterwards as they now stand.
    for (QDomNode node = root; !node.isNull(); node = nextInside(node, root)) {
        if (node.isElement() && node.nodeName() == nnPar)
            count += normalizeParagraph(node.toElement());
    }
    return count;
}
