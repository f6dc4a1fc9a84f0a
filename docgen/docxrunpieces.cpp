#include "docxrunpieces.h"

#include "docxxml.h"

#include <QDomDocument>

using namespace DocxXml;

namespace {

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

} // namespace

QString DocxRunPieces::read(const QDomElement& paragraph, QVector<int>& starts)
{
    runs.clear();
    pieces.clear();
    QString text;
    forEachOwnRun(paragraph, [&](const QDomElement& run) {
        for (QDomElement t = run.firstChildElement(nnText); !t.isNull(); t = t.nextSiblingElement(nnText)) {
            const QString value = t.text();
            if (value.isEmpty())
                continue;
            pieces.append({run, t, runs.size()});
            starts.append(text.size());
            text += value;
        }
        runs.append(run);
    });
    return text;
}

void DocxRunPieces::isolate(int first, int last, int start, int end, const QString& block)
{
    const Piece& firstPiece = pieces.at(first);
    const Piece& lastPiece = pieces.at(last);
    splitRun(lastPiece.run, lastPiece.text, end);
    QDomElement commandRun = splitRun(firstPiece.run, firstPiece.text, start);
    for (int r = firstPiece.runIndex + 1; r <= lastPiece.runIndex; ++r)
        runs.at(r).parentNode().removeChild(runs.at(r));

    for (QDomNode node = commandRun.firstChild(); !node.isNull();) {
        const QDomNode next = node.nextSibling();
        if (node.nodeName() != nnRunProp)
            commandRun.removeChild(node);
        node = next;
    }
    QDomElement t = commandRun.ownerDocument().createElement(nnText);
    setText(t, block);
    commandRun.appendChild(t);
}
