#include "templatecache.h"

#include "domformat.h"
#include "domtemplate.h"

#include <QCache>
#include <QDateTime>
#include <QFileInfo>
#include <QTextCodec>

#include <algorithm>

namespace {

struct CachedTemplate
{
    // The state of the file it was read from.
    QString stamp;
    std::shared_ptr<const DomTemplate> loaded;
};

thread_local QCache<QString, CachedTemplate> cache(TemplateCache::maxParts);

} // namespace

std::shared_ptr<const DomTemplate> TemplateCache::get(const QString& packagePath, QTextCodec* codec,
                                                      const DomFormat& format)
{
    const QFileInfo info(packagePath);
    if (!info.isFile())
        return nullptr;
    if (!codec)
        codec = QTextCodec::codecForName("UTF-8");
    const QString key = format.names().mainPart + QLatin1Char('\n') + info.absoluteFilePath();
    const QString stamp = QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n') +
                          QString::number(info.size()) + QLatin1Char('\n') +
                          QString::fromLatin1(codec->name());
    if (const CachedTemplate* cached = cache.object(key)) {
        if (cached->stamp == stamp)
            return cached->loaded;
    }
    // An older state of the same file will not be asked for again.
    cache.remove(key);
    std::shared_ptr<const DomTemplate> loaded = DomTemplate::load(packagePath, codec, format);
    if (loaded)
        cache.insert(key, new CachedTemplate{stamp, loaded}, std::min(loaded->partsRead, maxParts));
    return loaded;
}

int TemplateCache::partCount()
{
    return cache.totalCost();
}

void TemplateCache::clear()
{
    cache.clear();
}
