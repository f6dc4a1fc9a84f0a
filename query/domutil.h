#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QDomNode>
#include <QRegExp>
#include <QString>

#include <QList>
#include <QStringList>

class QTextCodec;

// Table rows written from one rendered row. `prototype` stands in the
// document once, holding rowMarker(column) where the value of a column goes,
// and is written once per entry of `lines`, each value in place of its
// marker. Rows that differ only in their text so cost one tree, not one each.
struct SplicedRows
{
    QDomElement prototype;
    QList<QStringList> lines;
};

// Walking, searching, copying and serialising DOM trees of the DOCX and ODT
// parts. Handles are taken and returned by value; a null handle stands for
// "no node". Everything here is stateless and may run in several threads at
// once, each on its own documents.
class DomUtil
{
public:
    // The node after `node` in document order (pre-order); null after the last one.
    static QDomNode nextNode(const QDomNode& node);

    // First node from `start` (included) up to `end` (excluded, null: to the
    // end of the tree) whose node name equals `name`.
    static QDomNode findNode(const QString& name, const QDomNode& start, const QDomNode& end);
    // Same for a pattern that must match the whole node name. The pattern is
    // taken by value because QRegExp keeps its match state in the object:
    // callers in different threads must not share one pattern object.
    static QDomNode findNode(QRegExp pattern, const QDomNode& start, const QDomNode& end);

    // The last node of the subtree of `node` in document order.
    static QDomNode lastNode(const QDomNode& node);
    // The first node after the whole subtree of `node`.
    static QDomNode nextLastNode(const QDomNode& node);
    // `node` itself or its nearest ancestor named `name`.
    static QDomNode ancestorNode(const QString& name, const QDomNode& node);
    // Whether `ancestor` is a proper ancestor of `node`.
    static bool isAncestor(const QDomNode& ancestor, const QDomNode& node);
    // The node of the result tree that stands for `templateNode`: the
    // ancestor-or-self of `resultNode` at the same depth with the same chain
    // of names up to the root; null when there is none. A result mirrors the
    // nesting of its template, and the last node written lies at or below
    // the counterpart of every template element around the walk's position.
    static QDomNode counterpart(const QDomNode& resultNode, const QDomNode& templateNode);
    // Node names from the document down to `node`, joined with "/".
    static QString nodePath(const QDomNode& node);
    // The first element named `name` below `parent` in document order, not
    // looking inside elements named `skip` (a nested table's cells are the
    // nested table's, not the outer cell's).
    static QDomElement firstElementBelow(const QDomElement& parent, const QString& name, const QString& skip);

    // Appends shallow copies of the nodes from `start` up to `end` (excluded)
    // below `destParent`, which stands for the parent of `start`, keeping
    // their nesting. Returns the last node appended, null when none was.
    static QDomNode copyNodes(const QDomNode& destParent, const QDomNode& start, const QDomNode& end);
    // Moves the children of `holder` to the end of `parent`. Returns the last
    // one moved, `fallback` when there was none.
    static QDomNode moveChildren(const QDomNode& holder, QDomNode parent, const QDomNode& fallback);
    // Like copyNodes after moving up from `dest` to the node whose path equals
    // that of the parent of `start`. Returns `dest` when nothing was copied.
    static QDomNode copyNodesSyn(const QDomNode& dest, const QDomNode& start, const QDomNode& end);

    // Parses XML without namespace processing (qualified names such as "w:p",
    // namespace declarations kept as attributes) and, unlike
    // QDomDocument::setContent, keeps whitespace-only text: a run holding
    // three spaces or the space between two ODF spans is document text.
    // The XML declaration becomes the first child, as with setContent; a
    // document type declaration is dropped. On failure `doc` is left empty.
    static bool parseDocument(QDomDocument& doc, const QByteArray& data, QString* errorMessage = nullptr,
                              int* errorLine = nullptr, int* errorColumn = nullptr);
    static bool parseDocument(QDomDocument& doc, const QString& text, QString* errorMessage = nullptr,
                              int* errorLine = nullptr, int* errorColumn = nullptr);

    // Serialises `document` into `out` (replacing its content) through `codec`
    // (UTF-8 when null). With a negative indent nothing is added to the text
    // of the document.
    static void rawDataFromDoc(QByteArray& out, const QDomDocument& document, QTextCodec* codec, int indent);
    // The same without indent, with the rows of `splices` written out; false
    // (and `out` empty) when the document holds what only QDom's own writer
    // writes, which never happens to a parsed template's result.
    static bool rawDataWithRows(QByteArray& out, const QDomDocument& document, QTextCodec* codec,
                                const QList<SplicedRows>& splices);
    // The text standing for a column's value in a prototype row.
    static QString rowMarker(int column);
    // Whether a value written into a cell gives the text of the value and
    // nothing else in every format: no white space at its ends or twice in
    // a row, no control characters, nothing whose escape depends on the text
    // before it. Rows with other values are built as trees of their own.
    static bool isPlainCellValue(const QString& value);
};
