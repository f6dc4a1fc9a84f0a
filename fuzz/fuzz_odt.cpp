// The ODT part walk: any content part, prepared as a template is, walked
// with the contract example's queries and data, and written out again.
#include "fuzzsupport.h"
#include "odtproc.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzSupport::walkMainPart<OdtProc>(data, size);
}
