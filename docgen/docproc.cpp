#include "docproc.h"

#include "docxtemplatecache.h"
#include "docxxml.h"
#include "domutil.h"
#include "packagecheck.h"
#include "proccommand.h"
#include "status.h"

#include <QDir>

using namespace DocxXml;

DocProc::DocProc(const QString& sourceFileName, const QString& destinationFileName, const QString& templateFileName,
                 const QString& queryFolder, QTextCodec* codec)
    : DomDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, codec)
{
}

DocProc::~DocProc()
{
    clearPackageData();
}

bool DocProc::generateDocument()
{
    const QString damage = PackageCheck::problemOf(templateFileName());
    templatePackage = damage.isEmpty() ? DocxTemplateCache::get(templateFileName(), codec()) : nullptr;
    if (!templatePackage) {
        showStatus(QStringLiteral("Ошибка загрузки шаблона документа %1").arg(QDir::toNativeSeparators(templateFileName()))
                   + (damage.isEmpty() ? QString() : QStringLiteral(": ") + damage));
        return false;
    }
    prepareRels();

    processPart(templatePackage->mainPart, true);
    for (const DocxTemplatePart& part : templatePackage->headerFooterParts)
        processPart(part, false);

    correctRels();
    correctContentTypes();
    const bool written = writePackage();
    if (!written) {
        showStatus(QStringLiteral("Ошибка сохранения результирующего документа %1")
                       .arg(QDir::toNativeSeparators(destinationFileName())));
    }
    clearPackageData();
    return written && !hasTemplateErrors() && !queryProc().hasErrors();
}

void DocProc::processPart(const DocxTemplatePart& part, bool mainPart)
{
    currentPart = part.entryName;
    templateDoc = part.doc;
    restoreSpaces(templateDoc);
    resultDoc = QDomDocument();
    resultDoc.setContent(QString());
    emptySectionMarks.clear();

    processTemlate(resultDoc, templateDoc.firstChild(), QDomNode());
    // Sections are a matter of the main part; marks met in a header or
    // footer have no effect.
    if (mainPart)
        deleteEmptySections();
    closeCellsAndTextBoxes();
    declarePictureNamespaces();

    // Compact: whitespace between WordprocessingML elements means nothing,
    // and indenting would cost time and bytes.
    auto* bytes = new QByteArray;
    DomUtil::rawDataFromDoc(*bytes, resultDoc, codec(), -1);
    delete replacedFiles.value(part.entryName);
    replacedFiles.insert(part.entryName, bytes);
    emptySectionMarks.clear();
}

void DocProc::clearPackageData()
{
    qDeleteAll(replacedFiles);
    replacedFiles.clear();
    addedFiles.clear();
    pictureRelIds.clear();
    pictureEntries.clear();
    picturePart.clear();
    newEntries.clear();
}

void DocProc::restoreSpaces(const QDomNode& node)
{
    // Parts are read with the whitespace-keeping parse, so a "w:t" holding
    // only spaces arrives with all of them, and an empty one is really empty:
    // there is nothing to restore, and adding a space would change the text.
    Q_UNUSED(node)
}

namespace {

// The text of `run` when the run is a command block, otherwise empty. After
// normalisation a command is the whole text of a run of its own.
QString commandText(const QDomElement& run)
{
    const QDomElement t = run.firstChildElement(nnText);
    if (t.isNull())
        return QString();
    const QDomNode first = t.firstChild();
    if (first.isNull() || !first.nodeValue().startsWith(QLatin1Char('[')))
        return QString();
    const QString text = runText(run);
    return wholeCommandBlockPattern().match(text).hasMatch() ? text : QString();
}

// Moves the element children of `holder` to the end of `parent`; returns the
// last one moved, or `fallback` when there was none.
QDomNode moveChildren(QDomNode parent, const QDomNode& holder, const QDomNode& fallback)
{
    QDomNode last = fallback;
    while (!holder.firstChild().isNull())
        last = parent.appendChild(holder.firstChild());
    return last;
}

} // namespace

QString DocProc::findCommandBlock(QDomNode& blockFirst, QDomNode& blockLast, const QDomNode& start,
                                  const QDomNode& end)
{
    for (QDomNode node = start; !node.isNull() && node != end; node = DomUtil::nextNode(node)) {
        if (!node.isElement() || node.nodeName() != nnRun)
            continue;
        const QString text = commandText(node.toElement());
        if (!text.isEmpty()) {
            blockFirst = node;
            blockLast = node;
            return text;
        }
    }
    blockFirst = QDomNode();
    blockLast = QDomNode();
    return QString();
}

QDomNode DocProc::processTemlate(QDomNode destParent, QDomNode start, const QDomNode& end)
{
    QDomNode lastAdded = destParent;
    while (!start.isNull() && start != end) {
        QDomNode blockFirst;
        QDomNode blockLast;
        const QString text = findCommandBlock(blockFirst, blockLast, start, end);
        if (text.isEmpty()) {
            lastAdded = DomUtil::copyNodesSyn(destParent, start, end);
            break;
        }
        const ProcCommand command(text);
        const QString result = commandResult(command);
        const QString replaceEmpty = command.option(QStringLiteral("replace_empty"));
        const QDomNode commandRun = blockFirst;
        const QDomElement commandParagraph = paragraphOf(commandRun);
        bool multiLine = false;
        QDomNode seedRow;

        // Where the copy of the template text before the command stops, and
        // what of the template the command consumes.
        switch (command.commandType()) {
        case IterateStart:
            // The paragraph goes whole, whether or not the block is produced.
            blockFirst = commandParagraph;
            blockLast = DomUtil::lastNode(commandParagraph);
            break;
        case TableInsert:
            seedRow = findSeedRow(commandRun);
            if (!seedRow.isNull()) {
                // The command stands in a paragraph of its own, which goes
                // whole; the walk goes on after it.
                blockFirst = seedRow;
                blockLast = DomUtil::lastNode(commandParagraph);
            }
            break;
        case TextInsert:
            if (result.contains(QLatin1Char('\n')) && !commandParagraph.isNull()
                && paragraphText(commandParagraph).trimmed() == text) {
                multiLine = true;
                blockFirst = commandParagraph;
                blockLast = DomUtil::lastNode(commandParagraph);
            }
            break;
        default:
            break;
        }

        lastAdded = DomUtil::copyNodesSyn(destParent, start, blockFirst);
        if (lastAdded.isNull()) {
            reportError(QStringLiteral("Ошибка конечного узла"), QString());
            break;
        }
        destParent = DomUtil::ancestorNode(blockFirst.parentNode().nodeName(), lastAdded);

        if (command.hasOption(QStringLiteral("delete_empty_section"))
            && (result.isEmpty() || result == QLatin1String("0")))
            emptySectionMarks.append(lastAdded);

        switch (command.commandType()) {
        case IterateStart: {
            const QString varName = command.option(QStringLiteral("iterate_start"));
            QDomNode endFirst;
            QDomNode endLast;
            if (!findIterateEndBlock(endFirst, endLast, varName, commandRun, end))
                break;
            const QString separate = command.option(QStringLiteral("separate"));
            const QDomNode bodyStart = DomUtil::nextLastNode(commandParagraph);
            const QDomNode bodyEnd = paragraphOf(endFirst);
            int count = iterationCount(command, result);
            if (count < 1 && command.hasOption(QStringLiteral("keep_empty")))
                count = 1;
            if (initIterateVar(varName, count)) {
                for (int i = incIterateVarOnTop(); i != 0; i = incIterateVarOnTop()) {
                    lastAdded = processTemlate(destParent, bodyStart, bodyEnd);
                    if (!separate.isEmpty() && i != count) {
                        destParent.appendChild(getSeparateInsert(commandParagraph, QStringLiteral("paragraph")));
                        destParent.appendChild(getSeparateInsert(commandParagraph, separate));
                    }
                }
            }
            blockLast = DomUtil::lastNode(bodyEnd);
            break;
        }
        case TableInsert:
            if (!seedRow.isNull())
                lastAdded = moveChildren(destParent, getTableInsert(seedRow, result, replaceEmpty), lastAdded);
            break;
        case PictureInsert:
            lastAdded = destParent.appendChild(getPictureInsert(commandRun, result));
            break;
        default:
            if (multiLine) {
                lastAdded = moveChildren(destParent,
                                         getMultiTextInsert(commandParagraph, commandRun, result, replaceEmpty),
                                         lastAdded);
            } else {
                lastAdded = destParent.appendChild(getTextInsert(commandRun, result, replaceEmpty));
            }
            break;
        }

        start = DomUtil::nextLastNode(blockLast);
        destParent = DomUtil::ancestorNode(start.parentNode().nodeName(), lastAdded);
    }
    return DomUtil::lastNode(lastAdded);
}
