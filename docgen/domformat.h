#pragma once

#include "commandisolation.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class QImage;
class QTextCodec;
class DomTemplate;
class ResultPackage;
struct DomTemplatePart;

// The element names a template format gives the things the template engine
// works with. Parts are parsed without namespace processing, so these are
// qualified names ("w:p", "text:p").
struct DomNames
{
    QString paragraph;
    // A second paragraph-level element (ODF headings), empty when none.
    QString heading;
    QString table;
    QString row;
    // Rows grouped in an element of their own, empty when the format has none.
    QString rowGroup;
    QString cell;
    // Elements that may stand between a table and the paragraph after it.
    QStringList passedOverAfterTable;
    // Whether only cells count as the columns of a row (otherwise every
    // element from the first cell on does).
    bool onlyCellsAreColumns = true;
    // Whether a repeated block without an end stops the walk of its level
    // (otherwise the walk goes on after the block's start paragraph).
    bool missingBlockEndStopsWalk = false;
    // The entry of the template package that is always walked.
    QString mainPart;
    // Entry names of inserted pictures start with this, followed by a
    // number: the first is `firstPictureNumber` unless the template already
    // has pictures so named.
    QString picturePrefix;
    int firstPictureNumber = 1;
};

// What a template format (DOCX, ODT) supplies to the template engine
// (DomDocProc): its names, how its commands are found and isolated, how its
// runs, paragraphs, cells, separators and pictures look, and what its parts
// and its package need once walked. One object serves one document; it may
// keep what it learns on the way (relationship numbers, styles in use).
class DomFormat
{
public:
    virtual ~DomFormat();

    virtual const DomNames& names() const = 0;

    // Reading the template.
    // Whether an entry, other than the main part, is a part to walk when
    // it holds a command (headers, footers, styles).
    virtual bool isSecondaryPart(const QString& entryName) const = 0;
    // Rewrites a freshly parsed part so that every command block is one node
    // of its own; returns the number of command blocks. `observer`, when
    // given, sees each paragraph that may hold a command before it changes.
    virtual int isolateCommands(const QDomDocument& part,
                                const CommandIsolation::Observer& observer = {}) const = 0;
    // Facts about a part that the package side needs later.
    virtual void readPartFacts(DomTemplatePart& part, const QString& packagePath,
                               const QStringList& entryNames, QTextCodec* codec) const;

    // The walk.
    // The command's text when `node` holds a whole command, else empty.
    virtual QString commandAt(const QDomNode& node) const = 0;
    // Whether the paragraph holds nothing but the command, so that lines of
    // a result may replace it with paragraphs of their own.
    virtual bool standsAlone(const QDomElement& paragraph, const QString& commandText) const = 0;
    // Whether an iterate_start paragraph stays, emptied, before the block.
    virtual bool keepsBlockStart(const QDomElement& paragraph) const;

    // What replaces a command; built in `doc`, the template is only read.
    // The value put in place of a text command's block.
    virtual QDomNode textInsert(QDomDocument& doc, const QDomNode& commandNode,
                                const QString& value) const = 0;
    // A holder of one paragraph per line, in the style of `paragraph`.
    virtual QDomNode linesInsert(QDomDocument& doc, const QDomElement& paragraph, const QDomNode& commandNode,
                                 const QStringList& lines) const = 0;
    // The lines of a query result.
    virtual QStringList splitLines(const QString& value) const = 0;
    // Adds a value to the text of a table cell's paragraph.
    virtual void appendCellValue(QDomDocument& doc, QDomElement paragraph, const QString& value) const = 0;
    // What goes between two repetitions of a block; null for nothing.
    virtual QDomNode separator(QDomDocument& doc, const QDomElement& paragraph, const QString& kind) = 0;
    // The entry name of an inserted picture.
    virtual QString pictureEntry(const QString& extension, int number) const = 0;
    // What shows the picture `entry` in place of a picture command; with no
    // image (the picture could not be read), what stays in its place.
    virtual QDomNode pictureInsert(QDomDocument& doc, const QDomNode& commandNode, const QImage* image,
                                   const QString& entry) = 0;

    // Parts and package.
    virtual void beginDocument(const DomTemplate& source);
    virtual void beginPart(const DomTemplatePart& part, bool mainPart);
    // Completes a walked part: `marks` are the nodes recorded by commands
    // with delete_empty_section, `picturesAdded` whether the part shows one.
    virtual void finishPart(QDomDocument& result, const QList<QDomNode>& marks, bool mainPart,
                            bool picturesAdded) = 0;
    // Registers the inserted pictures in the package.
    virtual void finishPackage(ResultPackage& package, const DomTemplate& source, const QString& templatePath,
                               QTextCodec* codec) = 0;

protected:
    using Namespace = QPair<QString, QString>;
    // Declares on `root` each prefix (to its URI) that it does not declare:
    // the elements a generator adds use prefixes a template may never have.
    static void declareNamespaces(QDomElement root, const QVector<Namespace>& namespaces);
};
