#pragma once

#include "unzipparams.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

class QIODevice;
class QTextCodec;

// ZIP functions for source archives and for DOCX/ODT packages. Each call
// opens its own archive objects, so calls may run in several threads at once.
// Failures are reported through the results only, except for entries refused
// for their path, which are also named in the message log.
class ZipUtil
{
public:
    // Entry names are IBM866 and new entries are marked as made on MS-DOS.
    // Call once at start-up, before any thread uses the other functions.
    static void initDefaults();

    // Deflate level of the entries a document package gets. Measured on an
    // invoice's 150 KB document part: level 3 deflates it in 0.53 ms against
    // 1.36 ms at the default level 6, for a package of 11.8 KB against
    // 10.3 KB; levels 1 and 2 are no faster and larger.
    static constexpr int documentCompressionLevel = 3;

    // What an unpacking did besides the files it kept.
    struct UnzipReport
    {
        // Files this call created (a file already there with the same
        // content is kept but not written, and is not listed).
        QStringList written;
        // Entries refused for their size, each with its message.
        QStringList problems;
    };

    // Unpacks `zipFileName` into `destDir` and appends the full path of every
    // file kept to `fileNames`; inner archives as `params` say, each into the
    // first folder beside it that it fits into. Nothing there is replaced or
    // written through: a file with the entry's content is kept as it is, and
    // anything else in the way stops the unpacking. Each file is written
    // under a temporary name and takes its own only when complete. Entries
    // too large (see UnzipParams) are refused and listed in `report`. Stops
    // at the first failure and returns false; what was written so far stays.
    static bool unzipArchive(const QString& zipFileName, const QString& destDir, QStringList& fileNames,
                             const UnzipParams& params, UnzipReport* report = nullptr);
    // Whether every entry that unpacking would keep can go into `destDir`:
    // nothing is there yet, or the same file is. A folder that is a symbolic
    // link, or holds one on an entry's way, does not fit.
    static bool fitsInto(const QString& zipFileName, const QString& destDir, const UnzipParams& params);

    // Reads every entry through and checks its CRC. False when the archive
    // cannot be read or an entry is damaged; that entry's name goes to
    // `damagedEntry` (empty when the archive as a whole is unreadable).
    static bool checkArchive(const QString& zipFileName, QString* damagedEntry);

    // Names of all entries in archive order; empty when the archive cannot be read.
    static QStringList getFileNameList(const QString& zipFileName);

    // The bytes of one entry (name compared case-sensitively); empty, with
    // *ok false, when the archive or the entry cannot be read.
    static QByteArray loadFile(const QString& zipFileName, const QString& entryName, bool* ok = nullptr);
    // The entry decoded with `codec` (UTF-8 when null); empty on failure.
    static QString loadTextFile(const QString& zipFileName, const QString& entryName, QTextCodec* codec);

    // Writes `destZip` as a copy of `srcZip` in which the entries named in
    // `replacements` get the given bytes. Order, names, dates, attributes and
    // compression methods of the entries are kept; unchanged entries are
    // copied as they are stored. Names absent from `srcZip` are not added.
    // On failure nothing is left at `destZip`, unless it could not even be
    // opened for writing, in which case it is not touched.
    static bool copyReplaceArchiveFiles(const QString& destZip, const QString& srcZip,
                                        const QHash<QString, QByteArray*>& replacements);

    // Adds to an existing archive one deflated entry per pair (entry name to
    // local file path), dated like the local file.
    static bool addFiles(const QString& zipFileName, const QHash<QString, QString>& files);

    // Copies `in` to `out` in blocks of 4096 bytes.
    static bool copyData(QIODevice& in, QIODevice& out);
};
