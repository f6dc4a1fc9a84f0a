#include "odtformat.h"

#include "domtemplate.h"
#include "domutil.h"
#include "odtnames.h"
#include "odttextpieces.h"
#include "odttextwriter.h"
#include "proccommand.h"
#include "resultpackage.h"
#include "ziputil.h"

#include <QImage>
#include <QMap>

using namespace OdtNames;

namespace {

// Identifiers must stay unique; copies made of one paragraph do not keep them.
void dropIdentifiers(QDomElement element)
{
    element.removeAttribute(QStringLiteral("xml:id"));
    element.removeAttribute(QStringLiteral("text:id"));
}

} // namespace

const DomNames& OdtFormat::names() const
{
    static const DomNames odtNames{nnPar, nnHeading, nnTable, nnRow, nnRowGroup, nnCell, {nnSoftPageBreak},
                                   false, true, contentFileName, picFolder + picPref, 0};
    return odtNames;
}

bool OdtFormat::isSecondaryPart(const QString& entryName) const
{
    return entryName == stylesFileName;
}

int OdtFormat::isolateCommands(const QDomDocument& part) const
{
    OdtTextPieces pieces;
    return CommandIsolation::isolate(part, names(), pieces);
}

QString OdtFormat::commandAt(const QDomNode& node) const
{
    // After isolation a command is always a text node of its own.
    if (node.nodeType() != QDomNode::TextNode)
        return QString();
    const QString text = node.nodeValue();
    return ProcCommand::isWholeBlock(text) ? text : QString();
}

bool OdtFormat::standsAlone(const QDomElement& paragraph, const QString& commandText) const
{
    if (paragraph.isNull() || paragraph.text().trimmed() != commandText)
        return false;
    // Content without text (a picture, a tab, spaces written as elements)
    // would be lost if the paragraph were replaced by the lines.
    for (QDomNode n = paragraph.firstChild(); !n.isNull() && DomUtil::isAncestor(paragraph, n);
         n = DomUtil::nextNode(n)) {
        const QString name = n.nodeName();
        if (name.startsWith(QLatin1String("draw:")) || name == nnSpace || name == nnTab || name == nnLineBreak)
            return false;
    }
    return true;
}

bool OdtFormat::keepsBlockStart(const QDomElement& paragraph) const
{
    // A paragraph that switches to another page style stays, emptied, so
    // the switch happens once, before the first repetition.
    return pageStyles.switchesPage(paragraph.attribute(atStyleName));
}

QDomNode OdtFormat::textInsert(QDomDocument& doc, const QDomNode&, const QString& value) const
{
    // The command is its whole text node, which the value replaces.
    return OdtTextWriter::fragment(doc, value);
}

QDomNode OdtFormat::linesInsert(QDomDocument& doc, const QDomElement& paragraph, const QDomNode&,
                                const QStringList& lines) const
{
    QDomNode holder = doc.importNode(paragraph.parentNode(), false);
    QDomElement proto = doc.importNode(paragraph, false).toElement();
    dropIdentifiers(proto);
    for (const QString& line : lines) {
        QDomNode copy = proto.cloneNode(false);
        OdtTextWriter::append(copy, doc, line);
        holder.appendChild(copy);
    }
    return holder;
}

QStringList OdtFormat::splitLines(const QString& value) const
{
    return OdtTextWriter::splitLines(value);
}

void OdtFormat::appendCellValue(QDomDocument& doc, QDomElement paragraph, const QString& value) const
{
    QDomElement holder = paragraph.firstChildElement(nnRun);
    if (holder.isNull())
        holder = paragraph;
    // The value follows the holder's first text, so the template row's own
    // text stays in front of it. A holder that starts with an element (a
    // tab, a leading space, a bookmark) or has no text at all gets the value
    // after all it holds.
    QDomNode text = holder.firstChild();
    while (!text.isNull() && text.nodeType() != QDomNode::TextNode)
        text = text.nextSibling();
    if (text.isNull())
        text = holder.appendChild(doc.createTextNode(QString()));
    OdtTextWriter::insertAfter(text, doc, value);
}

QDomNode OdtFormat::separator(QDomDocument& doc, const QDomElement& paragraph, const QString& kind)
{
    if (kind.isEmpty() || paragraph.isNull())
        return QDomNode();
    QDomElement separator;
    if (paragraph.nodeName() == nnPar) {
        separator = doc.importNode(paragraph, false).toElement();
    } else {
        // An empty heading would show in outlines and tables of contents.
        separator = doc.createElement(nnPar);
        separator.setAttribute(atStyleName, paragraph.attribute(atStyleName));
    }
    dropIdentifiers(separator);
    if (kind.compare(QLatin1String("page"), Qt::CaseInsensitive) == 0
        || kind.compare(QLatin1String("section"), Qt::CaseInsensitive) == 0) {
        separator.setAttribute(atStyleName, pageStyles.separatorStyle());
        separator.removeAttribute(QStringLiteral("text:cond-style-name"));
    }
    return separator;
}

QString OdtFormat::pictureEntry(const QString& extension, int number) const
{
    return names().picturePrefix + QString::number(number) + QLatin1Char('.') + extension;
}

QDomNode OdtFormat::pictureInsert(QDomDocument& doc, const QDomNode&, const QImage* image, const QString& entry)
{
    // A picture that cannot be read leaves nothing in place of the command.
    if (!image)
        return QDomNode();
    QDomElement frame = doc.createElement(nnFrame);
    frame.setAttribute(QStringLiteral("text:anchor-type"), QStringLiteral("as-char"));
    frame.setAttribute(QStringLiteral("svg:width"), QStringLiteral("%1cm").arg(image->widthMM() / 10.0, 0, 'f', 1));
    frame.setAttribute(QStringLiteral("svg:height"), QStringLiteral("%1cm").arg(image->heightMM() / 10.0, 0, 'f', 1));
    QDomElement pictureElement = doc.createElement(nnImage);
    pictureElement.setAttribute(QStringLiteral("xlink:href"), entry);
    pictureElement.setAttribute(QStringLiteral("xlink:type"), QStringLiteral("simple"));
    pictureElement.setAttribute(QStringLiteral("xlink:show"), QStringLiteral("embed"));
    pictureElement.setAttribute(QStringLiteral("xlink:actuate"), QStringLiteral("onLoad"));
    frame.appendChild(pictureElement);
    return frame;
}

void OdtFormat::beginPart(const DomTemplatePart& part, bool mainPart)
{
    // Page styles are those of the content; styles.xml keeps what it read.
    if (mainPart)
        pageStyles.read(part.doc);
}

void OdtFormat::finishPart(QDomDocument& result, const QList<QDomNode>& marks, bool mainPart, bool picturesAdded)
{
    if (mainPart) {
        pageStyles.addSeparatorStyle(result);
        pageStyles.deleteEmptySections(result, marks);
    }
    QDomElement root = result.documentElement();
    if (picturesAdded) {
        declareNamespaces(root, {{QStringLiteral("draw"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")},
                                 {QStringLiteral("svg"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")},
                                 {QStringLiteral("xlink"), QStringLiteral("http://www.w3.org/1999/xlink")}});
    }
    if (mainPart && pageStyles.separatorStyleUsed()) {
        declareNamespaces(root, {{QStringLiteral("style"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0")},
                                 {QStringLiteral("fo"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")}});
    }
}

void OdtFormat::finishPackage(ResultPackage& package, const DomTemplate&, const QString& templatePath, QTextCodec* codec)
{
    if (package.pictures().isEmpty())
        return;
    bool ok = false;
    const QByteArray bytes = ZipUtil::loadFile(templatePath, manifestFileName, &ok);
    QDomDocument manifest;
    // A manifest that is missing or unreadable is left as it is: writing an
    // empty one would make the package unreadable.
    if (!ok || !DomUtil::parseDocument(manifest, bytes))
        return;
    QDomElement root = manifest.documentElement();
    QMap<QString, QString> sorted; // a stable order of the new entries
    for (const AddedPicture& picture : package.pictures())
        sorted.insert(picture.entry, picture.mediaType);
    for (auto it = sorted.constBegin(); it != sorted.constEnd(); ++it) {
        QDomElement entry = manifest.createElement(nnFileEntry);
        entry.setAttribute(QStringLiteral("manifest:full-path"), it.key());
        entry.setAttribute(QStringLiteral("manifest:media-type"), it.value());
        root.appendChild(entry);
    }
    QByteArray out;
    DomUtil::rawDataFromDoc(out, manifest, codec, -1);
    package.replaceEntry(manifestFileName, out);
}
