// The mixer's per-frame loops in their three forms (plain C++, SSE2, AVX2), and the choice among
// them through the processor probe and limit the whole program shares.
#include "mix_kernels.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "processor.h"

#if defined(__SSE2__) || defined(__x86_64__)
#define HASHCALC_MIX_SSE2 1
#include <emmintrin.h>
#endif
// deliberate:
// no AVX2 on Windows: GCC there cannot align the stack to 32 bytes for spilled vector
// registers, so the SSE2 set is the fastest it gets.
#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#define HASHCALC_MIX_AVX2 1
#include <immintrin.h>
#endif

namespace {

// The fraction's upper 31 bits as a factor below 1.
constexpr float kInverse2Pow31 = 1.0f / 2147483648.0f;
constexpr float kSampleMax = 32767.0f;
constexpr float kSampleMin = -32768.0f;

// ---- Portable loops: the reference every other set must match bit for bit. ----

inline float InterpolateAt(const std::int16_t* data, std::uint64_t position) {
    const std::int32_t index = static_cast<std::int32_t>(position >> 32);
    const float a = data[index < 0 ? 0 : index];
    const float b = data[index + 1];
    const float t = static_cast<float>(static_cast<std::uint32_t>(position) >> 1) * kInverse2Pow31;
    return a + t * (b - a);
}

std::uint64_t MixSteadyPortable(float* out, std::int32_t frames, const std::int16_t* data,
                                std::uint32_t, std::uint64_t position, std::uint64_t signedStep,
                                float leftGain, float rightGain) {
    for (std::int32_t i = 0; i < frames; ++i) {
        const float v = InterpolateAt(data, position);
        position += signedStep;
        out[0] += v * leftGain;
        out[1] += v * rightGain;
        out += 2;
    }
    return position;
}

// Mixes frames whose values are already interpolated while the gains glide.
inline void AddRampFrames(float* out, const float* values, std::int32_t frames, float* leftGain,
                          float* rightGain, float leftStep, float rightStep) {
    float left = *leftGain;
    float right = *rightGain;
    for (std::ptrdiff_t i = 0; i < frames; ++i) {
        out[2 * i] += values[i] * left;
        out[2 * i + 1] += values[i] * right;
        left += leftStep;
        right += rightStep;
    }
    *leftGain = left;
    *rightGain = right;
}

std::uint64_t MixRampPortable(float* out, std::int32_t frames, const std::int16_t* data,
                              std::uint32_t, std::uint64_t position, std::uint64_t signedStep,
                              float* leftGain, float* rightGain, float leftStep, float rightStep) {
    for (std::ptrdiff_t i = 0; i < frames; ++i) {
        const float v = InterpolateAt(data, position);
        position += signedStep;
        AddRampFrames(out + 2 * i, &v, 1, leftGain, rightGain, leftStep, rightStep);
    }
    return position;
}

inline std::int16_t ConvertSample(float value) {
    const float rounded = std::nearbyint(value);
    if (rounded > kSampleMax) return 32767;
    if (rounded >= kSampleMin) return static_cast<std::int16_t>(rounded);
    if (rounded < kSampleMin) return -32768;
    return 0;  // not a number
}

void ConvertPortable(std::int16_t* destination, const float* source, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) destination[i] = ConvertSample(source[i]);
}

constexpr MixKernels kPortableKernels{"portable", MixSteadyPortable, MixRampPortable,
                                      ConvertPortable};

#if HASHCALC_MIX_SSE2

// ---- SSE2: four frames per pass. Positions stay 64-bit, two to a register. ----

// The positions of the next four frames, two to a register; `first` is frame 0's position
// once more.
struct Positions4 {
    __m128i frames01;
    __m128i frames23;
    __m128i advance;
    std::uint64_t first;
    std::uint64_t step;
};

inline Positions4 StartPositions4(std::uint64_t position, std::uint64_t signedStep) {
    const auto step = static_cast<long long>(signedStep);
    const auto start = static_cast<long long>(position);
    return {_mm_set_epi64x(start + step, start), _mm_set_epi64x(start + 3 * step, start + 2 * step),
            _mm_set1_epi64x(4 * step), position, signedStep};
}

inline void Advance4(Positions4& positions) {
    positions.frames01 = _mm_add_epi64(positions.frames01, positions.advance);
    positions.frames23 = _mm_add_epi64(positions.frames23, positions.advance);
    positions.first += 4 * positions.step;
}

inline __m128 Interpolate4(const std::int16_t* data, const Positions4& positions) {
    const __m128 low = _mm_castsi128_ps(positions.frames01);
    const __m128 high = _mm_castsi128_ps(positions.frames23);
    const __m128i index = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m128i fraction = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i below = _mm_srai_epi32(index, 31);  // index -1 reads sample 0 twice
    alignas(16) std::int32_t clamped[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(clamped), _mm_andnot_si128(below, index));
    // One 32-bit load per frame fetches both neighbours: data[index] low, data[index + 1] high.
    alignas(16) std::int32_t pairs[4];
    for (int k = 0; k < 4; ++k) std::memcpy(&pairs[k], data + clamped[k], sizeof pairs[k]);
    const __m128i both = _mm_load_si128(reinterpret_cast<const __m128i*>(pairs));
    const __m128i first = _mm_srai_epi32(_mm_slli_epi32(both, 16), 16);
    __m128i second = _mm_srai_epi32(both, 16);
    second = _mm_or_si128(_mm_and_si128(below, first), _mm_andnot_si128(below, second));
    const __m128 a = _mm_cvtepi32_ps(first);
    const __m128 b = _mm_cvtepi32_ps(second);
    const __m128 t =
        _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(fraction, 1)), _mm_set1_ps(kInverse2Pow31));
    return _mm_add_ps(a, _mm_mul_ps(t, _mm_sub_ps(b, a)));
}

std::uint64_t MixSteadySse2(float* out, std::int32_t frames, const std::int16_t* data,
                            std::uint32_t lastIndex, std::uint64_t position,
                            std::uint64_t signedStep, float leftGain, float rightGain) {
    if (frames >= 4) {
        Positions4 positions = StartPositions4(position, signedStep);
        const __m128 gains = _mm_setr_ps(leftGain, rightGain, leftGain, rightGain);
        for (; frames >= 4; frames -= 4) {
            const __m128 v = Interpolate4(data, positions);
            _mm_storeu_ps(out,
                          _mm_add_ps(_mm_loadu_ps(out), _mm_mul_ps(_mm_unpacklo_ps(v, v), gains)));
            _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4),
                                              _mm_mul_ps(_mm_unpackhi_ps(v, v), gains)));
            out += 8;
            Advance4(positions);
        }
        position = positions.first;
    }
    return MixSteadyPortable(out, frames, data, lastIndex, position, signedStep, leftGain,
                             rightGain);
}

std::uint64_t MixRampSse2(float* out, std::int32_t frames, const std::int16_t* data,
                          std::uint32_t lastIndex, std::uint64_t position, std::uint64_t signedStep,
                          float* leftGain, float* rightGain, float leftStep, float rightStep) {
    if (frames >= 4) {
        Positions4 positions = StartPositions4(position, signedStep);
        alignas(16) float values[4];
        for (; frames >= 4; frames -= 4) {
            _mm_store_ps(values, Interpolate4(data, positions));
            AddRampFrames(out, values, 4, leftGain, rightGain, leftStep, rightStep);
            out += 8;
            Advance4(positions);
        }
        position = positions.first;
    }
    return MixRampPortable(out, frames, data, lastIndex, position, signedStep, leftGain, rightGain,
                           leftStep, rightStep);
}

// Clipping before rounding gives the same samples as rounding first: no float between 32767
// and 32767.5 rounds above 32767, and likewise at the bottom.
inline __m128i ConvertFour(const float* source) {
    __m128 x = _mm_loadu_ps(source);
    x = _mm_and_ps(x, _mm_cmpord_ps(x, x));  // not a number: 0
    x = _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(kSampleMin)), _mm_set1_ps(kSampleMax));
    return _mm_cvtps_epi32(x);  // the processor's rounding: nearest, ties to even
}

void ConvertSse2(std::int16_t* destination, const float* source, std::int32_t count) {
    std::int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i packed =
            _mm_packs_epi32(ConvertFour(source + i), ConvertFour(source + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), packed);
    }
    ConvertPortable(destination + i, source + i, count - i);
}

constexpr MixKernels kSse2Kernels{"sse2", MixSteadySse2, MixRampSse2, ConvertSse2};

#endif  // HASHCALC_MIX_SSE2

#if HASHCALC_MIX_AVX2

// ---- AVX2: eight frames per pass. ----
// No FMA: a fused multiply-add would round differently from the portable loops.

#define HASHCALC_AVX2 __attribute__((target("avx2")))

// The positions of the next eight frames: frames0145 holds frames 0, 1, 4, 5 and frames2367
// frames 2, 3, 6, 7, so that one in-lane shuffle brings the eight whole parts (and fractions)
// into frame order. `first` is frame 0's position once more, for scalar checks.
struct Positions8 {
    __m256i frames0145;
    __m256i frames2367;
    __m256i advance;
    std::uint64_t first;
    std::uint64_t step;
    bool belowOneSample;  // the eight frames then lie within nine neighbouring samples
};

HASHCALC_AVX2 inline Positions8 StartPositions8(std::uint64_t position, std::uint64_t signedStep) {
    const auto step = static_cast<long long>(signedStep);
    const auto start = static_cast<long long>(position);
    const std::uint64_t oneSample = std::uint64_t{1} << 32;
    return {
        _mm256_setr_epi64x(start, start + step, start + 4 * step, start + 5 * step),
        _mm256_setr_epi64x(start + 2 * step, start + 3 * step, start + 6 * step, start + 7 * step),
        _mm256_set1_epi64x(8 * step),
        position,
        signedStep,
        signedStep < oneSample || std::uint64_t{0} - signedStep < oneSample};
}

HASHCALC_AVX2 inline void Advance8(Positions8& positions) {
    positions.frames0145 = _mm256_add_epi64(positions.frames0145, positions.advance);
    positions.frames2367 = _mm256_add_epi64(positions.frames2367, positions.advance);
    positions.first += 8 * positions.step;
}

HASHCALC_AVX2 inline __m256 Blend8(__m256i first, __m256i second, __m256i fraction) {
    const __m256 a = _mm256_cvtepi32_ps(first);
    const __m256 b = _mm256_cvtepi32_ps(second);
    const __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fraction, 1)),
                                   _mm256_set1_ps(kInverse2Pow31));
    return _mm256_add_ps(a, _mm256_mul_ps(t, _mm256_sub_ps(b, a)));
}

HASHCALC_AVX2 inline __m256 Interpolate8(const std::int16_t* data, std::uint32_t lastIndex,
                                         const Positions8& positions) {
    const __m256 low = _mm256_castsi256_ps(positions.frames0145);
    const __m256 high = _mm256_castsi256_ps(positions.frames2367);
    const __m256i index =
        _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256i fraction =
        _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    if (positions.belowOneSample) {
        // Slower than one sample per frame, the frames read at most nine neighbouring samples:
        // two plain loads and a permutation in place of a gather.
        const std::int64_t index0 = static_cast<std::int32_t>(positions.first >> 32);
        const std::int64_t index7 =
            static_cast<std::int32_t>((positions.first + 7 * positions.step) >> 32);
        const std::int64_t lowest = index0 < index7 ? index0 : index7;
        if (lowest >= 0 && lowest + 8 <= std::int64_t{lastIndex}) {
            const auto* window = reinterpret_cast<const __m128i*>(data + lowest);
            const auto* shifted = reinterpret_cast<const __m128i*>(data + lowest + 1);
            const __m256i offset =
                _mm256_sub_epi32(index, _mm256_set1_epi32(static_cast<int>(lowest)));
            return Blend8(
                _mm256_permutevar8x32_epi32(_mm256_cvtepi16_epi32(_mm_loadu_si128(window)), offset),
                _mm256_permutevar8x32_epi32(_mm256_cvtepi16_epi32(_mm_loadu_si128(shifted)),
                                            offset),
                fraction);
        }
    }
    // Both neighbours of each frame in one 32-bit gather; index -1 reads sample 0 twice.
    const __m256i below = _mm256_srai_epi32(index, 31);
    const __m256i clamped = _mm256_max_epi32(index, _mm256_setzero_si256());
    const __m256i both = _mm256_i32gather_epi32(reinterpret_cast<const int*>(data), clamped, 2);
    const __m256i first = _mm256_srai_epi32(_mm256_slli_epi32(both, 16), 16);
    return Blend8(first, _mm256_blendv_epi8(_mm256_srai_epi32(both, 16), first, below), fraction);
}

HASHCALC_AVX2 std::uint64_t MixSteadyAvx2(float* out, std::int32_t frames, const std::int16_t* data,
                                          std::uint32_t lastIndex, std::uint64_t position,
                                          std::uint64_t signedStep, float leftGain,
                                          float rightGain) {
    if (frames >= 8) {
        Positions8 positions = StartPositions8(position, signedStep);
        const __m256 gains = _mm256_setr_ps(leftGain, rightGain, leftGain, rightGain, leftGain,
                                            rightGain, leftGain, rightGain);
        for (; frames >= 8; frames -= 8) {
            const __m256 v = Interpolate8(data, lastIndex, positions);
            const __m256 pairs0145 = _mm256_unpacklo_ps(v, v);  // v0 v0 v1 v1 | v4 v4 v5 v5
            const __m256 pairs2367 = _mm256_unpackhi_ps(v, v);  // v2 v2 v3 v3 | v6 v6 v7 v7
            const __m256 frames0123 = _mm256_permute2f128_ps(pairs0145, pairs2367, 0x20);
            const __m256 frames4567 = _mm256_permute2f128_ps(pairs0145, pairs2367, 0x31);
            _mm256_storeu_ps(out,
                             _mm256_add_ps(_mm256_loadu_ps(out), _mm256_mul_ps(frames0123, gains)));
            _mm256_storeu_ps(
                out + 8, _mm256_add_ps(_mm256_loadu_ps(out + 8), _mm256_mul_ps(frames4567, gains)));
            out += 16;
            Advance8(positions);
        }
        position = positions.first;
    }
    return MixSteadyPortable(out, frames, data, lastIndex, position, signedStep, leftGain,
                             rightGain);
}

HASHCALC_AVX2 std::uint64_t MixRampAvx2(float* out, std::int32_t frames, const std::int16_t* data,
                                        std::uint32_t lastIndex, std::uint64_t position,
                                        std::uint64_t signedStep, float* leftGain, float* rightGain,
                                        float leftStep, float rightStep) {
    if (frames >= 8) {
        Positions8 positions = StartPositions8(position, signedStep);
        alignas(32) float values[8];
        for (; frames >= 8; frames -= 8) {
            _mm256_store_ps(values, Interpolate8(data, lastIndex, positions));
            AddRampFrames(out, values, 8, leftGain, rightGain, leftStep, rightStep);
            out += 16;
            Advance8(positions);
        }
        position = positions.first;
    }
    return MixRampPortable(out, frames, data, lastIndex, position, signedStep, leftGain, rightGain,
                           leftStep, rightStep);
}

constexpr MixKernels kAvx2Kernels{"avx2", MixSteadyAvx2, MixRampAvx2, ConvertSse2};

#endif  // HASHCALC_MIX_AVX2

// The set's loops if this build has them, whatever the processor offers.
const MixKernels* BuiltKernels(MixKernelSet set) {
    switch (set) {
        case MixKernelSet::kPortable: return &kPortableKernels;
        case MixKernelSet::kSse2:
#if HASHCALC_MIX_SSE2
            return &kSse2Kernels;
#else
            return nullptr;
#endif
        case MixKernelSet::kAvx2:
#if HASHCALC_MIX_AVX2
            return &kAvx2Kernels;
#else
            return nullptr;
#endif
    }
    return nullptr;
}

}  // namespace

unsigned MixKernelSetFeatures(MixKernelSet set) {
    switch (set) {
        case MixKernelSet::kPortable: return 0;
        case MixKernelSet::kSse2: return kFeatureSSE2;
        case MixKernelSet::kAvx2:
            return kFeatureSSE2 | kFeatureAVX2;  // its conversion is the SSE2 one
    }
    return kAllProcessorFeatures;
}

const MixKernels* MixKernelsOf(MixKernelSet set) {
    const unsigned needed = MixKernelSetFeatures(set);
    if ((DetectedProcessorFeatures() & needed) != needed) return nullptr;
    return BuiltKernels(set);
}

bool MixKernelSetAvailable(MixKernelSet set) {
    return MixKernelsOf(set) != nullptr;
}

// Asked at every use rather than remembered: the processor limit may change between renders
// (tests, benchmarks), and asking costs one atomic load.
const MixKernels& ActiveMixKernels() {
    for (MixKernelSet set : {MixKernelSet::kAvx2, MixKernelSet::kSse2}) {
        const MixKernels* kernels = BuiltKernels(set);
        if (kernels != nullptr && ProcessorFeaturesUsable(MixKernelSetFeatures(set)))
            return *kernels;
    }
    return kPortableKernels;
}

bool UseMixKernelSet(MixKernelSet set) {
    if (!MixKernelSetAvailable(set)) return false;
    LimitProcessorFeatures(MixKernelSetFeatures(set));
    return true;
}
