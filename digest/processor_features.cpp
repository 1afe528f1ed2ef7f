// Which processor-specific digest paths this processor can run, asked once.
#include "block_functions.h"
#include "crc_functions.h"

namespace digest_internal {

#if HASHCALC_DIGEST_X86

bool ProcessorHasShaInstructions() {
    static const bool present = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1") &&
               __builtin_cpu_supports("ssse3");
    }();
    return present;
}

bool ProcessorHasCarrylessMultiply() {
    static const bool present = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1") &&
               __builtin_cpu_supports("ssse3");
    }();
    return present;
}

#else

bool ProcessorHasShaInstructions() {
    return false;
}

bool ProcessorHasCarrylessMultiply() {
    return false;
}

#endif

}  // namespace digest_internal
