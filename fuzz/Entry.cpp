// The libFuzzer entry point of one target, chosen when building: TESSARY_FUZZ_TARGET names
// one of the functions of FuzzTargets.h.

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return TESSARY_FUZZ_TARGET(data, size);
}
