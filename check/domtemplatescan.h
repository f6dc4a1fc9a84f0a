#pragma once

#include <QDomNode>
#include <QString>
#include <QVector>

#include <memory>

class DomFormat;
class QDomDocument;
class QDomElement;
struct TemplateCheckResult;

// Reads a DOCX or ODT template as its generator does (the package checked
// through, each part parsed and its commands isolated by the format) and
// lists the commands of every walked part in document order, with what the
// format alone can tell: parts that are not well-formed, text that looks
// like a command but will not be found, commands broken by a field or a
// comment, table commands without a table right before them, and
// delete_empty_section where there is no section to remove.
class DomTemplateScan
{
public:
    DomTemplateScan(TemplateCheckResult& result, const QString& format);
    ~DomTemplateScan();

    void scan(const QString& templatePath);

private:
    void scanPart(const QString& entryName, QDomDocument& doc, bool mainPart);
    void checkPlacement(const QDomNode& commandNode, const QDomElement& paragraph, int commandIndex,
                        const QDomDocument& doc, bool mainPart);

    TemplateCheckResult& result;
    std::unique_ptr<DomFormat> format;
    bool odt;
    // The nodes of the commands of the part being scanned, in order.
    QVector<QDomNode> partCommands;
    int partFirst = 0;
};

// The short name of a package part in places: "word/header1.xml" gives
// "header1", "content.xml" "content".
QString partNameOf(const QString& entryName);
