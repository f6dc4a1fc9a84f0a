#pragma once

#include <QDomDocument>
#include <QString>

class QTextCodec;

// Template parts read, parsed and prepared (OdtCommands::isolate) once and
// kept for the documents that follow: a run generates hundreds of documents
// from a handful of templates. Each thread keeps its own few parts, since a
// QDomDocument must never be used by two threads; within a thread the
// generators only read the kept trees. A part is read again when the
// template file's modification time or size changes.
class OdtTemplateCache
{
public:
    struct Part {
        bool readable = false; // the entry was read and, where needed, parsed
        int commandCount = 0;  // command blocks found in it
        QDomDocument doc;      // null when not parsed (see load)
    };

    // The part `entryName` of the package `packagePath`, decoded with
    // `codec`. With `onlyWithCommands` a part whose text cannot hold a
    // command is not parsed: it comes back readable with a null tree.
    static Part load(const QString& packagePath, const QString& entryName, QTextCodec* codec,
                     bool onlyWithCommands);

    // Parts kept by the calling thread, and forgetting them.
    static int size();
    static void clear();

    static const int capacity = 8;
};
