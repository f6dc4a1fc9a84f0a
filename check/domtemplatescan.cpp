#include "domtemplatescan.h"

#include "commandwordscheck.h"
#include "docxformat.h"
#include "domformat.h"
#include "domutil.h"
#include "odtformat.h"
#include "odtpagestyles.h"
#include "packagecheck.h"
#include "tablerows.h"
#include "templatecheckresult.h"
#include "ziputil.h"

#include <QFileInfo>
#include <QTextCodec>

namespace {

// The check works on its own copy of each part and marks there which
// paragraph is which, before isolation changes the runs inside them.
const QString paragraphNumberAttribute = QStringLiteral("plinthworks-check-paragraph");

bool isParagraph(const QDomNode& node, const DomNames& names)
{
    const QString name = node.nodeName();
    return name == names.paragraph || (!names.heading.isEmpty() && name == names.heading);
}

void numberParagraphs(const QDomDocument& doc, const DomNames& names)
{
    int number = 0;
    for (QDomNode node = doc.firstChild(); !node.isNull(); node = DomUtil::nextNode(node)) {
        if (node.isElement() && isParagraph(node, names))
            node.toElement().setAttribute(paragraphNumberAttribute, ++number);
    }
}

// The paragraph that holds `node`, and its number (0 outside paragraphs).
int paragraphNumber(const QDomNode& node, QDomElement* paragraph)
{
    for (QDomNode n = node; !n.isNull(); n = n.parentNode()) {
        if (n.isElement() && n.toElement().hasAttribute(paragraphNumberAttribute)) {
            if (paragraph)
                *paragraph = n.toElement();
            return n.toElement().attribute(paragraphNumberAttribute).toInt();
        }
    }
    return 0;
}

bool isXmlEntry(const QString& name)
{
    return name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".rels"), Qt::CaseInsensitive);
}

bool insideBlock(const QVector<QPair<int, int>>& blocks, int at)
{
    for (const auto& block : blocks) {
        if (at >= block.first && at < block.second)
            return true;
    }
    return false;
}

// The sections of a WordprocessingML main part: each section properties
// element of a paragraph or of the body ends one.
int docxSectionCount(const QDomDocument& doc)
{
    int count = 0;
    for (QDomNode node = doc.firstChild(); !node.isNull(); node = DomUtil::nextNode(node)) {
        const QString parent = node.parentNode().nodeName();
        if (node.nodeName() == QLatin1String("w:sectPr") &&
            (parent == QLatin1String("w:pPr") || parent == QLatin1String("w:body")))
            ++count;
    }
    return count;
}

// Whether a page-style switch stands at or before the top-level element of
// the ODF text that holds `node`: sections start there, and what comes
// before the first switch is never removed.
bool odtSectionStarted(const QDomDocument& doc, const QDomNode& node, const OdtPageStyles& pageStyles)
{
    const QDomNode text = DomUtil::findNode(QStringLiteral("office:text"), doc.firstChild(), QDomNode());
    QDomNode top = node;
    while (!top.isNull() && top.parentNode() != text)
        top = top.parentNode();
    if (top.isNull())
        return false;
    for (QDomNode child = text.firstChild(); !child.isNull(); child = child.nextSibling()) {
        const QDomElement element = child.toElement();
        const QString style = element.hasAttribute(QStringLiteral("text:style-name"))
                                  ? element.attribute(QStringLiteral("text:style-name"))
                                  : element.attribute(QStringLiteral("table:style-name"));
        if (pageStyles.switchesPage(style))
            return true;
        if (child == top)
            break;
    }
    return false;
}

} // namespace

QString partNameOf(const QString& entryName)
{
    return QFileInfo(entryName).completeBaseName();
}

DomTemplateScan::DomTemplateScan(TemplateCheckResult& result, const QString& format)
    : result(result), format(format == QLatin1String("odt") ? createOdtFormat() : createDocxFormat()),
      odt(format == QLatin1String("odt"))
{
}

DomTemplateScan::~DomTemplateScan() = default;

void DomTemplateScan::scan(const QString& templatePath)
{
    const QString damage = PackageCheck::problemOf(templatePath);
    if (!damage.isEmpty()) {
        result.addError(
            {}, QStringLiteral("Файл шаблона повреждён (%1): документы по нему не формируются").arg(damage));
        return;
    }
    const DomNames& names = format->names();
    const QStringList entries = ZipUtil::getFileNameList(templatePath);
    if (!entries.contains(names.mainPart)) {
        result.addError({}, QStringLiteral("В пакете шаблона нет части %1: документы по нему не формируются")
                                .arg(names.mainPart));
        return;
    }
    QTextCodec* codec = QTextCodec::codecForName("UTF-8");
    for (const QString& entry : entries) {
        const bool mainPart = entry == names.mainPart;
        const bool walked = mainPart || format->isSecondaryPart(entry);
        if (!walked && !isXmlEntry(entry))
            continue;
        const QString text = ZipUtil::loadTextFile(templatePath, entry, codec);
        CheckPlace place{walked ? partNameOf(entry) : entry, 0, 0};
        QDomDocument doc;
        QString message;
        int line = 0;
        int column = 0;
        if (!DomUtil::parseDocument(doc, text, &message, &line, &column)) {
            place.line = line;
            const QString consequence =
                mainPart ? QStringLiteral("документы по шаблону не формируются")
                : walked ? QStringLiteral("её команды не выполняются, она переходит в документ как есть")
                         : QStringLiteral("она переходит в документ как есть");
            result.addError(place, QStringLiteral("Часть %1 — неправильный XML (позиция %2): %3; %4")
                                       .arg(entry)
                                       .arg(column)
                                       .arg(message, consequence));
            continue;
        }
        if (walked)
            scanPart(entry, doc, mainPart);
        else if (ProcCommand::blockPattern().match(text).hasMatch())
            result.addWarning(place, QStringLiteral("В части %1 есть текст команды, но эта часть не "
                                                    "обрабатывается: команды в ней не выполнятся")
                                         .arg(entry));
    }
}

void DomTemplateScan::scanPart(const QString& entryName, QDomDocument& doc, bool mainPart)
{
    const DomNames& names = format->names();
    const QString part = partNameOf(entryName);
    numberParagraphs(doc, names);
    QVector<CommandIsolation::ParagraphBlocks> seen;
    format->isolateCommands(
        doc, [&seen](const CommandIsolation::ParagraphBlocks& paragraph) { seen.append(paragraph); });

    for (const CommandIsolation::ParagraphBlocks& paragraph : qAsConst(seen)) {
        const CheckPlace place{part, 0, paragraphNumber(paragraph.paragraph, nullptr)};
        for (int b = 0; b < paragraph.blocks.size(); ++b) {
            if (paragraph.interruptions.at(b).isEmpty())
                continue;
            const auto& block = paragraph.blocks.at(b);
            result.addWarning(place, QStringLiteral("Внутри команды %1 стоит %2: при формировании оно "
                                                    "пропадёт, а его текст, если он есть, войдёт в команду")
                                         .arg(paragraph.text.mid(block.first, block.second - block.first),
                                              paragraph.interruptions.at(b)));
        }
        for (int at = paragraph.text.indexOf(QLatin1String("[%")); at >= 0;
             at = paragraph.text.indexOf(QLatin1String("[%"), at + 2)) {
            if (!insideBlock(paragraph.blocks, at)) {
                result.addWarning(place, CommandWordsCheck::strayCommandMessage(paragraph.text.mid(at)));
                break;
            }
        }
    }

    // The commands as the walk meets them: whole nodes, in document order.
    partCommands.clear();
    partFirst = result.commands.size();
    for (QDomNode node = doc.firstChild(); !node.isNull(); node = DomUtil::nextNode(node)) {
        const QString text = format->commandAt(node);
        if (text.isEmpty())
            continue;
        QDomElement paragraph;
        const int number = paragraphNumber(node, &paragraph);
        result.commands.append({CheckPlace{part, 0, number}, text, ProcCommand(text), {}, 0});
        partCommands.append(node);
        checkPlacement(node, paragraph, result.commands.size() - 1, doc, mainPart);
    }
}

void DomTemplateScan::checkPlacement(const QDomNode& commandNode, const QDomElement& paragraph,
                                     int commandIndex, const QDomDocument& doc, bool mainPart)
{
    const CheckedCommand& command = result.commands.at(commandIndex);
    if (command.command.commandType() == TableInsert) {
        QString error;
        const QDomElement seedRow = TableRows::findSeedRow(paragraph, *format, error);
        if (seedRow.isNull()) {
            result.addError(command.place,
                            error + QStringLiteral(": команда %1 будет пропущена").arg(command.written));
        }
        // The walk meets a command of the template row before the table
        // command, writes the row with it, and the row can serve no more.
        for (int k = partCommands.size() - 2; k >= 0 && !seedRow.isNull(); --k) {
            if (DomUtil::isAncestor(seedRow, partCommands.at(k))) {
                result.addError(command.place,
                                QStringLiteral("В строке-образце таблицы стоит команда %1: строка "
                                               "будет выведена с ней как есть, а команда %2 "
                                               "не заполнит таблицу (Ошибка конечного узла)")
                                    .arg(result.commands.at(partFirst + k).written, command.written));
                break;
            }
        }
    }
    if (!command.command.hasOption(QStringLiteral("delete_empty_section")))
        return;
    const QString nothing =
        QStringLiteral("delete_empty_section в команде %1 ничего не удалит: ").arg(command.written);
    if (!mainPart) {
        result.addWarning(command.place,
                          nothing + QStringLiteral("разделы удаляются только из основного текста"));
    } else if (!odt && docxSectionCount(doc) <= 1) {
        result.addWarning(command.place,
                          nothing +
                              QStringLiteral("в документе один раздел, а единственный раздел не удаляется"));
    } else if (odt) {
        OdtPageStyles pageStyles;
        pageStyles.read(doc);
        if (!odtSectionStarted(doc, commandNode, pageStyles)) {
            result.addWarning(command.place,
                              nothing +
                                  QStringLiteral("раздел начинается с абзаца или таблицы, меняющих стиль "
                                                 "страницы, а до команды такого нет"));
        }
    }
}
