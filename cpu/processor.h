// One probe of the processor's instruction sets, shared by the digests and the mixer, and one
// switch that narrows what they may use. Every processor-specific path asks here before it is
// chosen, so turning features off here (tests, --no-hardware, HASHCALC_NO_HARDWARE=1) sends the
// whole program down its portable code.
#pragma once

// Instruction sets a processor-specific path may need. A path names all it uses.
enum ProcessorFeature : unsigned {
    kFeatureSSE2 = 1u << 0,
    kFeatureSSSE3 = 1u << 1,
    kFeatureSSE41 = 1u << 2,
    kFeatureSSE42 = 1u << 3,
    kFeatureAVX2 = 1u << 4,
    kFeatureAVX512 = 1u << 5,  // F, VL, BW and DQ together
    kFeatureSHA = 1u << 6,
    kFeatureCLMUL = 1u << 7,
    kFeatureBMI1 = 1u << 8,  // andn
    kFeatureBMI2 = 1u << 9,  // rorx
};

constexpr unsigned kAllProcessorFeatures = 0x3FFu;

// What the processor offers, asked once; 0 on processors other than x86.
unsigned DetectedProcessorFeatures();

// What may be used now: the detected features within the limit. The limit starts as all of
// them, or none when the environment holds HASHCALC_NO_HARDWARE=1.
unsigned UsableProcessorFeatures();

// Whether every feature in `features` may be used now.
bool ProcessorFeaturesUsable(unsigned features);

// Narrows (or widens again) what may be used. Takes effect for paths chosen afterwards; safe to
// call from any thread.
void LimitProcessorFeatures(unsigned allowed);
