#pragma once

#include <QDomElement>
#include <QDomNode>
#include <QRegularExpression>
#include <QString>

// WordprocessingML names and the small tree helpers that the DOCX format,
// its run pieces and its sections share. Parts are parsed without
// namespace processing, so elements are compared by qualified name ("w:p").
namespace DocxXml {

inline const QString nnPar = QStringLiteral("w:p");
inline const QString nnRun = QStringLiteral("w:r");
inline const QString nnText = QStringLiteral("w:t");
inline const QString nnParProp = QStringLiteral("w:pPr");
inline const QString nnRunProp = QStringLiteral("w:rPr");
inline const QString nnSectProp = QStringLiteral("w:sectPr");
inline const QString nnTable = QStringLiteral("w:tbl");
inline const QString nnRow = QStringLiteral("w:tr");
inline const QString nnCell = QStringLiteral("w:tc");
inline const QString nnBody = QStringLiteral("w:body");
inline const QString nnDocument = QStringLiteral("w:document");
inline const QString nnBreak = QStringLiteral("w:br");
inline const QString nnTextBoxContent = QStringLiteral("w:txbxContent");
inline const QString attrSpace = QStringLiteral("xml:space");

inline const QString contentFileName = QStringLiteral("word/document.xml");
inline const QString relsFileName = QStringLiteral("word/_rels/document.xml.rels");
inline const QString contentTypesFileName = QStringLiteral("[Content_Types].xml");
inline const QString relIdPref = QStringLiteral("rId");
inline const QString picPath = QStringLiteral("word/media");
inline const QString picPref = QStringLiteral("image");

inline const QString patHeaderFooter = QStringLiteral("(word/header\\d*\\.xml|word/footer\\d*\\.xml)");
inline const QString patNotes = QStringLiteral("(word/footnotes\\.xml|word/endnotes\\.xml)");

// Whether an entry name is a header or footer part.
bool isHeaderFooterEntry(const QString& entryName);
// Whether an entry name is the footnotes or the endnotes part.
bool isNotesEntry(const QString& entryName);

// The text of a run: its direct "w:t" children joined. Tabs, breaks, field
// characters and deleted text ("w:delText") are not part of it, and neither
// is the text of paragraphs in text boxes anchored in the run.
QString runText(const QDomElement& run);
// The text of a paragraph: the text of its own runs (also those inside
// hyperlinks, smart tags, insertions and similar wrappers), not that of
// paragraphs nested in text boxes.
QString paragraphText(const QDomElement& paragraph);
// Calls `visit` for each run that belongs to the paragraph itself, in order.
template <typename Visit>
void forEachOwnRun(const QDomElement& paragraph, Visit visit);

// `node` itself if it is a paragraph, otherwise its nearest paragraph ancestor.
QDomElement paragraphOf(const QDomNode& node);

// Sets the text of a "w:t", marking it to keep its spaces when it begins or
// ends with white space (otherwise Word drops those spaces).
void setText(QDomElement textElement, const QString& text);
// Whether text needs xml:space="preserve" to keep its spaces.
bool needsPreserve(const QString& text);

// Writes `value` into `textElement` (a "w:t" of a run); each line feed becomes
// a "w:br" line break in the same run, with the following text in a new
// "w:t" after it.
void setTextWithBreaks(QDomElement textElement, const QString& value);

// Copies of an element for `doc`, without or with its subtree.
inline QDomElement shallowCopy(QDomDocument& doc, const QDomNode& node)
{
    return doc.importNode(node, false).toElement();
}
inline QDomElement deepCopy(QDomDocument& doc, const QDomNode& node)
{
    return doc.importNode(node, true).toElement();
}

} // namespace DocxXml

template <typename Visit>
void DocxXml::forEachOwnRun(const QDomElement& paragraph, Visit visit)
{
    // Depth-first over the paragraph's content without entering runs
    // (text boxes hang below runs) or the paragraph's properties.
    QDomNode node = paragraph.firstChild();
    while (!node.isNull() && node != paragraph) {
        bool descend = false;
        if (node.isElement()) {
            const QString name = node.nodeName();
            if (name == nnRun)
                visit(node.toElement());
            else
                descend = name != nnParProp && name != nnPar && node.hasChildNodes();
        }
        if (descend) {
            node = node.firstChild();
            continue;
        }
        while (node.nextSibling().isNull() && node.parentNode() != paragraph && !node.parentNode().isNull())
            node = node.parentNode();
        node = node.nextSibling();
    }
}
