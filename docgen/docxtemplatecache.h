#pragma once

#include <QDomDocument>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class QTextCodec;

// One XML part of a DOCX template, parsed (keeping whitespace) and normalised
// so that every command block is a run of its own.
struct DocxTemplatePart
{
    QString entryName;
    QDomDocument doc;
    int commandCount = 0;
    // Highest relationship number in the part's own relationships.
    int maxRelId = 0;
    // Whether the template has a relationships part for it.
    bool hasRels = false;
};

// What a DOCX generator reads from its template package before walking it.
// Read-only once loaded: the walk copies from these trees and never changes
// them, so one loaded template serves any number of documents in its thread.
class DocxTemplate
{
public:
    // Null when the package or its main part cannot be read or parsed.
    static std::shared_ptr<const DocxTemplate> load(const QString& templatePath, QTextCodec* codec);

    QStringList entryNames;
    DocxTemplatePart mainPart;
    // Header, footer, footnote and endnote parts that hold at least one
    // command, in package order.
    QVector<DocxTemplatePart> headerFooterParts;
    // Highest N of the template's word/media/imageN.* entries.
    int maxPictureNo = 0;
};

// A per-thread cache of loaded templates, keyed by path, modification time,
// size and codec, holding the few most recently used. A batch of documents
// from one template thus reads and parses the template once per worker
// thread. DOM trees are not thread-safe, so no tree is ever shared between
// threads: each thread has its own cache.
class DocxTemplateCache
{
public:
    static std::shared_ptr<const DocxTemplate> get(const QString& templatePath, QTextCodec* codec);
    // Empties the calling thread's cache.
    static void clear();
    // Number of templates held by the calling thread's cache.
    static int size();

    static const int maxTemplates = 4;
};
