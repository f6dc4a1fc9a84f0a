#include "ziputil.h"

#include "globals.h"
#include "status.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>
#include <quazip/quazipnewinfo.h>

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

// An entry may only be written below the unpack folder: a name that is
// absolute or climbs out with ".." would let an archive overwrite any file
// the user can write.
bool staysInside(const QString& relativePath)
{
    if (relativePath.isEmpty() || relativePath.startsWith(QLatin1Char('/')))
        return false;
    const QVector<QStringRef> parts = relativePath.splitRef(QLatin1Char('/'));
    for (const QStringRef& part : parts) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

bool isZipName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

// Writes the current entry of `zip` to `filePath`, dated like the entry.
bool extractCurrentEntry(QuaZip& zip, const QString& filePath)
{
    QuaZipFileInfo64 info;
    if (!zip.getCurrentFileInfo(&info))
        return false;
    QuaZipFile in(&zip);
    QFile out(filePath);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    bool ok = ZipUtil::copyData(in, out) && out.flush();
    in.close(); // checks the CRC of what was read
    ok = ok && in.getZipError() == UNZ_OK;
    if (ok) {
        // Flushed first: a later write would set the modification time again.
        // Linux file systems do not accept a birth time; that is not an error.
        out.setFileTime(info.dateTime, QFileDevice::FileBirthTime);
        out.setFileTime(info.dateTime, QFileDevice::FileModificationTime);
    }
    out.close();
    return ok;
}

// Appends a written file to `fileNames`, or handles it as an inner archive.
bool keepFile(const QString& filePath, QStringList& fileNames, const UnzipParams& params)
{
    if (!isZipName(filePath)) {
        fileNames.append(filePath);
        return true;
    }
    if (!params.removeInternalZips)
        fileNames.append(filePath);
    if (params.recursive &&
        !ZipUtil::unzipArchive(filePath, filePath.left(filePath.size() - 4), fileNames, params))
        return false;
    if (params.removeInternalZips)
        QFile::remove(filePath);
    return true;
}

bool unzipCurrentEntry(QuaZip& zip, const QString& destDir, QStringList& fileNames, const UnzipParams& params)
{
    const QString entryName = zip.getCurrentFileName();
    // Archives made on Windows may separate folders with backslashes.
    QString relativePath = entryName;
    relativePath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString fileName = relativePath.section(QLatin1Char('/'), -1);
    if (!passesMasks(fileName, params) || relativePath.endsWith(QLatin1Char('/')))
        return true;
    if (!staysInside(relativePath)) {
        showStatus(QStringLiteral("Пропущен элемент архива с недопустимым путём: %1 (архив %2)")
                       .arg(entryName, shownFileName(zip.getZipName())));
        return true;
    }
    const QString filePath = QDir::cleanPath(concatPath(destDir, relativePath));
    if (!QDir().mkpath(QFileInfo(filePath).path()) || !extractCurrentEntry(zip, filePath))
        return false;
    return keepFile(filePath, fileNames, params);
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
                  stored ? 0 : Z_DEFAULT_COMPRESSION))
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
                  Z_DEFAULT_COMPRESSION))
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
                           const UnzipParams& params)
{
    if (!QDir().mkpath(destDir))
        return false;
    QuaZip zip(zipFileName);
    if (!zip.open(QuaZip::mdUnzip))
        return false;
    bool ok = true;
    for (bool more = zip.goToFirstFile(); ok && more; more = zip.goToNextFile())
        ok = unzipCurrentEntry(zip, destDir, fileNames, params);
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
