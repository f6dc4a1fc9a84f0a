#pragma once

#include "domdocproc.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomNode>
#include <QHash>
#include <QList>
#include <QString>

class ProcCommand;

// Generates an ODT document from an ODT template and a source XML file.
//
// "content.xml" is walked in document order and copied into a new tree; each
// command met is replaced by what it produces: text, paragraphs, table rows,
// a picture, or repeated copies of a block. "styles.xml" (page headers and
// footers) is walked the same way when it holds a command. The result package
// is a copy of the template with those parts replaced, the manifest updated
// and the pictures added.
//
// The template parts come from OdtTemplateCache, prepared so that every
// command is a text node of its own; they are shared by the documents a
// thread generates and are only read here. Everything written goes into
// resultDoc.
class OdtProc : public DomDocProc
{
public:
    OdtProc(const QString& sourceFileName, const QString& destinationFileName, const QString& templateFileName,
            const QString& queryFolder, QTextCodec* codec);
    ~OdtProc() override;

    bool generateDocument() override;

    // The walk: copies the template from `start` up to `end` (excluded) below
    // `destParent`, executing the commands met; returns the deepest last node
    // written.
    QDomNode processTemlate(QDomNode destParent, QDomNode start, const QDomNode& end);
    // The next command between `start` and `end`: its text, and its text node
    // in both references (null and an empty text when there is none).
    QString findCommandBlock(QDomNode& blockFirst, QDomNode& blockLast, const QDomNode& start,
                             const QDomNode& end) override;

    // What replaces a command (built in resultDoc; the template is not changed).
    QDomNode getTextInsert(const QDomNode& textNode, const QString& result, const QString& replaceEmpty);
    QDomNode getMultiTextInsert(const QDomNode& paragraph, const QString& result, const QString& replaceEmpty);
    QDomNode findSeedRow(const QDomNode& node);
    QDomNode getTableInsert(const QDomNode& seedRow, const QString& result, const QString& replaceEmpty);
    QDomNode getSeparateInsert(const QDomNode& node, const QString& kind);
    QDomNode getPictureInsert(const QDomNode& node, const QString& fileName);

    // Styles, sections and package.
    void prepareStyles();
    void addSeparateStyle();
    void deleteEmptySections();
    void correctManifest();

    QDomDocument templateDoc;
    QDomDocument resultDoc;
    QHash<QString, QString> masterPageStyles;
    bool separateStyleUsed = false;
    QList<QDomNode> emptySectionMarks;
    QHash<QString, QByteArray*> replacedFiles;
    QHash<QString, QString> addedFiles;
    // Media type of each added picture, as its content tells.
    QHash<QString, QString> addedFileTypes;

private:
    bool processPart(const QString& entryName);
    QDomNode processIteration(const ProcCommand& command, const QString& result, const QDomNode& paragraph,
                              const QDomNode& destParent, QDomNode& blockLast, QDomNode lastAdded,
                              const QDomNode& end, bool& stop);
    bool standsAlone(const QDomNode& paragraph, const QString& text) const;
    int nextPictureNumber();
    void ensureNamespaces(bool pictures, bool styles);
    void storePart(const QString& entryName);
    void clearPackageData();

    int firstPictureNumber = -1;
};
