#include "docxtemplatecache.h"

#include "docxrelations.h"
#include "docxrunnormalizer.h"
#include "docxxml.h"
#include "domutil.h"
#include "ziputil.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QTextCodec>

namespace {

bool loadPart(DocxTemplatePart& part, const QString& templatePath, const QString& entryName,
              const QStringList& entryNames, QTextCodec* codec)
{
    const QString text = ZipUtil::loadTextFile(templatePath, entryName, codec);
    if (text.isEmpty() || !DomUtil::parseDocument(part.doc, text))
        return false;
    part.entryName = entryName;
    part.commandCount = DocxRunNormalizer::normalize(part.doc);
    const QString relsEntry = DocxRelations::relsEntryFor(entryName);
    part.hasRels = entryNames.contains(relsEntry);
    if (part.hasRels)
        part.maxRelId = DocxRelations::maxRelNumber(ZipUtil::loadTextFile(templatePath, relsEntry, codec));
    return true;
}

struct CacheEntry
{
    QString key;
    std::shared_ptr<const DocxTemplate> value;
};

// Most recently used first.
thread_local QVector<CacheEntry> threadCache;

} // namespace

std::shared_ptr<const DocxTemplate> DocxTemplate::load(const QString& templatePath, QTextCodec* codec)
{
    auto loaded = std::make_shared<DocxTemplate>();
    loaded->entryNames = ZipUtil::getFileNameList(templatePath);
    if (!loadPart(loaded->mainPart, templatePath, DocxXml::contentFileName, loaded->entryNames, codec))
        return nullptr;
    loaded->maxPictureNo = DocxRelations::maxPictureNumber(loaded->entryNames);
    for (const QString& name : qAsConst(loaded->entryNames)) {
        if (!DocxXml::isHeaderFooterEntry(name) && !DocxXml::isNotesEntry(name))
            continue;
        // A part that does not parse, or holds no command, stays in the
        // package exactly as it is.
        DocxTemplatePart part;
        if (loadPart(part, templatePath, name, loaded->entryNames, codec) && part.commandCount > 0)
            loaded->headerFooterParts.append(part);
    }
    return loaded;
}

std::shared_ptr<const DocxTemplate> DocxTemplateCache::get(const QString& templatePath, QTextCodec* codec)
{
    const QFileInfo info(templatePath);
    if (!info.isFile())
        return nullptr;
    const QString key = info.absoluteFilePath() + QLatin1Char('\n')
                        + QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n')
                        + QString::number(info.size()) + QLatin1Char('\n')
                        + QString::fromLatin1(codec ? codec->name() : QByteArray());
    for (int i = 0; i < threadCache.size(); ++i) {
        if (threadCache.at(i).key == key) {
            const CacheEntry found = threadCache.at(i);
            threadCache.remove(i);
            threadCache.prepend(found);
            return found.value;
        }
    }
    std::shared_ptr<const DocxTemplate> loaded = DocxTemplate::load(templatePath, codec);
    if (!loaded)
        return nullptr;
    // An older state of the same file will not be asked for again.
    const QString pathKey = info.absoluteFilePath() + QLatin1Char('\n');
    for (int i = threadCache.size() - 1; i >= 0; --i) {
        if (threadCache.at(i).key.startsWith(pathKey))
            threadCache.remove(i);
    }
    threadCache.prepend({key, loaded});
    while (threadCache.size() > maxTemplates)
        threadCache.removeLast();
    return loaded;
}

void DocxTemplateCache::clear()
{
    threadCache.clear();
}

int DocxTemplateCache::size()
{
    return threadCache.size();
}
