#include "domtemplate.h"

#include "domformat.h"
#include "domutil.h"
#include "proccommand.h"
#include "ziputil.h"

#include <algorithm>

namespace {

// Reads, parses and prepares one part. With `onlyWithCommands` a part whose
// text cannot hold a command at all is not parsed: most headers, footers and
// styles hold none, and parsing them would cost more than the rest of a
// small document.
bool loadPart(DomTemplatePart& part, const QString& packagePath, const QString& entryName,
              const QStringList& entryNames, QTextCodec* codec, const DomFormat& format, bool onlyWithCommands)
{
    const QString text = ZipUtil::loadTextFile(packagePath, entryName, codec);
    if (text.isEmpty() || (onlyWithCommands && !ProcCommand::blockPattern().match(text).hasMatch())
        || !DomUtil::parseDocument(part.doc, text))
        return false;
    part.entryName = entryName;
    part.commandCount = format.isolateCommands(part.doc);
    format.readPartFacts(part, packagePath, entryNames, codec);
    return true;
}

// Numbers continue after those of the template's own pictures of the same
// name (a template made from a generated document has some), so that no
// entry name is written twice.
int firstFreePictureNumber(const QStringList& entryNames, const DomNames& names)
{
    int first = names.firstPictureNumber;
    for (const QString& name : entryNames) {
        if (!name.startsWith(names.picturePrefix, Qt::CaseInsensitive))
            continue;
        const QString rest = name.mid(names.picturePrefix.size());
        first = std::max(first, rest.left(rest.indexOf(QLatin1Char('.'))).toInt() + 1);
    }
    return first;
}

} // namespace

std::shared_ptr<const DomTemplate> DomTemplate::load(const QString& packagePath, QTextCodec* codec,
                                                     const DomFormat& format)
{
    auto loaded = std::make_shared<DomTemplate>();
    loaded->entryNames = ZipUtil::getFileNameList(packagePath);
    DomTemplatePart main;
    if (!loadPart(main, packagePath, format.names().mainPart, loaded->entryNames, codec, format, false))
        return nullptr;
    loaded->parts.append(main);
    loaded->partsRead = 1;
    loaded->firstPictureNumber = firstFreePictureNumber(loaded->entryNames, format.names());
    for (const QString& name : qAsConst(loaded->entryNames)) {
        if (!format.isSecondaryPart(name))
            continue;
        // A part that does not parse, or holds no command, stays in the
        // package exactly as it is.
        DomTemplatePart part;
        ++loaded->partsRead;
        if (loadPart(part, packagePath, name, loaded->entryNames, codec, format, true) && part.commandCount > 0)
            loaded->parts.append(part);
    }
    return loaded;
}
