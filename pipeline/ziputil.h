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

    // Unpacks `zipFileName` into `destDir` and appends the full path of every
    // file kept to `fileNames`; inner archives as `params` say. Stops at the
    // first failure and returns false; what was written so far stays.
    static bool unzipArchive(const QString& zipFileName, const QString& destDir, QStringList& fileNames,
                             const UnzipParams& params);

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
