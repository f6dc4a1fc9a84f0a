#include "docxformat.h"
#include "domformat.h"

#include "docxrelations.h"
#include "docxrunpieces.h"
#include "docxsections.h"
#include "docxxml.h"
#include "domtemplate.h"
#include "domutil.h"
#include "picturefile.h"
#include "proccommand.h"
#include "resultpackage.h"
#include "ziputil.h"

#include <QImage>
#include <QMap>
#include <QSet>

using namespace DocxXml;

namespace {

// Child indices leading from `ancestor` down to `node`.
QVector<int> indexPath(const QDomNode& ancestor, const QDomNode& node)
{
    QVector<int> path;
    for (QDomNode current = node; !current.isNull() && current != ancestor; current = current.parentNode()) {
        int index = 0;
        for (QDomNode sibling = current.previousSibling(); !sibling.isNull();
             sibling = sibling.previousSibling())
            ++index;
        path.prepend(index);
    }
    return path;
}

QDomNode followPath(const QDomNode& from, const QVector<int>& path)
{
    QDomNode node = from;
    for (const int index : path) {
        node = node.firstChild();
        for (int i = 0; i < index && !node.isNull(); ++i)
            node = node.nextSibling();
    }
    return node;
}

void removeSectionProperties(QDomElement paragraphProperties)
{
    QDomElement section = paragraphProperties.firstChildElement(nnSectProp);
    while (!section.isNull()) {
        const QDomElement next = section.nextSiblingElement(nnSectProp);
        paragraphProperties.removeChild(section);
        section = next;
    }
}

// Removes the runs of `paragraph` other than `keep` that hold nothing but
// text: around a command alone in its paragraph that is white space.
void removeOtherTextRuns(const QDomElement& paragraph, const QDomElement& keep)
{
    QList<QDomElement> textRuns;
    forEachOwnRun(paragraph, [&](const QDomElement& run) {
        if (run == keep)
            return;
        for (QDomElement child = run.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            if (child.nodeName() != nnRunProp && child.nodeName() != nnText)
                return;
        }
        textRuns.append(run);
    });
    for (QDomElement& run : textRuns)
        run.parentNode().removeChild(run);
}

// One line of a multi-line value as a paragraph: the first keeps all of
// the command's paragraph (bookmarks, marks and empty runs around the
// command), the others get its properties and a copy of the command's run.
QDomElement lineParagraph(QDomDocument& doc, const QDomElement& paragraph, const QDomNode& commandRun,
                          bool first, QDomElement& run)
{
    if (first) {
        QDomElement p = deepCopy(doc, paragraph);
        run = followPath(p, indexPath(paragraph, commandRun)).toElement();
        removeOtherTextRuns(p, run);
        return p;
    }
    QDomElement p = shallowCopy(doc, paragraph);
    const QDomElement properties = paragraph.firstChildElement(nnParProp);
    if (!properties.isNull())
        p.appendChild(deepCopy(doc, properties));
    run = deepCopy(doc, commandRun);
    p.appendChild(run);
    return p;
}

} // namespace

// WordprocessingML as the template engine sees it: commands are runs of their
// own, text goes into "w:t" elements of a copy of the command's run, a
// separator is an empty paragraph followed by a page or section break, a
// picture is a VML shape in the command's run with a relationship in the
// part that shows it, and sections marked empty are removed.
class DocxFormat final : public DomFormat
{
public:
    const DomNames& names() const override
    {
        static const DomNames docxNames{nnPar,
                                        QString(),
                                        nnTable,
                                        nnRow,
                                        QString(),
                                        nnCell,
                                        QStringList(),
                                        true,
                                        false,
                                        contentFileName,
                                        picPath + QLatin1Char('/') + picPref,
                                        1};
        return docxNames;
    }

    bool isSecondaryPart(const QString& entryName) const override
    {
        return isHeaderFooterEntry(entryName) || isNotesEntry(entryName);
    }

    int isolateCommands(const QDomDocument& part, const CommandIsolation::Observer& observer) const override
    {
        return CommandIsolation::isolate(part, names(), *createDocxRunPieces(), observer);
    }

    void readPartFacts(DomTemplatePart& part, const QString& packagePath, const QStringList& entryNames,
                       QTextCodec* codec) const override
    {
        const QString relsEntry = DocxRelations::relsEntryFor(part.entryName);
        part.hasRelationships = entryNames.contains(relsEntry);
        if (part.hasRelationships)
            part.maxRelationshipId =
                DocxRelations::maxRelNumber(ZipUtil::loadTextFile(packagePath, relsEntry, codec));
    }

    QString commandAt(const QDomNode& node) const override
    {
        // After isolation a command is the whole text of a run of its own.
        if (!node.isElement() || node.nodeName() != nnRun)
            return QString();
        const QDomElement run = node.toElement();
        const QDomNode first = run.firstChildElement(nnText).firstChild();
        if (first.isNull() || !first.nodeValue().startsWith(QLatin1Char('[')))
            return QString();
        const QString text = runText(run);
        return ProcCommand::isWholeBlock(text) ? text : QString();
    }

    bool standsAlone(const QDomElement& paragraph, const QString& commandText) const override
    {
        return !paragraph.isNull() && paragraphText(paragraph).trimmed() == commandText;
    }

    QDomNode textInsert(QDomDocument& doc, const QDomNode& commandNode, const QString& value) const override
    {
        QDomElement copy = deepCopy(doc, commandNode);
        QDomElement t = copy.firstChildElement(nnText);
        if (t.isNull())
            return copy;
        QString text = t.text();
        const QRegularExpressionMatch match =
            ProcCommand::blockPattern().match(text, 0, QRegularExpression::PartialPreferCompleteMatch);
        if (match.hasMatch() || match.hasPartialMatch()) {
            text.replace(match.capturedStart(), match.capturedLength(), value);
            // A value inside a sentence keeps its lines: raw line feeds in
            // "w:t" would be shown as spaces.
            setTextWithBreaks(t, text);
        }
        return copy;
    }

    QDomNode linesInsert(QDomDocument& doc, const QDomElement& paragraph, const QDomNode& commandNode,
                         const QStringList& lines) const override
    {
        QDomElement holder = shallowCopy(doc, paragraph.parentNode());
        for (int i = 0; i < lines.size(); ++i) {
            QDomElement run;
            QDomElement p = lineParagraph(doc, paragraph, commandNode, i == 0, run);
            // A paragraph that ends a section ends it after its last line only.
            if (i < lines.size() - 1)
                removeSectionProperties(p.firstChildElement(nnParProp));
            QDomElement t = run.firstChildElement(nnText);
            if (t.isNull())
                t = run.appendChild(doc.createElement(nnText)).toElement();
            setText(t, lines.at(i));
            holder.appendChild(p);
        }
        return holder;
    }

    QStringList splitLines(const QString& value) const override { return value.split(QLatin1Char('\n')); }

    void appendCellValue(QDomDocument& doc, QDomElement paragraph, const QString& value) const override
    {
        QDomElement run = paragraph.firstChildElement(nnRun);
        if (run.isNull()) {
            run = doc.createElement(nnRun);
            const QDomElement markProperties =
                paragraph.firstChildElement(nnParProp).firstChildElement(nnRunProp);
            if (!markProperties.isNull())
                run.appendChild(markProperties.cloneNode(true));
            paragraph.appendChild(run);
        }
        QDomElement t = run.firstChildElement(nnText);
        if (t.isNull())
            t = run.appendChild(doc.createElement(nnText)).toElement();
        if (!value.isEmpty())
            setText(t, t.text() + value);
    }

    QDomNode separator(QDomDocument& doc, const QDomElement& paragraph, const QString& kind) override
    {
        // An empty paragraph in the block's style, then the break asked for.
        if (kind.isEmpty() || paragraph.isNull())
            return QDomNode();
        QDomDocumentFragment separators = doc.createDocumentFragment();
        separators.appendChild(separatorParagraph(doc, paragraph, QStringLiteral("paragraph")));
        separators.appendChild(separatorParagraph(doc, paragraph, kind));
        return separators;
    }

    QString pictureEntry(const QString& extension, int number) const override
    {
        static const QRegularExpression jpeg(QStringLiteral("jpe?g"));
        QString ext = extension.toLower();
        ext.replace(jpeg, QStringLiteral("jpeg"));
        return names().picturePrefix + QString::number(number) + QLatin1Char('.') + ext;
    }

    QDomNode pictureInsert(QDomDocument& doc, const QDomNode& commandNode, const QImage* image,
                           const QString& entry) override
    {
        // The command's run keeps its properties and loses its text.
        QDomElement node = deepCopy(doc, commandNode);
        const QDomElement text = node.firstChildElement(nnText);
        if (!text.isNull())
            node.removeChild(text);
        if (!image)
            return node;
        const double widthPt = image->widthMM() / 25.4 * 72;
        const double heightPt = image->heightMM() / 25.4 * 72;
        const QString relId = relIdPref + QString::number(++maxRelIds[currentPart]);

        QDomElement shape = doc.createElement(QStringLiteral("v:shape"));
        shape.setAttribute(
            QStringLiteral("style"),
            QStringLiteral("width:%1pt;height:%2pt").arg(widthPt, 0, 'f', 1).arg(heightPt, 0, 'f', 1));
        // A VML shape is outlined unless told otherwise; a picture has no frame.
        shape.setAttribute(QStringLiteral("stroked"), QStringLiteral("f"));
        QDomElement imageData = doc.createElement(QStringLiteral("v:imagedata"));
        imageData.setAttribute(QStringLiteral("r:id"), relId);
        shape.appendChild(imageData);
        QDomElement pict = doc.createElement(QStringLiteral("w:pict"));
        pict.appendChild(shape);
        node.appendChild(pict);
        pictureUses.append({entry, currentPart, relId});
        return node;
    }

    void beginDocument(const DomTemplate& source) override
    {
        maxRelIds.clear();
        for (const DomTemplatePart& part : source.parts)
            maxRelIds.insert(part.entryName, part.maxRelationshipId);
    }

    void beginPart(const DomTemplatePart& part, bool) override { currentPart = part.entryName; }

    void finishPart(QDomDocument& result, const QList<QDomNode>& marks, bool mainPart,
                    bool picturesAdded) override
    {
        // Sections are a matter of the main part; marks met in a header or
        // footer have no effect.
        if (mainPart)
            DocxSections::deleteEmptySections(result, marks);
        DocxSections::closeCellsAndTextBoxes(result);
        if (picturesAdded) {
            declareNamespaces(
                result.documentElement(),
                {{QStringLiteral("w"),
                  QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main")},
                 {QStringLiteral("v"), QStringLiteral("urn:schemas-microsoft-com:vml")},
                 {QStringLiteral("r"),
                  QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships")}});
        }
    }

    void finishPackage(ResultPackage& package, const DomTemplate& source, const QString& templatePath,
                       QTextCodec* codec) override
    {
        if (pictureUses.isEmpty())
            return;
        addRelationships(package, source, templatePath, codec);
        addContentTypes(package, templatePath, codec);
    }

private:
    QDomElement separatorParagraph(QDomDocument& doc, const QDomElement& paragraph, const QString& kind) const
    {
        QDomElement separator = shallowCopy(doc, paragraph);
        QDomElement properties;
        const QDomElement templateProperties = paragraph.firstChildElement(nnParProp);
        if (!templateProperties.isNull()) {
            properties = deepCopy(doc, templateProperties);
            // The block's paragraph may end a section itself; a separator ends
            // one only when asked to.
            removeSectionProperties(properties);
            separator.appendChild(properties);
        }
        if (kind.compare(QLatin1String("page"), Qt::CaseInsensitive) == 0) {
            QDomElement run = doc.createElement(nnRun);
            QDomElement pageBreak = doc.createElement(nnBreak);
            pageBreak.setAttribute(QStringLiteral("w:type"), QStringLiteral("page"));
            run.appendChild(pageBreak);
            separator.appendChild(run);
        } else if (kind.compare(QLatin1String("section"), Qt::CaseInsensitive) == 0) {
            const QDomNode section = DomUtil::findNode(nnSectProp, paragraph, QDomNode());
            if (!section.isNull()) {
                if (properties.isNull())
                    properties = separator.appendChild(doc.createElement(nnParProp)).toElement();
                properties.appendChild(deepCopy(doc, section));
            }
        }
        return separator;
    }

    void addRelationships(ResultPackage& package, const DomTemplate& source, const QString& templatePath,
                          QTextCodec* codec) const
    {
        // Each picture is registered in the relationships of the part that shows it.
        QMap<QString, QVector<DocxRelations::Relationship>> byPart;
        for (const PictureUse& use : pictureUses)
            byPart[use.part].append({use.relId, use.entry.mid(use.entry.indexOf(QLatin1Char('/')) + 1)});
        for (auto it = byPart.constBegin(); it != byPart.constEnd(); ++it) {
            const QString relsEntry = DocxRelations::relsEntryFor(it.key());
            const bool exists = source.entryNames.contains(relsEntry);
            const QString relsText =
                exists ? ZipUtil::loadTextFile(templatePath, relsEntry, codec) : QString();
            QByteArray bytes;
            if (!DocxRelations::addImageRelationships(bytes, relsText, !exists, it.value(), codec))
                continue;
            if (exists)
                package.replaceEntry(relsEntry, bytes);
            else
                package.addEntry(relsEntry, bytes);
        }
    }

    void addContentTypes(ResultPackage& package, const QString& templatePath, QTextCodec* codec) const
    {
        QSet<QString> extensions;
        for (const PictureUse& use : pictureUses)
            extensions.insert(use.entry.mid(use.entry.lastIndexOf(QLatin1Char('.')) + 1));
        QByteArray bytes;
        if (DocxRelations::addImageContentTypes(
                bytes, ZipUtil::loadTextFile(templatePath, contentTypesFileName, codec), extensions, codec))
            package.replaceEntry(contentTypesFileName, bytes);
    }

    // A picture shown in a part, with its relationship id there.
    struct PictureUse
    {
        QString entry;
        QString part;
        QString relId;
    };
    // Highest relationship number in use, per part entry name: ids are
    // unique within the relationships of one part.
    QHash<QString, int> maxRelIds;
    // Entry name of the part being walked.
    QString currentPart;
    QVector<PictureUse> pictureUses;
};

std::unique_ptr<DomFormat> createDocxFormat()
{
    return std::make_unique<DocxFormat>();
}
