// The processor probe: cpuid and the operating system's saved-state mask, read once, and the
// process-wide limit on what may be used. cpuid is read directly rather than through the
// compilers' feature built-ins because clang does not know every feature name GCC does.
#include "processor.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

#if defined(__i386__) || defined(__x86_64__)

// The register state the operating system saves on a switch (XCR0): a vector unit whose
// registers it does not save cannot be used even when cpuid lists it.
unsigned long long SavedStateMask() {
    unsigned low = 0;
    unsigned high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}

unsigned Probe() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return 0;
    unsigned features = 0;
    if (d & bit_SSE2) features |= kFeatureSSE2;
    if (c & bit_SSSE3) features |= kFeatureSSSE3;
    if (c & bit_SSE4_1) features |= kFeatureSSE41;
    if (c & bit_SSE4_2) features |= kFeatureSSE42;
    if (c & bit_PCLMUL) features |= kFeatureCLMUL;
    const bool osSavesVectors = (c & bit_OSXSAVE) != 0;
    const unsigned long long saved = osSavesVectors ? SavedStateMask() : 0;
    const bool ymmSaved = (saved & 0x6) == 0x6;    // SSE and AVX halves
    const bool zmmSaved = (saved & 0xE6) == 0xE6;  // and the AVX-512 mask and upper registers
    unsigned b7 = 0, c7 = 0, d7 = 0, a7 = 0;
    if (__get_cpuid_count(7, 0, &a7, &b7, &c7, &d7) != 0) {
        if (b7 & bit_SHA) features |= kFeatureSHA;
        // General-purpose registers only: no saved state to ask about.
        if (b7 & bit_BMI) features |= kFeatureBMI1;
        if (b7 & bit_BMI2) features |= kFeatureBMI2;
        if (ymmSaved && (b7 & bit_AVX2)) features |= kFeatureAVX2;
        const unsigned avx512 = bit_AVX512F | bit_AVX512VL | bit_AVX512BW | bit_AVX512DQ;
        if (zmmSaved && (b7 & avx512) == avx512) features |= kFeatureAVX512;
    }
    return features;
}

#else

unsigned Probe() {
    return 0;
}

#endif

unsigned InitialLimit() {
    const char* value = std::getenv("HASHCALC_NO_HARDWARE");
    const bool off = value != nullptr && std::strcmp(value, "1") == 0;
    return off ? 0u : kAllProcessorFeatures;
}

std::atomic<unsigned> featureLimit{InitialLimit()};

}  // namespace

unsigned DetectedProcessorFeatures() {
    static const unsigned detected = Probe();
    return detected;
}

unsigned UsableProcessorFeatures() {
    return DetectedProcessorFeatures() & featureLimit.load(std::memory_order_relaxed);
}

bool ProcessorFeaturesUsable(unsigned features) {
    return (UsableProcessorFeatures() & features) == features;
}

void LimitProcessorFeatures(unsigned allowed) {
    featureLimit.store(allowed, std::memory_order_relaxed);
}
