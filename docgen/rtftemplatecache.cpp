#include "rtftemplatecache.h"

#include "filestamp.h"
#include "proccommand.h"

#include <QCache>
#include <QFile>
#include <QFileInfo>
#include <QRegExp>
#include <QTextCodec>
#include <QTextStream>

#include <algorithm>

namespace {

struct CachedRtfTemplate
{
    FileStamp stamp;
    std::shared_ptr<const RtfTemplate> loaded;
};

thread_local QCache<QString, CachedRtfTemplate> cache(RtfTemplateCache::capacity);

std::shared_ptr<RtfTemplate> readTemplate(const QString& path, QTextCodec* codec)
{
    // Read in binary mode: text mode would drop every carriage return byte,
    // and RTF may carry them in binary data. The Windows-1251 codec maps
    // each byte to a character and back, so a template without commands
    // comes out byte for byte.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    QTextStream in(&file);
    in.setCodec(codec);
    in.setAutoDetectUnicode(false);
    auto loaded = std::make_shared<RtfTemplate>();
    loaded->text = in.readAll();
    if (in.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
        return nullptr;
    loaded->balance = RtfGroupBalance::of(loaded->text);
    QRegExp block(ProcCommand::patCommandBlock, Qt::CaseInsensitive);
    for (int from = 0; (from = block.indexIn(loaded->text, from)) >= 0;) {
        loaded->blockStarts << from;
        from += block.matchedLength();
        loaded->blockEnds << from;
    }
    return loaded;
}

} // namespace

bool RtfTemplate::blockAfter(int from, int& start, int& end, bool& known) const
{
    const int index = int(std::lower_bound(blockStarts.begin(), blockStarts.end(), from) - blockStarts.begin());
    // A search from inside a block may find a shorter block there.
    known = index == 0 || blockEnds.at(index - 1) <= from;
    if (!known || index == blockStarts.size())
        return false;
    start = blockStarts.at(index);
    end = blockEnds.at(index);
    return true;
}

std::shared_ptr<const RtfTemplate> RtfTemplateCache::get(const QString& path, QTextCodec* codec)
{
    const QString key = QFileInfo(path).absoluteFilePath() + QLatin1Char('\n') + QString::fromLatin1(codec->name());
    const FileStamp stamp = FileStamp::of(path);
    if (const CachedRtfTemplate* cached = cache.object(key)) {
        if (cached->stamp == stamp)
            return cached->loaded;
    }
    cache.remove(key);
    std::shared_ptr<const RtfTemplate> loaded = readTemplate(path, codec);
    if (loaded)
        cache.insert(key, new CachedRtfTemplate{stamp, loaded});
    return loaded;
}
