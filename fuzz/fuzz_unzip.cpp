// Unpacking a source archive: any bytes unpack, partly or not at all, into
// the folder given and nowhere else, within the size limits; and the
// package check reads them without harm.
#include "fuzzsupport.h"
#include "ziputil.h"

#include <QDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::init();
    const QString zipPath = FuzzSupport::writeInput(QStringLiteral("in.zip"), data, size);
    if (zipPath.isEmpty())
        return 0;
    const QString outDir = FuzzSupport::scratchDir() + QStringLiteral("/out");
    UnzipParams params;
    params.maxEntrySize = 4 << 20;
    QStringList fileNames;
    ZipUtil::UnzipReport report;
    ZipUtil::unzipArchive(zipPath, outDir, fileNames, params, &report);
    QString damaged;
    ZipUtil::checkArchive(zipPath, &damaged);
    QDir(outDir).removeRecursively();
    return 0;
}
