#include "odttemplatecache.h"

#include "domutil.h"
#include "odtcommands.h"
#include "ziputil.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTextCodec>
#include <QVector>

namespace {

struct Entry {
    QString key;
    OdtTemplateCache::Part part;
};

// Most recently used first.
thread_local QVector<Entry> cachedParts;

QString cacheKey(const QFileInfo& file, const QString& entryName, QTextCodec* codec, bool onlyWithCommands)
{
    return QStringLiteral("%1\n%2\n%3\n%4\n%5\n%6")
        .arg(file.absoluteFilePath(), entryName)
        .arg(file.lastModified().toMSecsSinceEpoch())
        .arg(file.size())
        .arg(codec ? codec->mibEnum() : 106)
        .arg(onlyWithCommands ? 1 : 0);
}

OdtTemplateCache::Part readPart(const QString& packagePath, const QString& entryName, QTextCodec* codec,
                                bool onlyWithCommands)
{
    OdtTemplateCache::Part part;
    bool ok = false;
    const QByteArray bytes = ZipUtil::loadFile(packagePath, entryName, &ok);
    if (!ok || bytes.isEmpty())
        return part;
    const QString text = (codec ? codec : QTextCodec::codecForName("UTF-8"))->toUnicode(bytes);
    if (onlyWithCommands && !OdtCommands::mayHoldCommand(text)) {
        part.readable = true;
        return part;
    }
    if (!DomUtil::parseDocument(part.doc, text))
        return part;
    part.readable = true;
    part.commandCount = OdtCommands::isolate(part.doc);
    return part;
}

} // namespace

OdtTemplateCache::Part OdtTemplateCache::load(const QString& packagePath, const QString& entryName,
                                              QTextCodec* codec, bool onlyWithCommands)
{
    const QFileInfo file(packagePath);
    if (!file.isFile())
        return Part();
    const QString key = cacheKey(file, entryName, codec, onlyWithCommands);
    for (int i = 0; i < cachedParts.size(); ++i) {
        if (cachedParts.at(i).key == key) {
            if (i > 0)
                cachedParts.move(i, 0);
            return cachedParts.first().part;
        }
    }
    const Part part = readPart(packagePath, entryName, codec, onlyWithCommands);
    // A failure is not kept: the next document reports it again.
    if (part.readable) {
        if (cachedParts.size() >= capacity)
            cachedParts.removeLast();
        cachedParts.prepend({key, part});
    }
    return part;
}

int OdtTemplateCache::size()
{
    return cachedParts.size();
}

void OdtTemplateCache::clear()
{
    cachedParts.clear();
}
