#include "domutil.h"

#include <algorithm>
#include <iterator>

#include <QBuffer>
#include <QDomNamedNodeMap>
#include <QHash>
#include <QStringList>
#include <QStringView>
#include <QTextCodec>
#include <QTextStream>
#include <QVector>
#include <QXmlStreamReader>

// ---------------------------------------------------------------------------
// Walking and searching

QDomNode DomUtil::nextNode(const QDomNode& node)
{
    if (node.isNull())
        return QDomNode();
    if (node.hasChildNodes())
        return node.firstChild();
    QDomNode current = node;
    while (current.nextSibling().isNull() && !current.parentNode().isNull())
        current = current.parentNode();
    return current.nextSibling();
}

QDomNode DomUtil::findNode(const QString& name, const QDomNode& start, const QDomNode& end)
{
    for (QDomNode node = start; !node.isNull() && node != end; node = nextNode(node)) {
        if (node.nodeName() == name)
            return node;
    }
    return QDomNode();
}

QDomNode DomUtil::findNode(QRegExp pattern, const QDomNode& start, const QDomNode& end)
{
    for (QDomNode node = start; !node.isNull() && node != end; node = nextNode(node)) {
        if (pattern.exactMatch(node.nodeName()))
            return node;
    }
    return QDomNode();
}

QDomNode DomUtil::lastNode(const QDomNode& node)
{
    QDomNode current = node;
    while (!current.isNull() && current.hasChildNodes())
        current = current.lastChild();
    return current;
}

QDomNode DomUtil::nextLastNode(const QDomNode& node)
{
    return nextNode(lastNode(node));
}

QDomNode DomUtil::ancestorNode(const QString& name, const QDomNode& node)
{
    for (QDomNode current = node; !current.isNull(); current = current.parentNode()) {
        if (current.nodeName() == name)
            return current;
    }
    return QDomNode();
}

QDomElement DomUtil::firstElementBelow(const QDomElement& parent, const QString& name, const QString& skip)
{
    QDomNode node = parent.firstChild();
    while (!node.isNull()) {
        if (node.isElement()) {
            const QString nodeName = node.nodeName();
            if (nodeName == name)
                return node.toElement();
            if (nodeName != skip && node.hasChildNodes()) {
                node = node.firstChild();
                continue;
            }
        }
        while (node.nextSibling().isNull() && node.parentNode() != parent)
            node = node.parentNode();
        node = node.nextSibling();
    }
    return QDomElement();
}

bool DomUtil::isAncestor(const QDomNode& ancestor, const QDomNode& node)
{
    for (QDomNode n = node.parentNode(); !n.isNull(); n = n.parentNode()) {
        if (n == ancestor)
            return true;
    }
    return false;
}

namespace {

int depthOf(const QDomNode& node)
{
    int depth = 0;
    for (QDomNode n = node.parentNode(); !n.isNull(); n = n.parentNode())
        ++depth;
    return depth;
}

} // namespace

QDomNode DomUtil::counterpart(const QDomNode& resultNode, const QDomNode& templateNode)
{
    const int depth = depthOf(templateNode);
    int resultDepth = depthOf(resultNode);
    QDomNode candidate = resultNode;
    for (; resultDepth > depth && !candidate.isNull(); --resultDepth)
        candidate = candidate.parentNode();
    if (candidate.isNull() || resultDepth != depth)
        return QDomNode();
    for (QDomNode r = candidate, t = templateNode; !t.isNull(); r = r.parentNode(), t = t.parentNode()) {
        if (r.isNull() || r.nodeName() != t.nodeName())
            return QDomNode();
    }
    return candidate;
}

QString DomUtil::nodePath(const QDomNode& node)
{
    QStringList names;
    for (QDomNode current = node; !current.isNull(); current = current.parentNode())
        names.prepend(current.nodeName());
    return names.join(QLatin1Char('/'));
}

// ---------------------------------------------------------------------------
// Copying

QDomNode DomUtil::copyNodes(const QDomNode& destParent, const QDomNode& start, const QDomNode& end)
{
    QDomNode dest = destParent;
    QDomNode source = start;
    QDomNode lastAdded;
    // Copies go through importNode so that they belong to the destination
    // document, which usually is not the document of the source.
    QDomDocument destDoc = dest.ownerDocument();
    while (!source.isNull() && source != end && !dest.isNull()) {
        lastAdded = dest.appendChild(destDoc.importNode(source, false));
        if (source.hasChildNodes()) {
            source = source.firstChild();
            dest = lastAdded;
            continue;
        }
        // Climb in step, so the copy keeps the nesting of the source stretch.
        while (source.nextSibling().isNull() && !source.parentNode().isNull()) {
            source = source.parentNode();
            dest = dest.parentNode();
        }
        source = source.nextSibling();
    }
    return lastAdded;
}

QDomNode DomUtil::moveChildren(const QDomNode& holder, QDomNode parent, const QDomNode& fallback)
{
    QDomNode last = fallback;
    for (QDomNode child = holder.firstChild(); !child.isNull(); child = holder.firstChild())
        last = parent.appendChild(child);
    return last;
}

QDomNode DomUtil::copyNodesSyn(const QDomNode& dest, const QDomNode& start, const QDomNode& end)
{
    const QString sourcePath = nodePath(start.parentNode());
    QDomNode destParent = dest;
    while (!destParent.isNull() && nodePath(destParent) != sourcePath)
        destParent = destParent.parentNode();
    const QDomNode lastAdded = copyNodes(destParent, start, end);
    return lastAdded.isNull() ? dest : lastAdded;
}

// ---------------------------------------------------------------------------
// Parsing

namespace {

// Builds a QDomDocument from the tokens of a stream reader. Adjacent pieces of
// character data (the reader splits text at entity references) become one
// text node.
class DomBuilder
{
public:
    explicit DomBuilder(QDomDocument& doc) : doc(doc) {}

    bool build(QXmlStreamReader& reader);

private:
    void appendNode(const QDomNode& node);
    void flushText();
    void startElement(const QXmlStreamReader& reader);
    void addDeclaration(const QXmlStreamReader& reader);
    QString sharedName(const QStringRef& name);

    QDomDocument& doc;
    // Element and attribute names repeat throughout a document; sharing one
    // string per name saves an allocation per element and attribute.
    QHash<QStringView, QString> names;
    QVector<QDomNode> openElements;
    QString pendingText;
};

void DomBuilder::appendNode(const QDomNode& node)
{
    if (openElements.isEmpty())
        doc.appendChild(node);
    else
        openElements.last().appendChild(node);
}

void DomBuilder::flushText()
{
    if (pendingText.isEmpty())
        return;
    // Character data outside the root element can only be whitespace, and a
    // document node cannot hold text.
    if (!openElements.isEmpty())
        appendNode(doc.createTextNode(pendingText));
    pendingText.clear();
}

QString DomBuilder::sharedName(const QStringRef& name)
{
    const auto found = names.constFind(QStringView(name));
    if (found != names.constEnd())
        return found.value();
    const QString stored = name.toString();
    // The key views the characters of the stored value, which never change.
    names.insert(QStringView(stored), stored);
    return stored;
}

void DomBuilder::startElement(const QXmlStreamReader& reader)
{
    QDomElement element = doc.createElement(sharedName(reader.qualifiedName()));
    const QXmlStreamAttributes attributes = reader.attributes();
    for (const QXmlStreamAttribute& attribute : attributes)
        element.setAttribute(sharedName(attribute.qualifiedName()), attribute.value().toString());
    appendNode(element);
    openElements.append(element);
}

void DomBuilder::addDeclaration(const QXmlStreamReader& reader)
{
    if (reader.documentVersion().isEmpty())
        return;
    QString data = QStringLiteral("version=\"%1\"").arg(reader.documentVersion());
    if (!reader.documentEncoding().isEmpty())
        data += QStringLiteral(" encoding=\"%1\"").arg(reader.documentEncoding());
    // The reader cannot tell standalone="no" from no standalone at all;
    // both mean the same.
    if (reader.isStandaloneDocument())
        data += QStringLiteral(" standalone=\"yes\"");
    appendNode(doc.createProcessingInstruction(QStringLiteral("xml"), data));
}

bool DomBuilder::build(QXmlStreamReader& reader)
{
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Characters && !reader.isCDATA()) {
            pendingText += reader.text();
            continue;
        }
        if (token == QXmlStreamReader::EntityReference) {
            // Declared entities arrive with their replacement text.
            pendingText += reader.text();
            continue;
        }
        flushText();
        switch (token) {
        case QXmlStreamReader::StartDocument:
            addDeclaration(reader);
            break;
        case QXmlStreamReader::StartElement:
            startElement(reader);
            break;
        case QXmlStreamReader::EndElement:
            openElements.removeLast();
            break;
        case QXmlStreamReader::Characters:
            appendNode(doc.createCDATASection(reader.text().toString()));
            break;
        case QXmlStreamReader::Comment:
            appendNode(doc.createComment(reader.text().toString()));
            break;
        case QXmlStreamReader::ProcessingInstruction:
            appendNode(doc.createProcessingInstruction(reader.processingInstructionTarget().toString(),
                                                       reader.processingInstructionData().toString()));
            break;
        default: // DTD, end of document, errors
            break;
        }
    }
    return !reader.hasError();
}

bool parseWith(QDomDocument& doc, QXmlStreamReader& reader, QString* errorMessage, int* errorLine,
               int* errorColumn)
{
    reader.setNamespaceProcessing(false);
    QDomDocument result;
    const bool ok = DomBuilder(result).build(reader);
    doc = ok ? result : QDomDocument();
    if (errorMessage)
        *errorMessage = ok ? QString() : reader.errorString();
    if (errorLine)
        *errorLine = ok ? 0 : int(reader.lineNumber());
    if (errorColumn)
        *errorColumn = ok ? 0 : int(reader.columnNumber());
    return ok;
}

} // namespace

bool DomUtil::parseDocument(QDomDocument& doc, const QByteArray& data, QString* errorMessage, int* errorLine,
                            int* errorColumn)
{
    QXmlStreamReader reader(data);
    return parseWith(doc, reader, errorMessage, errorLine, errorColumn);
}

bool DomUtil::parseDocument(QDomDocument& doc, const QString& text, QString* errorMessage, int* errorLine,
                            int* errorColumn)
{
    QXmlStreamReader reader(text);
    return parseWith(doc, reader, errorMessage, errorLine, errorColumn);
}

// ---------------------------------------------------------------------------
// Serialising

namespace {

// Writes a document without adding anything to it. QDom's own writer ends
// every comment and processing instruction with a line break even with
// indent -1, which puts a line break into the text of the element around it.
// Escaping follows QDom's writer, so both give the same bytes otherwise.
class CompactWriter
{
public:
    explicit CompactWriter(QTextCodec* codec, const QList<SplicedRows>* splices = nullptr);

    // False when the document uses something written only by QDom itself:
    // a document type, or nodes created with namespace processing.
    bool write(const QDomDocument& document);
    const QString& text() const { return out; }

private:
    // `top` and everything below it.
    void writeSubtree(const QDomNode& top);
    const SplicedRows* splicedAt(const QDomNode& node) const;
    void writeSpliced(const SplicedRows& rows);
    void writeStart(const QDomNode& node, bool topLevel);
    bool writeElementStart(const QDomElement& element);
    void writeEscaped(const QString& value, bool attribute);
    // The escape for the character at `pos`, empty when it is written as it
    // is; `length` receives the number of UTF-16 units the character takes.
    QString escapeAt(const QString& value, int pos, bool attribute, int& length) const;

    QTextCodec* codec;
    const QList<SplicedRows>* splices;
    bool unicodeCodec;
    bool supported = true;
    QString out;
};

const QChar markerOpen(0xE000);
const QChar markerClose(0xE001);

CompactWriter::CompactWriter(QTextCodec* codec, const QList<SplicedRows>* splices) : codec(codec), splices(splices)
{
    static const int unicodeMibs[] = {106, 1013, 1014, 1015, 1017, 1018, 1019};
    unicodeCodec =
        std::find(std::begin(unicodeMibs), std::end(unicodeMibs), codec->mibEnum()) != std::end(unicodeMibs);
}

QString CompactWriter::escapeAt(const QString& value, int pos, bool attribute, int& length) const
{
    length = 1;
    const ushort c = value.at(pos).unicode();
    switch (c) {
    case '<':
        return QStringLiteral("&lt;");
    case '&':
        return QStringLiteral("&amp;");
    case '>':
        return pos >= 2 && value.at(pos - 1) == QLatin1Char(']') && value.at(pos - 2) == QLatin1Char(']')
                   ? QStringLiteral("&gt;")
                   : QString();
    case '\r':
        return QStringLiteral("&#xd;");
    case '"':
        return attribute ? QStringLiteral("&quot;") : QString();
    case '\n':
        // Unescaped, a line break or tab in an attribute is read back as a space.
        return attribute ? QStringLiteral("&#xa;") : QString();
    case '\t':
        return attribute ? QStringLiteral("&#x9;") : QString();
    default:
        break;
    }
    if (c < 0x80 || unicodeCodec)
        return QString();
    if (QChar::isHighSurrogate(c) && pos + 1 < value.size() && value.at(pos + 1).isLowSurrogate())
        length = 2;
    if (codec->canEncode(value.mid(pos, length)))
        return QString();
    const uint code = length == 2 ? QChar::surrogateToUcs4(value.at(pos), value.at(pos + 1)) : c;
    return QStringLiteral("&#x%1;").arg(code, 0, 16);
}

void CompactWriter::writeEscaped(const QString& value, bool attribute)
{
    int copied = 0;
    int length = 1;
    const QChar* chars = value.constData();
    for (int i = 0, size = value.size(); i < size; i += length) {
        // Most characters stand for themselves; only these may need an escape.
        const ushort c = chars[i].unicode();
        length = 1;
        if (c > '>' && (c < 0x80 || unicodeCodec))
            continue;
        const QString replacement = escapeAt(value, i, attribute, length);
        if (replacement.isEmpty())
            continue;
        out.append(value.midRef(copied, i - copied));
        out.append(replacement);
        copied = i + length;
    }
    if (copied == 0)
        out.append(value);
    else
        out.append(value.midRef(copied));
}

bool CompactWriter::writeElementStart(const QDomElement& element)
{
    if (!element.namespaceURI().isNull())
        return false;
    out += QLatin1Char('<');
    out += element.tagName();
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0, count = attributes.count(); i < count; ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        if (!attribute.namespaceURI().isNull())
            return false;
        out += QLatin1Char(' ');
        out += attribute.name();
        out += QLatin1String("=\"");
        writeEscaped(attribute.value(), true);
        out += QLatin1Char('"');
    }
    out += element.hasChildNodes() ? QLatin1String(">") : QLatin1String("/>");
    return true;
}

void CompactWriter::writeStart(const QDomNode& node, bool topLevel)
{
    switch (node.nodeType()) {
    case QDomNode::ElementNode:
        supported = writeElementStart(node.toElement()) && supported;
        return;
    case QDomNode::TextNode:
        writeEscaped(node.nodeValue(), false);
        return;
    case QDomNode::CDATASectionNode:
        out += QLatin1String("<![CDATA[");
        out += QString(node.nodeValue()).replace(QLatin1String("]]>"), QLatin1String("]]]]><![CDATA[>"));
        out += QLatin1String("]]>");
        return;
    case QDomNode::EntityReferenceNode:
        out += QLatin1Char('&');
        out += node.nodeName();
        out += QLatin1Char(';');
        return;
    case QDomNode::CommentNode:
        out += QLatin1String("<!--") + node.nodeValue();
        if (node.nodeValue().endsWith(QLatin1Char('-')))
            out += QLatin1Char(' ');
        out += QLatin1String("-->");
        break;
    case QDomNode::ProcessingInstructionNode:
        out +=
            QLatin1String("<?") + node.nodeName() + QLatin1Char(' ') + node.nodeValue() + QLatin1String("?>");
        break;
    default:
        return;
    }
    // Outside the root element a line break changes nothing and keeps the
    // declaration on a line of its own.
    if (topLevel)
        out += QLatin1Char('\n');
}

void CompactWriter::writeSubtree(const QDomNode& top)
{
    // Iterative, so that deeply nested documents cannot exhaust the stack.
    QDomNode node = top;
    while (true) {
        bool descend = false;
        if (const SplicedRows* rows = splicedAt(node)) {
            writeSpliced(*rows);
        } else {
            writeStart(node, node.parentNode().isDocument());
            descend = node.isElement() && node.hasChildNodes();
        }
        if (descend) {
            node = node.firstChild();
            continue;
        }
        while (node != top && node.nextSibling().isNull()) {
            node = node.parentNode();
            out += QLatin1String("</");
            out += node.nodeName();
            out += QLatin1Char('>');
        }
        if (node == top)
            return;
        node = node.nextSibling();
    }
}

const SplicedRows* CompactWriter::splicedAt(const QDomNode& node) const
{
    if (!splices || splices->isEmpty() || !node.isElement())
        return nullptr;
    for (const SplicedRows& rows : *splices) {
        if (rows.prototype == node)
            return &rows;
    }
    return nullptr;
}

void CompactWriter::writeSpliced(const SplicedRows& rows)
{
    CompactWriter row(codec);
    row.writeSubtree(rows.prototype);
    supported = row.supported && supported;
    // The markers as the writer wrote them: escaped where the codec lacks them.
    CompactWriter open(codec);
    open.writeEscaped(QString(markerOpen), false);
    CompactWriter close(codec);
    close.writeEscaped(QString(markerClose), false);

    const QString& text = row.out;
    QVector<QStringRef> pieces;
    QVector<int> columns;
    int copied = 0;
    for (int at = text.indexOf(open.out); at >= 0; at = text.indexOf(open.out, at + 1)) {
        const int digits = at + open.out.size();
        const int end = text.indexOf(close.out, digits);
        bool isNumber = false;
        const int column = end < 0 ? -1 : text.midRef(digits, end - digits).toInt(&isNumber);
        if (!isNumber)
            continue;
        pieces << text.midRef(copied, at - copied);
        columns << column;
        copied = end + close.out.size();
        at = copied - 1;
    }
    pieces << text.midRef(copied);
    for (const QStringList& values : rows.lines) {
        for (int i = 0; i < columns.size(); ++i) {
            out.append(pieces.at(i));
            writeEscaped(values.value(columns.at(i)), false);
        }
        out.append(pieces.last());
    }
}

bool CompactWriter::write(const QDomDocument& document)
{
    if (!document.doctype().name().isEmpty())
        return false;
    for (QDomNode node = document.firstChild(); !node.isNull(); node = node.nextSibling())
        writeSubtree(node);
    return supported;
}

} // namespace

bool DomUtil::rawDataWithRows(QByteArray& out, const QDomDocument& document, QTextCodec* codec,
                              const QList<SplicedRows>& splices)
{
    if (!codec)
        codec = QTextCodec::codecForName("UTF-8");
    CompactWriter writer(codec, &splices);
    if (!writer.write(document)) {
        out.clear();
        return false;
    }
    out = codec->fromUnicode(writer.text());
    return true;
}

QString DomUtil::rowMarker(int column)
{
    return markerOpen + QString::number(column) + markerClose;
}

bool DomUtil::isPlainCellValue(const QString& value)
{
    if (value.isEmpty() || value.front().isSpace() || value.back().isSpace())
        return false;
    for (int i = 0, size = value.size(); i < size; ++i) {
        const ushort c = value.at(i).unicode();
        if (c < 0x20 || c == ']' || c == '>' || c == 0xFFFE || c == 0xFFFF || c == markerOpen.unicode()
            || c == markerClose.unicode())
            return false;
        if (c == ' ' && value.at(i + 1) == QLatin1Char(' '))
            return false;
        if (QChar::isSurrogate(c)) {
            if (!QChar::isHighSurrogate(c) || i + 1 >= size || !value.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        }
    }
    return true;
}

void DomUtil::rawDataFromDoc(QByteArray& out, const QDomDocument& document, QTextCodec* codec, int indent)
{
    if (!codec)
        codec = QTextCodec::codecForName("UTF-8");
    if (indent < 0) {
        CompactWriter writer(codec);
        if (writer.write(document)) {
            out = codec->fromUnicode(writer.text());
            return;
        }
    }
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate);
    QTextStream stream(&buffer);
    stream.setCodec(codec);
    stream << document.toString(indent);
    stream.flush();
    buffer.close();
}
