// SHA-1 and SHA-256 on the x86 SHA instructions, compiled for those instructions function by
// function so that the rest of the program runs on any x86 processor. The table chooses them
// only where the processor has kShaInstructionFeatures and they may be used.
#include "block_functions.h"

#if HASHCALC_DIGEST_X86

#include <immintrin.h>

#include <utility>

#define HASHCALC_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace {

// Loads four big-endian message words with word 0 in the highest lane, the order SHA-1's
// instructions take them in.
HASHCALC_SHA_TARGET inline __m128i LoadSha1Words(const unsigned char* bytes) {
    const __m128i reverseAllBytes = _mm_set_epi64x(0x0001020304050607, 0x08090A0B0C0D0E0F);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)),
                            reverseAllBytes);
}

// Four rounds of SHA-1, group g of the twenty. `words` holds the schedule's last four groups,
// group g - 4 at index g % 4; from group 4 on, group g is expanded over it. `previousAbcd`
// is the A-to-D vector of four rounds before, whose A (rotated) becomes this group's E.
template <int kGroup>
HASHCALC_SHA_TARGET inline void Sha1Group(__m128i& abcd, __m128i& previousAbcd, __m128i& e0,
                                          __m128i* words) {
    __m128i& w = words[kGroup % 4];
    if constexpr (kGroup >= 4) {
        const __m128i mixed =
            _mm_xor_si128(_mm_sha1msg1_epu32(w, words[(kGroup + 1) % 4]), words[(kGroup + 2) % 4]);
        w = _mm_sha1msg2_epu32(mixed, words[(kGroup + 3) % 4]);
    }
    const __m128i e = kGroup == 0 ? _mm_add_epi32(e0, w) : _mm_sha1nexte_epu32(previousAbcd, w);
    previousAbcd = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e, kGroup / 5);
}

template <int... kGroups>
HASHCALC_SHA_TARGET inline void Sha1Groups(__m128i& abcd, __m128i& previousAbcd, __m128i& e0,
                                           __m128i* words, std::integer_sequence<int, kGroups...>) {
    (Sha1Group<kGroups>(abcd, previousAbcd, e0, words), ...);
}

// Loads four big-endian message words in lane order, word 0 in the lowest lane.
HASHCALC_SHA_TARGET inline __m128i LoadSha256Words(const unsigned char* bytes) {
    const __m128i swapEachWord = _mm_set_epi64x(0x0C0D0E0F08090A0B, 0x0405060700010203);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), swapEachWord);
}

}  // namespace

namespace digest_internal {

HASHCALC_SHA_TARGET void SHA1BlocksOnShaInstructions(std::uint32_t* state,
                                                     const unsigned char* blocks,
                                                     std::size_t blockCount) {
    // A in the highest lane, as the instructions want it; E alone in the highest lane.
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (std::size_t i = 0; i < blockCount; ++i) {
        const unsigned char* block = blocks + 64 * i;
        __m128i words[4] = {LoadSha1Words(block), LoadSha1Words(block + 16),
                            LoadSha1Words(block + 32), LoadSha1Words(block + 48)};
        const __m128i startAbcd = abcd;
        __m128i previousAbcd = abcd;
        Sha1Groups(abcd, previousAbcd, e, words, std::make_integer_sequence<int, 20>());
        // The new E is the rotated A of four rounds before the end, plus the old E.
        e = _mm_sha1nexte_epu32(previousAbcd, e);
        abcd = _mm_add_epi32(abcd, startAbcd);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e, 3));
}

HASHCALC_SHA_TARGET void SHA256BlocksOnShaInstructions(std::uint32_t* state,
                                                       const unsigned char* blocks,
                                                       std::size_t blockCount) {
    // The instructions keep the eight words as two vectors, A B E F and C D G H, with A and C
    // in the highest lanes.
    const __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    const __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i badc = _mm_shuffle_epi32(abcd, 0xB1);
    const __m128i hgfe = _mm_shuffle_epi32(efgh, 0x1B);
    __m128i abef = _mm_alignr_epi8(badc, hgfe, 8);
    __m128i cdgh = _mm_blend_epi16(hgfe, badc, 0xF0);
    const auto* constants = reinterpret_cast<const __m128i*>(kSHA256RoundConstants);

    for (std::size_t i = 0; i < blockCount; ++i) {
        const unsigned char* block = blocks + 64 * i;
        __m128i words[4] = {LoadSha256Words(block), LoadSha256Words(block + 16),
                            LoadSha256Words(block + 32), LoadSha256Words(block + 48)};
        const __m128i startAbef = abef;
        const __m128i startCdgh = cdgh;
#if defined(__GNUC__)
#pragma GCC unroll 16
#endif
        for (int group = 0; group < 16; ++group) {
            __m128i& w = words[group % 4];
            if (group >= 4) {
                // W[t] = W[t-16] + s0(W[t-15]) + W[t-7] + s1(W[t-2]), four at a time.
                const __m128i back7 =
                    _mm_alignr_epi8(words[(group + 3) % 4], words[(group + 2) % 4], 4);
                w = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(w, words[(group + 1) % 4]), back7),
                    words[(group + 3) % 4]);
            }
            const __m128i wk = _mm_add_epi32(w, _mm_loadu_si128(constants + group));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
        }
        abef = _mm_add_epi32(abef, startAbef);
        cdgh = _mm_add_epi32(cdgh, startCdgh);
    }

    const __m128i abef2 = _mm_shuffle_epi32(abef, 0x1B);  // lanes A B E F from the lowest
    const __m128i ghcd = _mm_shuffle_epi32(cdgh, 0xB1);   // lanes G H C D from the lowest
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(abef2, ghcd, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(ghcd, abef2, 8));
}

}  // namespace digest_internal

#endif
