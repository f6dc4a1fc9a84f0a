#pragma once

#include <QDomDocument>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class DomFormat;
class QTextCodec;

// One XML part of a template package, parsed (keeping whitespace) and
// rewritten so that every command block is one node of its own.
struct DomTemplatePart
{
    QString entryName;
    QDomDocument doc;
    int commandCount = 0;
    // The part's own relationships (in packages whose parts have them):
    // whether the package holds them, and the highest id number in use.
    bool hasRelationships = false;
    int maxRelationshipId = 0;
};

// What a DOM generator reads from its template package before walking it.
// Read-only once loaded: the walk copies from these trees and never changes
// them, so one loaded template serves any number of documents in its thread.
class DomTemplate
{
public:
    // Null when the package or its main part cannot be read or parsed.
    static std::shared_ptr<const DomTemplate> load(const QString& packagePath, QTextCodec* codec,
                                                   const DomFormat& format);

    QStringList entryNames;
    // The main part first, then the other parts that hold a command, in
    // package order.
    QVector<DomTemplatePart> parts;
    // How many parts were read: the main part and every other candidate,
    // with or without a command.
    int partsRead = 0;
    // The first number that no picture entry of the template uses.
    int firstPictureNumber = 0;
};
