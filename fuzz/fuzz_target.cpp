// One libFuzzer program per entry; ZEVA_FUZZ_ENTRY names the entry this build drives.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ZEVA_FUZZ_ENTRY(data, size);
    return 0;
}
