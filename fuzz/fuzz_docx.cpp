// The DOCX part walk: any main part, normalised as a template is, walked
// with the contract example's queries and data, and written out again.
#include "docproc.h"
#include "fuzzsupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzSupport::walkMainPart<DocProc>(data, size);
}
