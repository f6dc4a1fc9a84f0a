#pragma once

#include "domformat.h"

#include <QHash>
#include <QVector>

// WordprocessingML as the template engine sees it: commands are runs of their
// own, text goes into "w:t" elements of a copy of the command's run, a
// separator is an empty paragraph followed by a page or section break, a
// picture is a VML shape in the command's run with a relationship in the
// part that shows it, and sections marked empty are removed.
class DocxFormat : public DomFormat
{
public:
    const DomNames& names() const override;

    bool isSecondaryPart(const QString& entryName) const override;
    int isolateCommands(const QDomDocument& part) const override;
    void readPartFacts(DomTemplatePart& part, const QString& packagePath, const QStringList& entryNames,
                       QTextCodec* codec) const override;

    QString commandAt(const QDomNode& node) const override;
    bool standsAlone(const QDomElement& paragraph, const QString& commandText) const override;

    QDomNode textInsert(QDomDocument& doc, const QDomNode& commandNode, const QString& value) const override;
    QDomNode linesInsert(QDomDocument& doc, const QDomElement& paragraph, const QDomNode& commandNode,
                         const QStringList& lines) const override;
    QStringList splitLines(const QString& value) const override;
    void appendCellValue(QDomDocument& doc, QDomElement paragraph, const QString& value) const override;
    QDomNode separator(QDomDocument& doc, const QDomElement& paragraph, const QString& kind) override;
    QString pictureEntry(const QString& extension, int number) const override;
    QDomNode pictureInsert(QDomDocument& doc, const QDomNode& commandNode, const QImage* image,
                           const QString& entry) override;

    void beginDocument(const DomTemplate& source) override;
    void beginPart(const DomTemplatePart& part, bool mainPart) override;
    void finishPart(QDomDocument& result, const QList<QDomNode>& marks, bool mainPart, bool picturesAdded) override;
    void finishPackage(ResultPackage& package, const DomTemplate& source, const QString& templatePath,
                       QTextCodec* codec) override;

private:
    // One of the two paragraphs of a separator.
    QDomElement separatorParagraph(QDomDocument& doc, const QDomElement& paragraph, const QString& kind) const;
    void addRelationships(ResultPackage& package, const DomTemplate& source, const QString& templatePath,
                          QTextCodec* codec) const;
    void addContentTypes(ResultPackage& package, const QString& templatePath, QTextCodec* codec) const;

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
