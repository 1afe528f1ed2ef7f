// The mixer's per-frame loops: linear interpolation of 16-bit sample data at a 32.32 fixed-point
// step, gains, accumulation into interleaved float pairs, and the float-to-16-bit conversion
// of a finished block. Each loop exists as plain C++ and, on x86, with vector instructions; the
// fastest set that cpu/processor.h allows is used (none but the plain loops under
// HASHCALC_NO_HARDWARE=1), and every set gives bit-identical results.
#pragma once

#include <cstdint>

// Adds `frames` frames at steady gains to the float pairs at out; the position moves by
// `signedStep` (the step, or its two's complement for a voice moving backward) after each
// frame. Returns the position after the last frame. The caller guarantees that every index
// read lies within data[0] to data[lastIndex] (the sample and its guard sample at the loop
// end), and a loop may read any of them; an index of -1 (one unit below a loop start of 0)
// reads sample 0.
using MixSteadyKernel = std::uint64_t (*)(float* out, std::int32_t frames, const std::int16_t* data,
                                          std::uint32_t lastIndex, std::uint64_t position,
                                          std::uint64_t signedStep, float leftGain,
                                          float rightGain);

// Gains that glide: each frame is mixed at the current gains, then each gain grows by its
// step. *leftGain and *rightGain hold the gains reached afterwards.
using MixRampKernel = std::uint64_t (*)(float* out, std::int32_t frames, const std::int16_t* data,
                                        std::uint32_t lastIndex, std::uint64_t position,
                                        std::uint64_t signedStep, float* leftGain, float* rightGain,
                                        float leftStep, float rightStep);

// count floats to 16-bit samples: nearest integer with ties to even, clipped to the 16-bit
// range; a value that is not a number becomes 0.
using ConvertKernel = void (*)(std::int16_t* destination, const float* source, std::int32_t count);

struct MixKernels {
    const char* name;
    MixSteadyKernel mixSteady;
    MixRampKernel mixRamp;
    ConvertKernel convert;
};

enum class MixKernelSet { kPortable, kSse2, kAvx2 };

// The set in use: the fastest whose processor features may be used now.
const MixKernels& ActiveMixKernels();
// The processor features (cpu/processor.h) the set needs; 0 for the plain loops.
unsigned MixKernelSetFeatures(MixKernelSet set);
// The set's loops; null when this build or this processor lacks them. The limit on usable
// features does not matter here: tests call a set directly to compare it with the others.
const MixKernels* MixKernelsOf(MixKernelSet set);
bool MixKernelSetAvailable(MixKernelSet set);
// For tests and benchmarks: narrows the process-wide limit on processor features to what `set`
// needs, so that ActiveMixKernels picks it (and the digests keep to the same features); false,
// with no change, when the set is unavailable. The caller puts the limit back afterwards
// (LimitProcessorFeatures with what UsableProcessorFeatures gave before).
bool UseMixKernelSet(MixKernelSet set);
