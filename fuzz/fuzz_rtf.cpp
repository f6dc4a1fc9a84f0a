// The RTF walk: any template text, with the contract example's queries and
// data, gives a document or a clean failure.
#include "fuzzsupport.h"
#include "rtfproc.h"

#include <QTextCodec>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::init();
    const QString templatePath = FuzzSupport::writeInput(QStringLiteral("template.rtf"), data, size);
    if (templatePath.isEmpty())
        return 0;
    RtfProc proc(FuzzSupport::contractSource(), FuzzSupport::scratchDir() + QStringLiteral("/result.rtf"), templatePath,
                 QStringLiteral("Queries/contract"), QTextCodec::codecForName("Windows-1251"));
    proc.generateDocument();
    return 0;
}
