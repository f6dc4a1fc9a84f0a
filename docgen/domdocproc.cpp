#include "domdocproc.h"

#include "domtemplate.h"
#include "domutil.h"
#include "globals.h"
#include "packagecheck.h"
#include "picturefile.h"
#include "proccommand.h"
#include "status.h"
#include "tablerows.h"
#include "templatecache.h"

#include <QDir>

// A command met by the walk, and what of the template it consumes.
struct DomDocProc::CommandSite
{
    CommandSite(const QString& text, const QDomNode& node)
        : command(text), text(text), node(node), first(node), last(node)
    {
    }

    ProcCommand command;
    QString text;
    QString result;
    QString replaceEmpty;
    // The node that holds the command, and its paragraph.
    QDomNode node;
    QDomElement paragraph;
    // The copy of the template before the command stops at `first`; the walk
    // goes on after `last`.
    QDomNode first;
    QDomNode last;
    QDomNode seedRow;
    bool multiLine = false;
    bool keepsParagraph = false;
};

namespace {

const QString endNodeError = QStringLiteral("Ошибка конечного узла");

QDomDocument emptyDocument()
{
    QDomDocument doc;
    doc.createDocumentFragment(); // gives the document its (empty) tree
    return doc;
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

// Appends what a builder made (a node, or a fragment of several) to
// `parent`; `lastAdded` becomes the last node appended, if any.
void appendInsert(QDomNode parent, const QDomNode& insert, QDomNode& lastAdded)
{
    if (insert.isNull())
        return;
    if (!insert.isDocumentFragment()) {
        lastAdded = parent.appendChild(insert);
        return;
    }
    const QDomNode last = insert.lastChild();
    parent.appendChild(insert);
    if (!last.isNull())
        lastAdded = last;
}

} // namespace

DomDocProc::DomDocProc(const QString& sourceFileName, const QString& destinationFileName,
                       const QString& templateFileName, const QString& queryFolder, QTextCodec* codec,
                       std::unique_ptr<DomFormat> format)
    : BaseDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, codec),
      format(std::move(format))
{
}

DomDocProc::~DomDocProc() = default;

bool DomDocProc::generateDocument()
{
    const QString damage = PackageCheck::problemOf(templateFileName());
    source = damage.isEmpty() ? TemplateCache::get(templateFileName(), codec(), *format) : nullptr;
    if (!source) {
        showStatus(QStringLiteral("Ошибка загрузки шаблона документа %1")
                       .arg(QDir::toNativeSeparators(templateFileName())) +
                   (damage.isEmpty() ? QString() : QStringLiteral(": ") + damage));
        return false;
    }
    firstPictureNumber = source->firstPictureNumber;
    format->beginDocument(*source);
    for (int i = 0; i < source->parts.size(); ++i)
        processPart(source->parts.at(i), i == 0);
    format->finishPackage(package, *source, templateFileName(), codec());

    const bool written = package.write(destinationFileName(), templateFileName(),
                                       [this](StagedFile& staged) { return publish(staged); });
    if (!written) {
        showStatus(QStringLiteral("Ошибка сохранения результирующего документа %1")
                       .arg(QDir::toNativeSeparators(destinationFileName())));
    }
    return written && !hasTemplateErrors() && !queryProc().hasErrors();
}

void DomDocProc::renderPart(const DomTemplatePart& part, bool mainPart)
{
    resultDoc = emptyDocument();
    emptySectionMarks.clear();
    splicedRows.clear();
    format->beginPart(part, mainPart);
    const int picturesBefore = package.pictures().size();
    processTemlate(resultDoc, part.doc.firstChild(), QDomNode());
    format->finishPart(resultDoc, emptySectionMarks, mainPart, package.pictures().size() > picturesBefore);
    emptySectionMarks.clear();
}

void DomDocProc::processPart(const DomTemplatePart& part, bool mainPart)
{
    spliceRows = true;
    renderPart(part, mainPart);
    spliceRows = false;
    // Written without any added white space: it would mean nothing between
    // WordprocessingML elements and show as text inside an ODF paragraph.
    QByteArray bytes;
    if (!DomUtil::rawDataWithRows(bytes, resultDoc, codec(), splicedRows))
        reportError(QStringLiteral("Ошибка записи части документа: %1").arg(part.entryName), QString());
    splicedRows.clear();
    package.replaceEntry(part.entryName, bytes);
}

QDomDocument DomDocProc::renderTemplatePart(const QDomDocument& part, bool mainPart)
{
    DomTemplatePart prepared;
    prepared.entryName = mainPart ? format->names().mainPart : QString();
    prepared.doc = part;
    prepared.commandCount = format->isolateCommands(prepared.doc);
    renderPart(prepared, mainPart);
    return resultDoc;
}

QDomElement DomDocProc::paragraphOf(const QDomNode& node) const
{
    const DomNames& names = format->names();
    for (QDomNode n = node; !n.isNull(); n = n.parentNode()) {
        const QString name = n.nodeName();
        if (name == names.paragraph || (!names.heading.isEmpty() && name == names.heading))
            return n.toElement();
    }
    return QDomElement();
}

QString DomDocProc::findCommandBlock(QDomNode& blockFirst, QDomNode& blockLast, const QDomNode& start,
                                     const QDomNode& end) const
{
    for (QDomNode node = start; !node.isNull() && node != end; node = DomUtil::nextNode(node)) {
        const QString text = format->commandAt(node);
        if (!text.isEmpty()) {
            blockFirst = node;
            blockLast = node;
            return text;
        }
    }
    blockFirst.clear();
    blockLast.clear();
    return QString();
}

bool DomDocProc::findIterateEndBlock(QDomNode& blockFirst, QDomNode& blockLast, const QString& varName,
                                     const QDomNode& start, const QDomNode& end)
{
    QDomNode node = start;
    while (!node.isNull() && node != end) {
        QDomNode first;
        QDomNode last;
        const QString text = findCommandBlock(first, last, node, end);
        if (text.isEmpty())
            break;
        if (ProcCommand(text).closesBlock(varName)) {
            blockFirst = first;
            blockLast = last;
            return true;
        }
        node = DomUtil::nextLastNode(last);
    }
    reportError(
        QStringLiteral("Ошибка структуры шаблона: для блока итераций с переменной %1 не найден его конец")
            .arg(varName),
        QString());
    blockFirst.clear();
    blockLast.clear();
    return false;
}

QDomNode DomDocProc::processTemlate(QDomNode destParent, QDomNode start, const QDomNode& end)
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
        CommandSite site(text, blockFirst);
        site.paragraph = paragraphOf(site.node);
        site.result = commandResult(site.command);
        site.replaceEmpty = site.command.option(QStringLiteral("replace_empty"));
        placeCommand(site, start, end);

        if (start != site.first)
            lastAdded = DomUtil::copyNodesSyn(lastAdded, start, site.first);
        destParent = DomUtil::counterpart(lastAdded, site.first.parentNode());
        if (destParent.isNull()) {
            reportError(endNodeError, QString());
            break;
        }
        if (site.keepsParagraph)
            lastAdded = destParent.appendChild(resultDoc.importNode(site.paragraph, false));
        if (site.command.hasOption(QStringLiteral("delete_empty_section")) &&
            (site.result.isEmpty() || site.result == QLatin1String("0")))
            emptySectionMarks.append(lastAdded);
        if (!executeCommand(site, destParent, lastAdded, end))
            break;
        start = DomUtil::nextLastNode(site.last);
    }
    return DomUtil::lastNode(lastAdded);
}

void DomDocProc::placeCommand(CommandSite& site, const QDomNode& start, const QDomNode& end)
{
    const QDomElement& paragraph = site.paragraph;
    // The rest of a paragraph that a command replaces whole is skipped,
    // unless the end of this walk lies inside it.
    const bool skippable = !paragraph.isNull() && (end.isNull() || !DomUtil::isAncestor(paragraph, end));
    switch (site.command.commandType()) {
    case IterateStart:
        // The paragraph goes whole, whether or not the block is produced.
        if (!paragraph.isNull() && notPassed(paragraph, start, site.node)) {
            site.first = paragraph;
            site.keepsParagraph = format->keepsBlockStart(paragraph);
        }
        break;
    case TableInsert:
        site.seedRow = findSeedRow(site.node);
        if (!site.seedRow.isNull() && !notPassed(site.seedRow, start, site.node)) {
            // A command inside the template row was executed already: the
            // row has been written and cannot serve as template.
            reportError(endNodeError, QString());
            site.seedRow.clear();
        }
        if (!site.seedRow.isNull()) {
            site.first = site.seedRow;
            if (skippable)
                site.last = DomUtil::lastNode(paragraph);
        }
        break;
    case TextInsert:
        if (site.result.contains(QLatin1Char('\n')) && skippable &&
            format->standsAlone(paragraph, site.text) && notPassed(paragraph, start, site.node)) {
            site.multiLine = true;
            site.first = paragraph;
            site.last = DomUtil::lastNode(paragraph);
        }
        break;
    default:
        break;
    }
}

bool DomDocProc::executeCommand(CommandSite& site, const QDomNode& destParent, QDomNode& lastAdded,
                                const QDomNode& end)
{
    switch (site.command.commandType()) {
    case IterateStart:
        return expandBlock(site, destParent, lastAdded, end);
    case TableInsert:
        if (!site.seedRow.isNull()) {
            lastAdded = DomUtil::moveChildren(getTableInsert(site.seedRow, site.result, site.replaceEmpty),
                                              destParent, lastAdded);
        }
        return true;
    case PictureInsert:
        appendInsert(destParent, getPictureInsert(site.node, site.result, site.command.option(QStringLiteral("query"))),
                     lastAdded);
        return true;
    default: // a text command, or an iterate_end outside the block it closes
        if (site.multiLine) {
            lastAdded = DomUtil::moveChildren(
                getMultiTextInsert(site.paragraph, site.node, site.result, site.replaceEmpty), destParent,
                lastAdded);
        } else {
            appendInsert(destParent, getTextInsert(site.node, site.result, site.replaceEmpty), lastAdded);
        }
        return true;
    }
}

bool DomDocProc::expandBlock(CommandSite& site, const QDomNode& destParent, QDomNode& lastAdded,
                             const QDomNode& end)
{
    // The repetitions go beside the iterate_start paragraph, also when the
    // walk had already entered that paragraph.
    const bool entered = site.first == site.node && !site.paragraph.isNull();
    const QDomNode blockParent =
        entered ? DomUtil::counterpart(lastAdded, site.paragraph.parentNode()) : destParent;
    if (blockParent.isNull()) {
        reportError(endNodeError, QString());
        return false;
    }
    // An iterate_end must follow the iterate_start paragraph.
    const QDomNode bodyStart = DomUtil::nextLastNode(site.paragraph.isNull() ? site.first : site.paragraph);
    QDomNode endFirst;
    QDomNode endLast;
    if (!findIterateEndBlock(endFirst, endLast, site.command.option(QStringLiteral("iterate_start")),
                             bodyStart, end)) {
        site.last = DomUtil::lastNode(site.first);
        return !format->names().missingBlockEndStopsWalk;
    }
    QDomNode bodyEnd = paragraphOf(endFirst);
    if (bodyEnd.isNull() || DomUtil::isAncestor(bodyEnd, bodyStart) ||
        (!end.isNull() && DomUtil::isAncestor(bodyEnd, end)))
        bodyEnd = endFirst;

    const QString separate = site.command.option(QStringLiteral("separate"));
    QDomNode parent = blockParent;
    produceRepetitions(
        site.command, site.result, [&] { lastAdded = processTemlate(blockParent, bodyStart, bodyEnd); },
        [&] {
            const QDomNode separator = format->separator(resultDoc, site.paragraph, separate);
            if (!separator.isNull())
                parent.appendChild(separator);
        });
    site.last = bodyEnd == endFirst ? endLast : DomUtil::lastNode(bodyEnd);
    return true;
}

QDomNode DomDocProc::getTextInsert(const QDomNode& commandNode, const QString& result,
                                   const QString& replaceEmpty)
{
    return format->textInsert(resultDoc, commandNode, result.isEmpty() ? replaceEmpty : result);
}

QDomNode DomDocProc::getMultiTextInsert(const QDomElement& paragraph, const QDomNode& commandNode,
                                        const QString& result, const QString& replaceEmpty)
{
    QStringList lines = format->splitLines(result);
    for (QString& line : lines) {
        if (line.isEmpty())
            line = replaceEmpty;
    }
    return format->linesInsert(resultDoc, paragraph, commandNode, lines);
}

QDomNode DomDocProc::findSeedRow(const QDomNode& commandNode)
{
    QString error;
    const QDomElement row = TableRows::findSeedRow(paragraphOf(commandNode), *format, error);
    if (row.isNull())
        reportError(error, QString());
    return row;
}

QDomNode DomDocProc::getTableInsert(const QDomNode& seedRow, const QString& result,
                                    const QString& replaceEmpty)
{
    return TableRows::fill(resultDoc, seedRow.toElement(), result, replaceEmpty, *format,
                           spliceRows ? &splicedRows : nullptr);
}

QDomNode DomDocProc::getPictureInsert(const QDomNode& commandNode, const QString& fileName, const QString& queryName)
{
    if (commandNode.isNull())
        return QDomNode();
    const QString name = fileName.trimmed();
    const QString path = concatPath(xmlSourceFilePath(), name);
    PictureFile picture;
    // An empty name is an absent picture, which may be intended; a name that
    // gives no picture is told, or the user never learns why it is missing.
    if (name.isEmpty()
        || !picture.loadFrom(path, xmlSourceFilePath(), queryName, limits()))
        return format->pictureInsert(resultDoc, commandNode, nullptr, QString());
    const int number = firstPictureNumber + package.pictures().size();
    const QString entry = format->pictureEntry(picture.extensionFor(name), number);
    package.addPicture({entry, path, PictureFile::mediaType(QString::fromLatin1(picture.format()))});
    return format->pictureInsert(resultDoc, commandNode, &picture.image(), entry);
}
