#include "odtproc.h"

#include "domutil.h"
#include "odtcommands.h"
#include "odtnames.h"
#include "packagecheck.h"
#include "odttemplatecache.h"
#include "proccommand.h"
#include "stagedfile.h"
#include "status.h"
#include "ziputil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace OdtNames;

namespace {

QDomDocument emptyDocument()
{
    QDomDocument doc;
    doc.createDocumentFragment(); // gives the document its (empty) tree
    return doc;
}

int depthOf(const QDomNode& node)
{
    int depth = 0;
    for (QDomNode n = node.parentNode(); !n.isNull(); n = n.parentNode())
        ++depth;
    return depth;
}

bool isAncestor(const QDomNode& ancestor, const QDomNode& node)
{
    for (QDomNode n = node.parentNode(); !n.isNull(); n = n.parentNode()) {
        if (n == ancestor)
            return true;
    }
    return false;
}

// The result node that stands for `templateNode`: the ancestor-or-self of
// `resultNode` at the same depth with the same chain of names up to the root.
// The result mirrors the template's nesting, and `resultNode` (the last node
// written) lies at or below the counterpart of every template element that
// encloses the walk's position.
QDomNode counterpart(const QDomNode& resultNode, const QDomNode& templateNode)
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

// Whether `anchor`, which lies before `command` in document order, does not
// lie before `start` either: the walk has not yet passed it. It has when an
// earlier command of the same paragraph or table row was already executed.
bool notPassed(const QDomNode& anchor, const QDomNode& start, const QDomNode& command)
{
    if (anchor == start)
        return true;
    for (QDomNode n = DomUtil::nextNode(anchor); !n.isNull(); n = DomUtil::nextNode(n)) {
        if (n == start)
            return false;
        if (n == command)
            return true;
    }
    return true;
}

// Moves the element children of `holder` to the end of `destParent`;
// returns the last one moved (`fallback` when there was none).
QDomNode moveChildren(QDomNode holder, QDomNode destParent, const QDomNode& fallback)
{
    QDomNode last = fallback;
    for (QDomNode child = holder.firstChild(); !child.isNull(); child = holder.firstChild())
        last = destParent.appendChild(child);
    return last;
}

} // namespace

OdtProc::OdtProc(const QString& sourceFileName, const QString& destinationFileName, const QString& templateFileName,
                 const QString& queryFolder, QTextCodec* codec)
    : DomDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, codec)
{
}

OdtProc::~OdtProc()
{
    qDeleteAll(replacedFiles);
}

bool OdtProc::generateDocument()
{
    const QString damage = PackageCheck::problemOf(templateFileName());
    if (!damage.isEmpty() || !processPart(contentFileName)) {
        showStatus(QStringLiteral("Ошибка загрузки шаблона документа %1")
                       .arg(QDir::toNativeSeparators(templateFileName()))
                   + (damage.isEmpty() ? QString() : QStringLiteral(": ") + damage));
        return false;
    }
    processPart(stylesFileName);
    correctManifest();

    // Written beside the destination and put in its place only when whole:
    // without its pictures the package is no document.
    StagedFile staged(destinationFileName());
    const bool written = staged.isValid()
                         && ZipUtil::copyReplaceArchiveFiles(staged.path(), templateFileName(), replacedFiles)
                         && (addedFiles.isEmpty() || ZipUtil::addFiles(staged.path(), addedFiles)) && staged.commit();
    if (!written) {
        showStatus(QStringLiteral("Ошибка сохранения результирующего документа %1")
                       .arg(QDir::toNativeSeparators(destinationFileName())));
    }
    clearPackageData();
    return written && !hasTemplateErrors() && !queryProc().hasErrors();
}

// Walks one part of the template into replacedFiles. "content.xml" is always
// walked; "styles.xml" only when it holds a command. False when the part is
// missing or not well-formed.
bool OdtProc::processPart(const QString& entryName)
{
    const bool content = entryName == contentFileName;
    const OdtTemplateCache::Part part = OdtTemplateCache::load(templateFileName(), entryName, codec(), !content);
    if (!part.readable || (!content && part.commandCount == 0))
        return false;
    templateDoc = part.doc;
    resultDoc = emptyDocument();
    const int picturesBefore = addedFiles.size();
    if (content)
        prepareStyles();
    processTemlate(resultDoc, templateDoc.firstChild(), QDomNode());
    if (content) {
        addSeparateStyle();
        deleteEmptySections();
    }
    ensureNamespaces(addedFiles.size() > picturesBefore, content && separateStyleUsed);
    storePart(entryName);
    return true;
}

void OdtProc::storePart(const QString& entryName)
{
    // Written without any added white space: inside a paragraph ODF renders
    // white space between elements as text.
    auto bytes = new QByteArray;
    DomUtil::rawDataFromDoc(*bytes, resultDoc, codec(), -1);
    delete replacedFiles.take(entryName);
    replacedFiles.insert(entryName, bytes);
}

void OdtProc::clearPackageData()
{
    qDeleteAll(replacedFiles);
    replacedFiles.clear();
    addedFiles.clear();
    addedFileTypes.clear();
}

QString OdtProc::findCommandBlock(QDomNode& blockFirst, QDomNode& blockLast, const QDomNode& start,
                                  const QDomNode& end)
{
    // The template was prepared so that a command is always a text node of
    // its own (OdtCommands::isolate).
    for (QDomNode node = start; !node.isNull() && node != end; node = DomUtil::nextNode(node)) {
        if (node.nodeType() == QDomNode::TextNode && OdtCommands::isCommandText(node.nodeValue())) {
            blockFirst = node;
            blockLast = node;
            return node.nodeValue();
        }
    }
    blockFirst.clear();
    blockLast.clear();
    return QString();
}

bool OdtProc::standsAlone(const QDomNode& paragraph, const QString& text) const
{
    if (paragraph.isNull() || paragraph.toElement().text().trimmed() != text)
        return false;
    // Content without text (a picture, a tab, spaces written as elements)
    // would be lost if the paragraph were replaced by the lines.
    for (QDomNode n = paragraph.firstChild(); !n.isNull() && isAncestor(paragraph, n); n = DomUtil::nextNode(n)) {
        const QString name = n.nodeName();
        if (name.startsWith(QLatin1String("draw:")) || name == nnSpace || name == nnTab || name == nnLineBreak)
            return false;
    }
    return true;
}

QDomNode OdtProc::processTemlate(QDomNode destParent, QDomNode start, const QDomNode& end)
{
    QDomNode lastAdded = destParent;
    while (!start.isNull() && start != end) {
        QDomNode blockFirst;
        QDomNode blockLast;
        const QString text = findCommandBlock(blockFirst, blockLast, start, end);
        if (text.isEmpty()) {
            lastAdded = DomUtil::copyNodesSyn(lastAdded, start, end);
            break;
        }
        const QDomNode commandNode = blockFirst;
        const QDomNode paragraph = OdtCommands::paragraphOf(commandNode);
        const ProcCommand command(text);
        const QString result = commandResult(command);
        const QString replaceEmpty = command.option(QStringLiteral("replace_empty"));
        // The rest of a paragraph that a command replaces whole is skipped,
        // unless the end of this walk lies inside it.
        const bool paragraphSkippable = !paragraph.isNull() && (end.isNull() || !isAncestor(paragraph, end));
        bool multiLine = false;
        bool startsPage = false;
        QDomNode seedRow;

        switch (command.commandType()) {
        case IterateStart:
            if (!paragraph.isNull() && notPassed(paragraph, start, commandNode)) {
                blockFirst = paragraph;
                startsPage = masterPageStyles.contains(paragraph.toElement().attribute(atStyleName));
            }
            break;
        case TableInsert:
            seedRow = findSeedRow(commandNode);
            if (!seedRow.isNull() && !notPassed(seedRow, start, commandNode)) {
                // A command inside the template row was executed already:
                // the row has been written and cannot serve as template.
                reportError(QStringLiteral("Ошибка конечного узла"), QString());
                seedRow.clear();
            }
            if (!seedRow.isNull()) {
                blockFirst = seedRow;
                if (paragraphSkippable)
                    blockLast = DomUtil::lastNode(paragraph);
            }
            break;
        case TextInsert:
            if (result.contains(QLatin1Char('\n')) && paragraphSkippable && standsAlone(paragraph, text)
                && notPassed(paragraph, start, commandNode)) {
                multiLine = true;
                blockFirst = paragraph;
                blockLast = DomUtil::lastNode(paragraph);
            }
            break;
        default:
            break;
        }

        if (start != blockFirst)
            lastAdded = DomUtil::copyNodesSyn(lastAdded, start, blockFirst);
        destParent = counterpart(lastAdded, blockFirst.parentNode());
        if (destParent.isNull()) {
            reportError(QStringLiteral("Ошибка конечного узла"), QString());
            break;
        }
        if (startsPage) {
            // The paragraph switches to another page style: it stays, emptied,
            // so the switch happens once, before the first repetition.
            lastAdded = destParent.appendChild(resultDoc.importNode(paragraph, false));
        }
        if (command.hasOption(QStringLiteral("delete_empty_section"))
            && (result.isEmpty() || result == QLatin1String("0")))
            emptySectionMarks.append(lastAdded);

        switch (command.commandType()) {
        case IterateStart: {
            // The repetitions go beside the iterate_start paragraph, also when
            // the walk had already entered that paragraph.
            const QDomNode blockParent =
                blockFirst == commandNode && !paragraph.isNull() ? counterpart(lastAdded, paragraph.parentNode())
                                                                 : destParent;
            if (blockParent.isNull()) {
                reportError(QStringLiteral("Ошибка конечного узла"), QString());
                return DomUtil::lastNode(lastAdded);
            }
            bool stop = false;
            lastAdded = processIteration(command, result, blockFirst, blockParent, blockLast, lastAdded, end, stop);
            if (stop)
                return DomUtil::lastNode(lastAdded);
            break;
        }
        case TableInsert:
            if (!seedRow.isNull())
                lastAdded = moveChildren(getTableInsert(seedRow, result, replaceEmpty), destParent, lastAdded);
            break;
        case PictureInsert: {
            const QDomNode frame = getPictureInsert(commandNode, result);
            if (!frame.isNull())
                lastAdded = destParent.appendChild(frame);
            break;
        }
        default:
            if (multiLine) {
                lastAdded = moveChildren(getMultiTextInsert(paragraph, result, replaceEmpty), destParent, lastAdded);
            } else {
                QDomNode inserted = getTextInsert(commandNode, result, replaceEmpty);
                const QDomNode last = inserted.lastChild();
                destParent.appendChild(inserted);
                if (!last.isNull())
                    lastAdded = last;
            }
            break;
        }
        start = DomUtil::nextLastNode(blockLast);
    }
    return DomUtil::lastNode(lastAdded);
}

// A repeated block. `anchor` is the iterate_start paragraph (or, when an
// earlier command of that paragraph was executed, the command itself);
// `destParent` the result counterpart of its parent. Sets `blockLast` to the
// last node of the block and `stop` when the block has no end.
QDomNode OdtProc::processIteration(const ProcCommand& command, const QString& result, const QDomNode& anchor,
                                   const QDomNode& destParent, QDomNode& blockLast, QDomNode lastAdded,
                                   const QDomNode& end, bool& stop)
{
    const QString varName = command.option(QStringLiteral("iterate_start"));
    const QDomNode paragraph = OdtCommands::paragraphOf(anchor);
    // An iterate_end must follow the iterate_start paragraph.
    const QDomNode bodyStart = DomUtil::nextLastNode(paragraph.isNull() ? anchor : paragraph);
    QDomNode endFirst;
    QDomNode endLast;
    if (!findIterateEndBlock(endFirst, endLast, varName, bodyStart, end)) {
        stop = true;
        return lastAdded;
    }
    QDomNode bodyEnd = OdtCommands::paragraphOf(endFirst);
    if (bodyEnd.isNull() || isAncestor(bodyEnd, bodyStart) || (!end.isNull() && isAncestor(bodyEnd, end)))
        bodyEnd = endFirst;

    const QString separate = command.option(QStringLiteral("separate"));
    int count = iterationCount(command, result);
    if (count < 1 && command.hasOption(QStringLiteral("keep_empty")))
        count = 1;
    if (initIterateVar(varName, count)) {
        for (int i = incIterateVarOnTop(); i != 0; i = incIterateVarOnTop()) {
            lastAdded = processTemlate(destParent, bodyStart, bodyEnd);
            if (!separate.isEmpty() && i != count) {
                const QDomNode separator = getSeparateInsert(anchor, separate);
                if (!separator.isNull())
                    QDomNode(destParent).appendChild(separator);
            }
        }
    }
    blockLast = bodyEnd == endFirst ? endLast : DomUtil::lastNode(bodyEnd);
    return lastAdded;
}
