// The RTF walk: any template text, with the contract example's queries and
// data, gives a document or a clean failure.
#include "fuzzsupport.h"
#include "rtfproc.h"

#include <QFile>
#include <QTextCodec>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::init();
    const QString templatePath = FuzzSupport::scratchDir() + QStringLiteral("/template.rtf");
    const QString resultPath = FuzzSupport::scratchDir() + QStringLiteral("/result.rtf");
    QFile file(templatePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    RtfProc proc(FuzzSupport::examplesDir() + QStringLiteral("/data/contract_21-2024.xml"), resultPath, templatePath,
                 QStringLiteral("Queries/contract"), QTextCodec::codecForName("Windows-1251"));
    proc.generateDocument();
    return 0;
}
