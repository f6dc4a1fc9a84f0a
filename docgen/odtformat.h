#pragma once

#include "domformat.h"
#include "odtpagestyles.h"

// OpenDocument text as the template engine sees it: commands are text nodes
// of their own, a value is text (with spaces, tabs and line breaks written
// as ODF elements) in the paragraph or span that held the command, a
// separator is one paragraph (breaking the page for "page" and "section"),
// a picture is a character-anchored frame listed in the manifest, and
// sections are stretches of one page style.
class OdtFormat : public DomFormat
{
public:
    const DomNames& names() const override;

    bool isSecondaryPart(const QString& entryName) const override;
    int isolateCommands(const QDomDocument& part) const override;

    QString commandAt(const QDomNode& node) const override;
    bool standsAlone(const QDomElement& paragraph, const QString& commandText) const override;
    bool keepsBlockStart(const QDomElement& paragraph) const override;

    QDomNode textInsert(QDomDocument& doc, const QDomNode& commandNode, const QString& value) const override;
    QDomNode linesInsert(QDomDocument& doc, const QDomElement& paragraph, const QDomNode& commandNode,
                         const QStringList& lines) const override;
    QStringList splitLines(const QString& value) const override;
    void appendCellValue(QDomDocument& doc, QDomElement paragraph, const QString& value) const override;
    QDomNode separator(QDomDocument& doc, const QDomElement& paragraph, const QString& kind) override;
    QString pictureEntry(const QString& extension, int number) const override;
    QDomNode pictureInsert(QDomDocument& doc, const QDomNode& commandNode, const QImage* image,
                           const QString& entry) override;

    void beginPart(const DomTemplatePart& part, bool mainPart) override;
    void finishPart(QDomDocument& result, const QList<QDomNode>& marks, bool mainPart, bool picturesAdded) override;
    void finishPackage(ResultPackage& package, const DomTemplate& source, const QString& templatePath,
                       QTextCodec* codec) override;

private:
    OdtPageStyles pageStyles;
};
