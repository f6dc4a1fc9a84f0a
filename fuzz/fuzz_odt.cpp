// The ODT part walk: any content part, prepared as a template is, walked
// with the contract example's queries and data, and written out again.
#include "domutil.h"
#include "fuzzsupport.h"
#include "odtproc.h"

#include <QTextCodec>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::init();
    QDomDocument doc;
    if (!FuzzSupport::parsePart(doc, data, size))
        return 0;
    OdtProc proc(FuzzSupport::contractSource(),
                 FuzzSupport::scratchDir() + QStringLiteral("/result.odt"), QString(),
                 QStringLiteral("Queries/contract"), nullptr);
    const QDomDocument result = proc.renderTemplatePart(doc, true);
    QByteArray bytes;
    DomUtil::rawDataFromDoc(bytes, result, QTextCodec::codecForName("UTF-8"), -1);
    return 0;
}
