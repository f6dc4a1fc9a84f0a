#include "odtformat.h"
#include "domformat.h"
#include "odtpagestyles.h"

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

const QString manifestFileName = QStringLiteral("META-INF/manifest.xml");

// Identifiers must stay unique; copies made of one paragraph do not keep them.
void dropIdentifiers(QDomElement element)
{
    element.removeAttribute(QStringLiteral("xml:id"));
    element.removeAttribute(QStringLiteral("text:id"));
}

} // namespace

// OpenDocument text as the template engine sees it: commands are text nodes
// of their own, a value is text (with spaces, tabs and line breaks written
// as ODF elements) in the paragraph or span that held the command, a
// separator is one paragraph (breaking the page for "page" and "section"),
// a picture is a character-anchored frame listed in the manifest, and
// sections are stretches of one page style.
class OdtFormat final : public DomFormat
{
public:
    const DomNames& names() const override
    {
        static const DomNames odtNames{nnPar,
                                       nnHeading,
                                       QStringLiteral("table:table"),
                                       QStringLiteral("table:table-row"),
                                       QStringLiteral("table:table-rows"),
                                       QStringLiteral("table:table-cell"),
                                       {QStringLiteral("text:soft-page-break")},
                                       false,
                                       true,
                                       QStringLiteral("content.xml"),
                                       QStringLiteral("Pictures/pwkimg"),
                                       0};
        return odtNames;
    }

    bool isSecondaryPart(const QString& entryName) const override { return entryName == QStringLiteral("styles.xml"); }

    int isolateCommands(const QDomDocument& part, const CommandIsolation::Observer& observer) const override
    {
        return CommandIsolation::isolate(part, names(), *createOdtTextPieces(), observer);
    }

    QString commandAt(const QDomNode& node) const override
    {
        // After isolation a command is always a text node of its own.
        if (node.nodeType() != QDomNode::TextNode)
            return QString();
        const QString text = node.nodeValue();
        return ProcCommand::isWholeBlock(text) ? text : QString();
    }

    bool standsAlone(const QDomElement& paragraph, const QString& commandText) const override
    {
        if (paragraph.isNull() || paragraph.text().trimmed() != commandText)
            return false;
        // Content without text (a picture, a tab, spaces written as elements)
        // would be lost if the paragraph were replaced by the lines.
        for (QDomNode n = paragraph.firstChild(); !n.isNull() && DomUtil::isAncestor(paragraph, n);
             n = DomUtil::nextNode(n)) {
            const QString name = n.nodeName();
            if (name.startsWith(QLatin1String("draw:")) || OdtTextWriter::isSpacingElement(name))
                return false;
        }
        return true;
    }

    bool keepsBlockStart(const QDomElement& paragraph) const override
    {
        // A paragraph that switches to another page style stays, emptied, so
        // the switch happens once, before the first repetition.
        return pageStyles.switchesPage(paragraph.attribute(atStyleName));
    }

    QDomNode textInsert(QDomDocument& doc, const QDomNode&, const QString& value) const override
    {
        // The command is its whole text node, which the value replaces.
        return OdtTextWriter::fragment(doc, value);
    }

    QDomNode linesInsert(QDomDocument& doc, const QDomElement& paragraph, const QDomNode&,
                         const QStringList& lines) const override
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

    QStringList splitLines(const QString& value) const override { return OdtTextWriter::splitLines(value); }

    void appendCellValue(QDomDocument& doc, QDomElement paragraph, const QString& value) const override
    {
        QDomElement holder = paragraph.firstChildElement(QStringLiteral("text:span"));
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

    QDomNode separator(QDomDocument& doc, const QDomElement& paragraph, const QString& kind) override
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
        if (kind.compare(QLatin1String("page"), Qt::CaseInsensitive) == 0 ||
            kind.compare(QLatin1String("section"), Qt::CaseInsensitive) == 0) {
            separator.setAttribute(atStyleName, pageStyles.separatorStyle());
            separator.removeAttribute(QStringLiteral("text:cond-style-name"));
        }
        return separator;
    }

    QString pictureEntry(const QString& extension, int number) const override
    {
        return names().picturePrefix + QString::number(number) + QLatin1Char('.') + extension;
    }

    QDomNode pictureInsert(QDomDocument& doc, const QDomNode&, const QImage* image,
                           const QString& entry) override
    {
        // A picture that cannot be read leaves nothing in place of the command.
        if (!image)
            return QDomNode();
        QDomElement frame = doc.createElement(QStringLiteral("draw:frame"));
        frame.setAttribute(QStringLiteral("text:anchor-type"), QStringLiteral("as-char"));
        frame.setAttribute(QStringLiteral("svg:width"),
                           QStringLiteral("%1cm").arg(image->widthMM() / 10.0, 0, 'f', 1));
        frame.setAttribute(QStringLiteral("svg:height"),
                           QStringLiteral("%1cm").arg(image->heightMM() / 10.0, 0, 'f', 1));
        QDomElement pictureElement = doc.createElement(QStringLiteral("draw:image"));
        pictureElement.setAttribute(QStringLiteral("xlink:href"), entry);
        pictureElement.setAttribute(QStringLiteral("xlink:type"), QStringLiteral("simple"));
        pictureElement.setAttribute(QStringLiteral("xlink:show"), QStringLiteral("embed"));
        pictureElement.setAttribute(QStringLiteral("xlink:actuate"), QStringLiteral("onLoad"));
        frame.appendChild(pictureElement);
        return frame;
    }

    void beginPart(const DomTemplatePart& part, bool mainPart) override
    {
        // Page styles are those of the content; styles.xml keeps what it read.
        if (mainPart)
            pageStyles.read(part.doc);
    }

    void finishPart(QDomDocument& result, const QList<QDomNode>& marks, bool mainPart,
                    bool picturesAdded) override
    {
        if (mainPart) {
            pageStyles.addSeparatorStyle(result);
            pageStyles.deleteEmptySections(result, marks);
        }
        QDomElement root = result.documentElement();
        if (picturesAdded) {
            declareNamespaces(root,
                              {{QStringLiteral("draw"),
                                QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")},
                               {QStringLiteral("svg"),
                                QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")},
                               {QStringLiteral("xlink"), QStringLiteral("http://www.w3.org/1999/xlink")}});
        }
        if (mainPart && pageStyles.separatorStyleUsed()) {
            declareNamespaces(
                root,
                {{QStringLiteral("style"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0")},
                 {QStringLiteral("fo"),
                  QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")}});
        }
    }

    void finishPackage(ResultPackage& package, const DomTemplate&, const QString& templatePath,
                       QTextCodec* codec) override
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
            QDomElement entry = manifest.createElement(QStringLiteral("manifest:file-entry"));
            entry.setAttribute(QStringLiteral("manifest:full-path"), it.key());
            entry.setAttribute(QStringLiteral("manifest:media-type"), it.value());
            root.appendChild(entry);
        }
        QByteArray out;
        DomUtil::rawDataFromDoc(out, manifest, codec, -1);
        package.replaceEntry(manifestFileName, out);
    }

private:
    OdtPageStyles pageStyles;
};

std::unique_ptr<DomFormat> createOdtFormat()
{
    return std::make_unique<OdtFormat>();
}
