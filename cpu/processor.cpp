// The processor probe: cpuid through the compiler's built-ins, asked once, and the process-wide
// limit on what may be used.
#include "processor.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__clang__) && (defined(__i386__) || defined(__x86_64__))
#include <cpuid.h>
#endif

namespace {

unsigned Probe() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_cpu_init();
    unsigned features = 0;
    if (__builtin_cpu_supports("sse2")) features |= kFeatureSSE2;
    if (__builtin_cpu_supports("ssse3")) features |= kFeatureSSSE3;
    if (__builtin_cpu_supports("sse4.1")) features |= kFeatureSSE41;
    if (__builtin_cpu_supports("sse4.2")) features |= kFeatureSSE42;
    if (__builtin_cpu_supports("avx2")) features |= kFeatureAVX2;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq")) {
        features |= kFeatureAVX512;
    }
#if defined(__clang__)
    // Debian 12's clang does not know "sha" as a feature name: cpuid leaf 7, EBX bit 29.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & (1u << 29)) != 0) {
        features |= kFeatureSHA;
    }
#else
    if (__builtin_cpu_supports("sha")) features |= kFeatureSHA;
#endif
    if (__builtin_cpu_supports("pclmul")) features |= kFeatureCLMUL;
    return features;
#else
    return 0;
#endif
}

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
