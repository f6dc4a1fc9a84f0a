#pragma once

#include <QByteArray>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class QTextCodec;

// The package side of a DOCX result: relationship parts, picture numbers and
// content types. Every part of a package that refers to other parts (the
// main part, each header and footer) has relationships of its own, in
// "word/_rels/<part file name>.rels"; an id is unique within one such part.
class DocxRelations
{
public:
    // One relationship to add: its id and its target relative to "word".
    using Relationship = QPair<QString, QString>;

    // "word/header2.xml" -> "word/_rels/header2.xml.rels".
    static QString relsEntryFor(const QString& partEntryName);

    // Highest number in the ids of a relationships part ("rId12" -> 12;
    // ids without digits count as 0); 0 for text that does not parse.
    static int maxRelNumber(const QString& relsText);

    // Serialises the relationships part `relsText` (a new, empty one when
    // `create` is set) with image relationships appended. False, leaving
    // `out` alone, when existing text does not parse: then the template's
    // part is better kept as it is than replaced by an empty one.
    static bool addImageRelationships(QByteArray& out, const QString& relsText, bool create,
                                      const QVector<Relationship>& relationships, QTextCodec* codec);

    // Serialises the content types with a "Default" of the picture media
    // type for each extension that has none yet. False when nothing needs adding
    // or the text does not parse.
    static bool addImageContentTypes(QByteArray& out, const QString& contentTypesText,
                                     const QSet<QString>& extensions, QTextCodec* codec);

    static const QString imageRelType;
    static const QString relsNamespace;
};
