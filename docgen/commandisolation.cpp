#include "commandisolation.h"

#include "domformat.h"
#include "proccommand.h"

#include <QPair>

#include <algorithm>

CommandIsolation::ParagraphPieces::~ParagraphPieces() = default;

QString CommandIsolation::ParagraphPieces::interruption(int, int) const
{
    return QString();
}

namespace {

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

// Index of the piece that holds character `pos` of the joined text.
int pieceAt(const QVector<int>& starts, int pos)
{
    return int(std::upper_bound(starts.cbegin(), starts.cend(), pos) - starts.cbegin()) - 1;
}

} // namespace

int CommandIsolation::isolate(const QDomNode& root, const DomNames& names, ParagraphPieces& pieces,
                              const Observer& observer)
{
    int count = 0;
    // A paragraph is rewritten before the walk enters it, so paragraphs
    // nested in its content are met afterwards as they now stand.
    for (QDomNode node = root; !node.isNull(); node = nextInside(node, root)) {
        if (!node.isElement())
            continue;
        const QString name = node.nodeName();
        if (name == names.paragraph || (!names.heading.isEmpty() && name == names.heading))
            count += isolateIn(node.toElement(), pieces, observer);
    }
    return count;
}

int CommandIsolation::isolateIn(const QDomElement& paragraph, ParagraphPieces& pieces,
                                const Observer& observer)
{
    QVector<int> starts;
    const QString text = pieces.read(paragraph, starts);
    // Cheap rejection first: most paragraphs hold no command at all.
    if (text.size() < 4 || !text.contains(QLatin1Char('[')) || !text.contains(QLatin1Char('%')))
        return 0;

    QVector<QPair<int, int>> blocks;
    QRegularExpressionMatchIterator it = ProcCommand::blockPattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        blocks.append({match.capturedStart(), match.capturedEnd()});
    }
    if (observer) {
        ParagraphBlocks seen{paragraph, text, blocks, {}};
        for (const auto& block : qAsConst(blocks)) {
            seen.interruptions << pieces.interruption(pieceAt(starts, block.first),
                                                      pieceAt(starts, block.second - 1));
        }
        observer(seen);
    }
    // From the last block to the first: cutting a piece keeps its beginning
    // in the original node, so the positions of earlier blocks stay valid.
    for (int b = blocks.size() - 1; b >= 0; --b) {
        const int start = blocks.at(b).first;
        const int end = blocks.at(b).second;
        const int first = pieceAt(starts, start);
        const int last = pieceAt(starts, end - 1);
        pieces.isolate(first, last, start - starts.at(first), end - starts.at(last),
                       text.mid(start, end - start));
    }
    return blocks.size();
}
