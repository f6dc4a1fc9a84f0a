#pragma once

#include "domdocproc.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomNode>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class DocxTemplate;
struct DocxTemplatePart;

// Generates a DOCX document from a DOCX template and a source XML file: walks
// the main part and every header, footer and notes part that holds a command,
// copies everything that is not a command and puts in place of each command
// its text, paragraphs, table rows, picture or repeated block; removes the
// sections marked empty; writes a copy of the template package with the
// processed parts replaced and the pictures added.
//
// The template's parts come parsed and normalised from the calling thread's
// DocxTemplateCache (each command a run of its own, see DocxRunNormalizer).
// The walk only reads those trees: every node it writes is a copy in
// `resultDoc`.
class DocProc : public DomDocProc
{
public:
    DocProc(const QString& sourceFileName, const QString& destinationFileName, const QString& templateFileName,
            const QString& queryFolder, QTextCodec* codec);
    ~DocProc() override;

    bool generateDocument() override;

    // The walk: copies the template from `start` up to, not including, `end`
    // below `destParent`, executing the commands met; returns the deepest
    // last node written.
    QDomNode processTemlate(QDomNode destParent, QDomNode start, const QDomNode& end);
    // The next command block from `start` up to `end`; `blockFirst` and
    // `blockLast` receive the run that holds it. Empty when there is none.
    QString findCommandBlock(QDomNode& blockFirst, QDomNode& blockLast, const QDomNode& start,
                             const QDomNode& end) override;

    // Builders of what replaces a command; they return new nodes of
    // `resultDoc` and never change the template.
    QDomNode getTextInsert(const QDomNode& run, const QString& result, const QString& replaceEmpty);
    QDomNode getMultiTextInsert(const QDomNode& paragraph, const QDomNode& commandRun, const QString& result,
                                const QString& replaceEmpty);
    QDomNode findSeedRow(const QDomNode& node);
    QDomNode getTableInsert(const QDomNode& seedRow, const QString& result, const QString& replaceEmpty);
    QDomNode getSeparateInsert(const QDomNode& node, const QString& kind);
    void deleteEmptySections();
    // Gives every table cell that does not end with a paragraph, and every
    // text box without one, an empty paragraph at its end.
    void closeCellsAndTextBoxes();
    static void restoreSpaces(const QDomNode& node);

    // Package side: relationship and picture numbers, pictures, registration.
    void prepareRels();
    QDomNode getPictureInsert(const QDomNode& run, const QString& fileName);
    void correctRels();
    void correctContentTypes();

    QDomDocument templateDoc;
    QDomDocument resultDoc;
    QHash<QString, QByteArray*> replacedFiles;
    // Picture entry (word/media/image7.png) -> picture file on disk.
    QHash<QString, QString> addedFiles;
    // Picture entry -> its relationship id in the part that shows it.
    QHash<QString, QString> pictureRelIds;
    QList<QDomNode> emptySectionMarks;
    // Highest relationship number in use, per part entry name: ids are
    // unique within the relationships of one part.
    QHash<QString, int> maxRelIds;
    int maxPictureNo = 0;

private:
    void processPart(const DocxTemplatePart& part, bool mainPart);
    void declarePictureNamespaces();
    bool writePackage();
    bool addPackageEntries(const QString& packagePath);
    void clearPackageData();

    std::shared_ptr<const DocxTemplate> templatePackage;
    // Entry name of the part being walked.
    QString currentPart;
    // Picture entries in the order they were inserted, and the part of each.
    QStringList pictureEntries;
    QHash<QString, QString> picturePart;
    // New entries that the template lacks (relationships of a header that had
    // none): entry name -> content.
    QHash<QString, QByteArray> newEntries;
};
