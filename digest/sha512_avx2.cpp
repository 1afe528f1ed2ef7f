// SHA-512's compression with the message schedule in AVX2 vectors, compiled for AVX2 and BMI2
// function by function. The schedule of two blocks is expanded at once, one block in each
// 128-bit half, two words per half: the two words of a pair never depend on each other, since
// W[t] reaches back at least two words. The steps are the portable ones (sha512_rounds.h) on
// the precomputed W[t] + K[t]; compiled here they rotate with BMI2's rorx, which leaves its
// source intact. The caller checks the processor's features first; every processor with AVX2
// also has BMI2.
#include <utility>

#include "sha512_rounds.h"

#if HASHCALC_DIGEST_X86

#include <immintrin.h>

#define HASHCALC_SHA512_AVX2_TARGET __attribute__((target("avx2,bmi,bmi2")))

namespace {

using namespace digest_internal;

constexpr int kSteps = kSHA512StepCount;

HASHCALC_SHA512_AVX2_TARGET inline __m256i RotateRight(__m256i x, int bits) {
    return _mm256_or_si256(_mm256_srli_epi64(x, bits), _mm256_slli_epi64(x, 64 - bits));
}

HASHCALC_SHA512_AVX2_TARGET inline __m256i SmallSigma0(__m256i x) {
    return _mm256_xor_si256(_mm256_xor_si256(RotateRight(x, 1), RotateRight(x, 8)),
                            _mm256_srli_epi64(x, 7));
}

HASHCALC_SHA512_AVX2_TARGET inline __m256i SmallSigma1(__m256i x) {
    return _mm256_xor_si256(_mm256_xor_si256(RotateRight(x, 19), RotateRight(x, 61)),
                            _mm256_srli_epi64(x, 6));
}

// W[t] + K[t] of two blocks: `first` into firstWk, `second` into secondWk. Pair k holds
// W[2k] and W[2k + 1] of each block.
HASHCALC_SHA512_AVX2_TARGET void ScheduleTwoBlocks(const unsigned char* first,
                                                   const unsigned char* second,
                                                   std::uint64_t* firstWk,
                                                   std::uint64_t* secondWk) {
    const __m256i swapEachWord = _mm256_set_epi64x(0x08090A0B0C0D0E0F, 0x0001020304050607,
                                                   0x08090A0B0C0D0E0F, 0x0001020304050607);
    __m256i pairs[kSteps / 2];
    for (int k = 0; k < 8; ++k) {
        const __m256i loaded = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(second + 16 * k),
                                                   reinterpret_cast<const __m128i*>(first + 16 * k));
        pairs[k] = _mm256_shuffle_epi8(loaded, swapEachWord);
    }
#if defined(__GNUC__)
#pragma GCC unroll 32
#endif
    for (int k = 8; k < kSteps / 2; ++k) {
        // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16] for t = 2k and 2k + 1.
        const __m256i back15 = _mm256_alignr_epi8(pairs[k - 7], pairs[k - 8], 8);
        const __m256i back7 = _mm256_alignr_epi8(pairs[k - 3], pairs[k - 4], 8);
        pairs[k] = _mm256_add_epi64(
            _mm256_add_epi64(pairs[k - 8], SmallSigma0(back15)),
            _mm256_add_epi64(back7, SmallSigma1(pairs[k - 1])));
    }
#if defined(__GNUC__)
#pragma GCC unroll 40
#endif
    for (int k = 0; k < kSteps / 2; ++k) {
        const __m256i constants = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(kSHA512RoundConstants + 2 * k)));
        const __m256i wk = _mm256_add_epi64(pairs[k], constants);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(firstWk + 2 * k),
                         _mm256_castsi256_si128(wk));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(secondWk + 2 * k),
                         _mm256_extracti128_si256(wk, 1));
    }
}

// Sixteen steps serve every group of the 80: the roles come round every eight steps.
template <int... kStepIndices>
HASHCALC_SHA512_AVX2_TARGET HASHCALC_ALWAYS_INLINE void SixteenSteps(
    std::uint64_t* v, const std::uint64_t* wk, std::uint64_t& carriedXor,
    std::integer_sequence<int, kStepIndices...>) {
    (SHA512Step<kStepIndices>(v, wk[kStepIndices], carriedXor), ...);
}

HASHCALC_SHA512_AVX2_TARGET HASHCALC_ALWAYS_INLINE void CompressScheduled(std::uint64_t* chain,
                                                                          const std::uint64_t* wk) {
    std::uint64_t v[8];
    for (int k = 0; k < 8; ++k) v[k] = chain[k];
    std::uint64_t carriedXor = v[1] ^ v[2];
    for (int group = 0; group < kSteps / 16; ++group) {
        SixteenSteps(v, wk + 16 * group, carriedXor, std::make_integer_sequence<int, 16>());
    }
    for (int k = 0; k < 8; ++k) chain[k] += v[k];
}

}  // namespace

namespace digest_internal {

HASHCALC_SHA512_AVX2_TARGET void SHA512BlocksAvx2(std::uint64_t* chain,
                                                  const unsigned char* blocks,
                                                  std::size_t blockCount) {
    alignas(32) std::uint64_t firstWk[kSteps];
    alignas(32) std::uint64_t secondWk[kSteps];
    for (; blockCount >= 2; blockCount -= 2, blocks += 256) {
        ScheduleTwoBlocks(blocks, blocks + 128, firstWk, secondWk);
        CompressScheduled(chain, firstWk);
        CompressScheduled(chain, secondWk);
    }
    if (blockCount == 1) {
        // The last block alone: both halves schedule it.
        ScheduleTwoBlocks(blocks, blocks, firstWk, secondWk);
        CompressScheduled(chain, firstWk);
    }
}

}  // namespace digest_internal

#endif
