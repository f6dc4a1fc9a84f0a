#pragma once

#include "basedocproc.h"
#include "domformat.h"
#include "domutil.h"
#include "resultpackage.h"

#include <QDomDocument>
#include <QDomNode>
#include <QList>

#include <memory>

class DomTemplate;
class ProcCommand;
struct DomTemplatePart;

// The template engine of the generators whose templates are packages of
// XML parts (DOCX, ODT). It walks the main part, and every other part that
// holds a command, in document order, copies everything that is not a
// command into a new tree and puts in place of each command what it
// produces: text, paragraphs, table rows, a picture, or repeated copies of a
// block. It then writes a copy of the template package with the walked parts
// replaced and the pictures added. What differs between the formats comes
// from their DomFormat.
//
// The template's parts come parsed and prepared (each command a node of its
// own) from the calling thread's TemplateCache. The walk only reads those
// trees: every node it writes is a copy in the result.
class DomDocProc : public BaseDocProc
{
public:
    DomDocProc(const QString& sourceFileName, const QString& destinationFileName,
               const QString& templateFileName, const QString& queryFolder, QTextCodec* codec,
               std::unique_ptr<DomFormat> format);
    ~DomDocProc() override;

    bool generateDocument() override;

    // Prepares `part` as a template part is (each command a node of its own)
    // and walks it into a new document, completed as a part of its kind is.
    QDomDocument renderTemplatePart(const QDomDocument& part, bool mainPart);

    // The walk: copies the template from `start` up to, not including, `end`
    // below `destParent`, executing the commands met; returns the deepest
    // last node written.
    QDomNode processTemlate(QDomNode destParent, QDomNode start, const QDomNode& end);
    // The next command block from `start` up to `end`; `blockFirst` and
    // `blockLast` receive the node that holds it. Empty when there is none.
    QString findCommandBlock(QDomNode& blockFirst, QDomNode& blockLast, const QDomNode& start,
                             const QDomNode& end) const;
    // Finds the first iterate_end command after `start` whose variable is
    // `varName` (letter case aside); reports the missing end otherwise.
    bool findIterateEndBlock(QDomNode& blockFirst, QDomNode& blockLast, const QString& varName,
                             const QDomNode& start, const QDomNode& end);

private:
    struct CommandSite;

    // Walks a part into resultDoc and completes it.
    void renderPart(const DomTemplatePart& part, bool mainPart);
    // Renders a part into the result package.
    void processPart(const DomTemplatePart& part, bool mainPart);
    // Where the copy before a command stops and what the command consumes.
    void placeCommand(CommandSite& site, const QDomNode& start, const QDomNode& end);
    // Puts the command's output below `destParent`; false when the walk of
    // this level stops.
    bool executeCommand(CommandSite& site, const QDomNode& destParent, QDomNode& lastAdded,
                        const QDomNode& end);
    bool expandBlock(CommandSite& site, const QDomNode& destParent, QDomNode& lastAdded, const QDomNode& end);
    // `node` itself if it is a paragraph, otherwise its nearest paragraph.
    QDomElement paragraphOf(const QDomNode& node) const;

    // What replaces a command; built in the result, the template is not changed.
    QDomNode getTextInsert(const QDomNode& commandNode, const QString& result, const QString& replaceEmpty);
    QDomNode getMultiTextInsert(const QDomElement& paragraph, const QDomNode& commandNode,
                                const QString& result, const QString& replaceEmpty);
    QDomNode findSeedRow(const QDomNode& commandNode);
    QDomNode getTableInsert(const QDomNode& seedRow, const QString& result, const QString& replaceEmpty);
    QDomNode getPictureInsert(const QDomNode& commandNode, const QString& fileName, const QString& queryName);

    std::unique_ptr<DomFormat> format;
    std::shared_ptr<const DomTemplate> source;
    QDomDocument resultDoc;
    // Result nodes recorded by commands with delete_empty_section.
    QList<QDomNode> emptySectionMarks;
    // Table rows of the part being rendered that the writer writes from a
    // prototype; only where the part is written here (see processPart).
    QList<SplicedRows> splicedRows;
    bool spliceRows = false;
    ResultPackage package;
    int firstPictureNumber = 0;
};
