#include "ziputil.h"

#include "globals.h"
#include "stagedfile.h"
#include "status.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QtEndian>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>
#include <quazip/quazipnewinfo.h>

#include <zlib.h>

namespace {

const int copyBlockSize = 4096;

bool maskApplies(const QRegularExpression& mask)
{
    return !mask.pattern().isEmpty() && mask.isValid();
}

bool passesMasks(const QString& fileName, const UnzipParams& params)
{
    if (maskApplies(params.includeMask) && !params.includeMask.match(fileName).hasMatch())
        return false;
    return !(maskApplies(params.excludeMask) && params.excludeMask.match(fileName).hasMatch());
}

bool isZipName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

// The entry's name. Info-ZIP's zip on Linux writes names as UTF-8 without
// the UTF-8 flag and puts them, with the CRC of the stored name, into a
// Unicode Path extra field (0x7075); read as IBM866 they would be garbled.
QString entryNameOf(const QuaZip& zip, const QuaZipFileInfo64& info)
{
    const quint16 utf8Flag = 0x0800;
    if (info.flags & utf8Flag)
        return info.name;
    const QByteArray& extra = info.extra;
    for (int at = 0; at + 4 <= extra.size();) {
        const quint16 id = qFromLittleEndian<quint16>(extra.constData() + at);
        const quint16 size = qFromLittleEndian<quint16>(extra.constData() + at + 2);
        const int data = at + 4;
        if (data + size > extra.size())
            break;
        if (id == 0x7075 && size >= 5 && extra.at(data) == 1) {
            const quint32 nameCrc = qFromLittleEndian<quint32>(extra.constData() + data + 1);
            const QByteArray stored = zip.getFileNameCodec()->fromUnicode(info.name);
            const QByteArray unicode = extra.mid(data + 5, size - 5);
            QTextCodec::ConverterState state;
            const QString name = QTextCodec::codecForName("UTF-8")->toUnicode(unicode.constData(), unicode.size(), &state);
            const quint32 actualCrc =
                quint32(crc32(0L, reinterpret_cast<const Bytef*>(stored.constData()), uInt(stored.size())));
            // A field that does not belong to this name (the name was changed
            // by a tool that kept the field) is ignored.
            if (actualCrc == nameCrc && state.invalidChars == 0 && !name.isEmpty())
                return name;
        }
        at = data + size;
    }
    return info.name;
}

// The entry's path below the unpack folder, with "/" separators.
QString relativePathOf(const QString& entryName)
{
    // Archives made on Windows may separate folders with backslashes.
    QString relativePath = entryName;
    relativePath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return relativePath;
}

// Whether the entry is one that unpacking writes as a file.
bool isKeptEntry(const QString& relativePath, const UnzipParams& params)
{
    const QString fileName = relativePath.section(QLatin1Char('/'), -1);
    return passesMasks(fileName, params) && !relativePath.endsWith(QLatin1Char('/')) && isContainedPath(relativePath);
}

quint32 fileCrc(QFile& file, bool* ok)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    char block[copyBlockSize];
    qint64 read;
    while ((read = file.read(block, copyBlockSize)) > 0)
        crc = crc32(crc, reinterpret_cast<const Bytef*>(block), uInt(read));
    *ok = read == 0;
    return quint32(crc);
}

enum class Target { Free, SameFile, Conflict };

// What stands where an entry would be written: nothing (and no symbolic
// link on the way), the same file already (same size and CRC: unpacked
// before, or the user's own copy), or something that must not be replaced
// or written through.
Target targetOf(const QString& destDir, const QString& relativePath, const QuaZipFileInfo64& info)
{
    QString path = destDir;
    const QStringList parts = relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (int i = -1; i < parts.size(); ++i) {
        if (i >= 0)
            path += QLatin1Char('/') + parts.at(i);
        const QFileInfo node(path);
        if (node.isSymLink())
            return Target::Conflict;
        if (!node.exists())
            return Target::Free;
        const bool last = i == parts.size() - 1;
        if (!last && !node.isDir())
            return Target::Conflict;
        if (last) {
            if (!node.isFile() || quint64(node.size()) != info.uncompressedSize)
                return Target::Conflict;
            QFile file(path);
            bool read = false;
            if (!file.open(QIODevice::ReadOnly) || fileCrc(file, &read) != info.crc || !read)
                return Target::Conflict;
            return Target::SameFile;
        }
    }
    return Target::Free;
}

// Why an entry is too big to unpack, or empty when it is not.
QString oversizeReason(quint64 size, quint64 compressedSize, const UnzipParams& params)
{
    if (params.maxEntrySize > 0 && size > quint64(params.maxEntrySize))
        return QStringLiteral("его размер больше допустимого (%1 байт)").arg(params.maxEntrySize);
    // Ordinary XML compresses tens of times; far more is a file made to fill
    // the disk. Small entries are let through whatever their ratio.
    const quint64 ratioFloor = 16 * 1024 * 1024;
    if (params.maxCompressionRatio > 0 && size > ratioFloor
        && size / qMax<quint64>(compressedSize, 1) > quint64(params.maxCompressionRatio))
        return QStringLiteral("он сжат неправдоподобно сильно (более чем в %1 раз)").arg(params.maxCompressionRatio);
    return QString();
}

enum class Extracted { Written, Refused, Failed };

// Writes the current entry of `zip` to `filePath`, dated like the entry. The
// data goes to a temporary file first, which takes the name only when it is
// complete and only if nothing has taken the name meanwhile.
Extracted extractCurrentEntry(QuaZip& zip, const QuaZipFileInfo64& info, const QString& filePath,
                              const UnzipParams& params, QString* problem)
{
    *problem = oversizeReason(info.uncompressedSize, info.compressedSize, params);
    if (!problem->isEmpty())
        return Extracted::Refused;
    StagedFile staged(filePath);
    QuaZipFile in(&zip);
    QFile out(staged.path());
    if (!staged.isValid() || !in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Extracted::Failed;
    char block[copyBlockSize];
    quint64 written = 0;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const qint64 read = in.read(block, copyBlockSize);
        ok = read > 0 && out.write(block, read) == read;
        written += quint64(qMax<qint64>(read, 0));
        // The declared sizes may lie; what is really written counts too.
        *problem = oversizeReason(written, info.compressedSize, params);
        if (!problem->isEmpty())
            return Extracted::Refused;
    }
    ok = ok && out.flush();
    in.close(); // checks the CRC of what was read
    ok = ok && in.getZipError() == UNZ_OK;
    if (ok) {
        // Flushed first: a later write would set the modification time again.
        // Linux file systems do not accept a birth time; that is not an error.
        out.setFileTime(info.dateTime, QFileDevice::FileBirthTime);
        out.setFileTime(info.dateTime, QFileDevice::FileModificationTime);
    }
    out.close();
    return ok && staged.commitWithoutReplacing() ? Extracted::Written : Extracted::Failed;
}

// A folder for an inner archive beside it, named like it: the first of
// "name", "name_1", ... that the archive fits into.
QString innerFolderFor(const QString& zipPath, const UnzipParams& params)
{
    const QString base = zipPath.left(zipPath.size() - 4);
    for (int n = 0; n < 1000; ++n) {
        const QString folder = n == 0 ? base : base + QStringLiteral("_%1").arg(n);
        if (ZipUtil::fitsInto(zipPath, folder, params))
            return folder;
    }
    return QString();
}

// Appends a kept file to `fileNames`, or handles it as an inner archive.
bool keepFile(const QString& filePath, bool written, QStringList& fileNames, const UnzipParams& params,
              ZipUtil::UnzipReport* report)
{
    if (written && report)
        report->written.append(filePath);
    if (!isZipName(filePath)) {
        fileNames.append(filePath);
        return true;
    }
    if (!params.removeInternalZips)
        fileNames.append(filePath);
    if (params.recursive) {
        const QString folder = innerFolderFor(filePath, params);
        if (folder.isEmpty() || !ZipUtil::unzipArchive(filePath, folder, fileNames, params, report))
            return false;
    }
    // Only a copy this run wrote is ours to delete.
    if (params.removeInternalZips && written)
        QFile::remove(filePath);
    return true;
}

bool unzipCurrentEntry(QuaZip& zip, const QString& destDir, QStringList& fileNames, const UnzipParams& params,
                       ZipUtil::UnzipReport* report)
{
    QuaZipFileInfo64 info;
    if (!zip.getCurrentFileInfo(&info))
        return false;
    const QString entryName = entryNameOf(zip, info);
    const QString relativePath = relativePathOf(entryName);
    const QString fileName = relativePath.section(QLatin1Char('/'), -1);
    if (!passesMasks(fileName, params) || relativePath.endsWith(QLatin1Char('/')))
        return true;
    if (!isContainedPath(relativePath)) {
        showStatus(QStringLiteral("Пропущен элемент архива с недопустимым путём: %1 (архив %2)")
                       .arg(entryName, shownFileName(zip.getZipName())));
        return true;
    }
    const QString filePath = QDir::cleanPath(concatPath(destDir, relativePath));
    switch (targetOf(destDir, relativePath, info)) {
    case Target::SameFile:
        return keepFile(filePath, false, fileNames, params, report);
    case Target::Conflict:
        // Never replaced, never written through; the caller chose a folder
        // where the archive fits, so something changed meanwhile.
        showStatus(QStringLiteral("Ошибка! Элемент архива %1 (архив %2) не распакован: файл %3 уже существует")
                       .arg(entryName, shownFileName(zip.getZipName()), shownFileName(filePath)));
        return false;
    case Target::Free:
        break;
    }
    if (!QDir().mkpath(QFileInfo(filePath).path()))
        return false;
    QString problem;
    switch (extractCurrentEntry(zip, info, filePath, params, &problem)) {
    case Extracted::Written:
        return keepFile(filePath, true, fileNames, params, report);
    case Extracted::Refused: {
        const QString message = QStringLiteral("Ошибка! Элемент архива %1 (архив %2) не распакован: %3")
                                    .arg(entryName, shownFileName(zip.getZipName()), problem);
        // The caller records it on the archive, which also shows it.
        if (report)
            report->problems.append(message);
        else
            showStatus(message);
        return true;
    }
    case Extracted::Failed:
        break;
    }
    return false;
}

// Copies exactly `size` bytes. Needed for raw entry data, where QuaZipFile
// measures its end against the uncompressed size and so never reaches it.
bool copyBytes(QIODevice& in, QIODevice& out, qint64 size)
{
    char block[copyBlockSize];
    for (qint64 left = size; left > 0;) {
        const qint64 read = in.read(block, qMin<qint64>(left, copyBlockSize));
        if (read <= 0 || out.write(block, read) != read)
            return false;
        left -= read;
    }
    return true;
}

// Copies the current entry of `src` into `dest` without recompressing it:
// same method, CRC and sizes, so the stored data stays byte for byte.
bool copyRawEntry(QuaZip& src, QuaZip& dest, const QuaZipFileInfo64& info)
{
    int method = 0;
    int level = 0;
    QuaZipFile in(&src);
    if (!in.open(QIODevice::ReadOnly, &method, &level, true))
        return false;
    QuaZipNewInfo newInfo(info);
    newInfo.uncompressedSize = info.uncompressedSize;
    QuaZipFile out(&dest);
    if (!out.open(QIODevice::WriteOnly, newInfo, nullptr, info.crc, method, level, true))
        return false;
    const bool ok = copyBytes(in, out, qint64(info.compressedSize));
    out.close();
    in.close();
    return ok && out.getZipError() == ZIP_OK && in.getZipError() == UNZ_OK;
}

// Writes `bytes` as the new content of the entry described by `info`. A
// stored entry stays stored: an ODF package needs its "mimetype" so.
bool writeReplacedEntry(QuaZip& dest, const QuaZipFileInfo64& info, const QByteArray* bytes)
{
    if (!bytes)
        return false;
    QBuffer buffer;
    buffer.setData(*bytes);
    const bool stored = info.method == 0;
    QuaZipFile out(&dest);
    if (!buffer.open(QIODevice::ReadOnly) ||
        !out.open(QIODevice::WriteOnly, QuaZipNewInfo(info), nullptr, 0, stored ? 0 : Z_DEFLATED,
                  stored ? 0 : ZipUtil::documentCompressionLevel))
        return false;
    const bool ok = ZipUtil::copyData(buffer, out);
    out.close();
    return ok && out.getZipError() == ZIP_OK;
}

bool addFile(QuaZip& zip, const QString& entryName, const QString& localFilePath)
{
    QFile in(localFilePath);
    QuaZipFile out(&zip);
    if (!in.open(QIODevice::ReadOnly) ||
        !out.open(QIODevice::WriteOnly, QuaZipNewInfo(entryName, localFilePath), nullptr, 0, Z_DEFLATED,
                  ZipUtil::documentCompressionLevel))
        return false;
    const bool ok = ZipUtil::copyData(in, out);
    out.close();
    return ok && out.getZipError() == ZIP_OK;
}

// Whether walking the entries ended at the end of the list rather than at damage.
bool walkedToEnd(const QuaZip& zip)
{
    return zip.getZipError() == UNZ_OK || zip.getZipError() == UNZ_END_OF_LIST_OF_FILE;
}

} // namespace

void ZipUtil::initDefaults()
{
    QuaZip::setDefaultFileNameCodec("IBM866");
    QuaZip::setDefaultOsCode(0);
}

bool ZipUtil::copyData(QIODevice& in, QIODevice& out)
{
    char block[copyBlockSize];
    while (!in.atEnd()) {
        const qint64 read = in.read(block, copyBlockSize);
        if (read <= 0 || out.write(block, read) != read)
            return false;
    }
    return true;
}

bool ZipUtil::unzipArchive(const QString& zipFileName, const QString& destDir, QStringList& fileNames,
                           const UnzipParams& params, UnzipReport* report)
{
    if (!QDir().mkpath(destDir))
        return false;
    QuaZip zip(zipFileName);
    if (!zip.open(QuaZip::mdUnzip))
        return false;
    bool ok = true;
    for (bool more = zip.goToFirstFile(); ok && more; more = zip.goToNextFile())
        ok = unzipCurrentEntry(zip, destDir, fileNames, params, report);
    ok = ok && walkedToEnd(zip);
    zip.close();
    return ok;
}

bool ZipUtil::fitsInto(const QString& zipFileName, const QString& destDir, const UnzipParams& params)
{
    const QFileInfo folder(destDir);
    if (folder.isSymLink() || (folder.exists() && !folder.isDir()))
        return false;
    if (!folder.exists())
        return true;
    QuaZip zip(zipFileName);
    if (!zip.open(QuaZip::mdUnzip))
        return true; // unpacking will report the damage
    bool fits = true;
    for (bool more = zip.goToFirstFile(); fits && more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info))
            break;
        const QString relativePath = relativePathOf(entryNameOf(zip, info));
        fits = !isKeptEntry(relativePath, params) || targetOf(destDir, relativePath, info) != Target::Conflict;
    }
    zip.close();
    return fits;
}

bool ZipUtil::checkArchive(const QString& zipFileName, QString* damagedEntry)
{
    damagedEntry->clear();
    QuaZip zip(zipFileName);
    if (!zip.open(QuaZip::mdUnzip))
        return false;
    char block[copyBlockSize];
    bool ok = true;
    for (bool more = zip.goToFirstFile(); ok && more; more = zip.goToNextFile()) {
        QuaZipFile entry(&zip);
        ok = entry.open(QIODevice::ReadOnly);
        qint64 read = 0;
        while (ok && (read = entry.read(block, copyBlockSize)) > 0) {
        }
        ok = ok && read == 0;
        if (entry.isOpen())
            entry.close(); // checks the CRC
        ok = ok && entry.getZipError() == UNZ_OK;
        if (!ok)
            *damagedEntry = zip.getCurrentFileName();
    }
    ok = ok && walkedToEnd(zip);
    zip.close();
    return ok;
}

QStringList ZipUtil::getFileNameList(const QString& zipFileName)
{
    QuaZip zip(zipFileName);
    if (!zip.open(QuaZip::mdUnzip))
        return QStringList();
    return zip.getFileNameList();
}

QByteArray ZipUtil::loadFile(const QString& zipFileName, const QString& entryName, bool* ok)
{
    QuaZipFile file(zipFileName, entryName, QuaZip::csSensitive);
    QByteArray bytes;
    bool loaded = file.open(QIODevice::ReadOnly);
    if (loaded) {
        bytes = file.readAll();
        // A read error ends readAll early, and the CRC is checked only when
        // all the data was read.
        loaded = bytes.size() == file.usize();
        file.close();
        loaded = loaded && file.getZipError() == UNZ_OK;
    }
    if (!loaded)
        bytes.clear();
    if (ok)
        *ok = loaded;
    return bytes;
}

QString ZipUtil::loadTextFile(const QString& zipFileName, const QString& entryName, QTextCodec* codec)
{
    if (!codec)
        codec = QTextCodec::codecForName("UTF-8");
    return codec->toUnicode(loadFile(zipFileName, entryName));
}

bool ZipUtil::copyReplaceArchiveFiles(const QString& destZip, const QString& srcZip,
                                      const QHash<QString, QByteArray*>& replacements)
{
    QuaZip src(srcZip);
    if (!src.open(QuaZip::mdUnzip))
        return false;
    QuaZip dest(destZip);
    // The output is seekable, so the local headers get the real sizes and CRC
    // and no data descriptors are needed: the stored "mimetype" entry of an
    // ODF package then looks exactly as in the template.
    dest.setDataDescriptorWritingEnabled(false);
    if (!dest.open(QuaZip::mdCreate))
        return false;
    bool ok = true;
    for (bool more = src.goToFirstFile(); ok && more; more = src.goToNextFile()) {
        QuaZipFileInfo64 info;
        ok = src.getCurrentFileInfo(&info);
        if (!ok)
            break;
        const auto replacement = replacements.constFind(info.name);
        ok = replacement == replacements.constEnd() ? copyRawEntry(src, dest, info)
                                                    : writeReplacedEntry(dest, info, replacement.value());
    }
    ok = ok && walkedToEnd(src);
    dest.close();
    if (ok && dest.getZipError() == ZIP_OK)
        return true;
    // Closing wrote a directory of what was copied so far, which opens as a
    // package with parts missing: leave nothing that could pass for the
    // document. The file was created above, so it is no file of the user's;
    // a device or other special file written to is never removed.
    if (QFileInfo(destZip).isFile())
        QFile::remove(destZip);
    return false;
}

bool ZipUtil::addFiles(const QString& zipFileName, const QHash<QString, QString>& files)
{
    // QuaZip would create a missing archive; adding belongs to one that exists.
    if (!QFileInfo(zipFileName).isFile())
        return false;
    QuaZip zip(zipFileName);
    zip.setDataDescriptorWritingEnabled(false);
    bool ok = zip.open(QuaZip::mdAdd);
    for (auto it = files.constBegin(); ok && it != files.constEnd(); ++it)
        ok = addFile(zip, it.key(), it.value());
    if (zip.isOpen())
        zip.close();
    return ok && zip.getZipError() == ZIP_OK;
}
