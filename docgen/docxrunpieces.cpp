#include "docxrunpieces.h"

#include "docxxml.h"
#include "domutil.h"

#include <QDomDocument>
#include <QHash>

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

// The text of a WordprocessingML paragraph in its runs' "w:t" elements, and
// how a command block becomes a run of its own:
// - a command spread over several runs is one run with the properties of the
//   run where it begins, holding one "w:t" with the command's text; the runs
//   it covered are gone, together with their tabs, breaks and other inline
//   content inside the command, while bookmarks, proofing marks and wrappers
//   (hyperlinks, insertions...) between those runs stay where they were;
// - text before and after a command is split into sibling runs with the same
//   run properties, keeping its tabs, breaks and fields in place;
// - all other runs are left exactly as they were.
class DocxRunPieces final : public CommandIsolation::ParagraphPieces
{
public:
    QString read(const QDomElement& paragraph, QVector<int>& starts) override
    {
        runs.clear();
        pieces.clear();
        QString text;
        forEachOwnRun(paragraph, [&](const QDomElement& run) {
            for (QDomElement t = run.firstChildElement(nnText); !t.isNull();
                 t = t.nextSiblingElement(nnText)) {
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

    void isolate(int first, int last, int start, int end, const QString& block) override
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

    QString interruption(int first, int last) const override
    {
        // Field codes and results, comment marks, notes and drawings: the
        // isolation removes those inside a command, and a field's result
        // text becomes part of the command.
        static const QHash<QString, QString> kinds{
            {QStringLiteral("w:fldChar"), QStringLiteral("поле")},
            {QStringLiteral("w:instrText"), QStringLiteral("поле")},
            {QStringLiteral("w:fldSimple"), QStringLiteral("поле")},
            {QStringLiteral("w:commentRangeStart"), QStringLiteral("примечание")},
            {QStringLiteral("w:commentRangeEnd"), QStringLiteral("примечание")},
            {QStringLiteral("w:commentReference"), QStringLiteral("примечание")},
            {QStringLiteral("w:footnoteReference"), QStringLiteral("сноска")},
            {QStringLiteral("w:endnoteReference"), QStringLiteral("сноска")},
            {QStringLiteral("w:drawing"), QStringLiteral("рисунок")},
            {QStringLiteral("w:pict"), QStringLiteral("рисунок")},
            {QStringLiteral("w:object"), QStringLiteral("объект")}};
        if (first == last)
            return QString();
        const QDomNode end = pieces.at(last).text;
        for (QDomNode node = pieces.at(first).text; !node.isNull() && node != end;
             node = DomUtil::nextNode(node)) {
            const QString kind = kinds.value(node.nodeName());
            if (!kind.isEmpty())
                return kind + QLatin1Char(' ') + node.nodeName();
        }
        return QString();
    }

private:
    // A non-empty "w:t" of one of the paragraph's own runs.
    struct Piece
    {
        QDomElement run;
        QDomElement text;
        int runIndex;
    };
    QVector<QDomElement> runs;
    QVector<Piece> pieces;
};

std::unique_ptr<CommandIsolation::ParagraphPieces> createDocxRunPieces()
{
    return std::make_unique<DocxRunPieces>();
}
