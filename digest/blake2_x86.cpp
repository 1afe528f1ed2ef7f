// BLAKE2b and BLAKE2s on x86 vectors, one block at a time: the 4x4 working words are kept as
// four rows, so one pass of G works on all four columns at once; turning rows 1 to 3 by one,
// two and three places lines the diagonals up as columns for the second pass, and turning
// them back restores the columns. BLAKE2b's rows are 256-bit vectors with AVX2, or pairs of
// 128-bit halves with SSE4.1; BLAKE2s's rows fit 128 bits, so wider vectors would not pay.
// Each function is compiled for its instruction set; the caller checks the processor first.
//
// deliberate: no AVX2 form on Windows, where mingw-w64's GCC cannot align spills of 32-byte
// vectors; the SSE4.1 form serves there.
#include <cstring>

#include "blake2.h"

#if HASHCALC_DIGEST_X86

#include <immintrin.h>

#define HASHCALC_SSE41_TARGET __attribute__((target("sse4.1,ssse3")))
#define HASHCALC_AVX2_TARGET __attribute__((target("avx2")))

namespace digest_internal {

namespace {

// The message words G takes in one pass, first or second (x or y) of each pair, for the four
// columns (`diagonal` false) or the four diagonals, as four 64-bit or 32-bit lanes.
template <typename Word>
struct Pass {
    Word lane[4];
};

// Message words are read where they lie in the block (x86 is little-endian): a copy on the
// stack would be read back through narrower loads than it was written with.
template <typename Word>
HASHCALC_ALWAYS_INLINE Word MessageWord(const unsigned char* block, int index) {
    Word word;
    std::memcpy(&word, block + sizeof(Word) * index, sizeof word);
    return word;
}

template <typename Word>
HASHCALC_ALWAYS_INLINE Pass<Word> Pick(const unsigned char* m, const unsigned char* s,
                                       bool diagonal, int which) {
    const int base = diagonal ? 8 : 0;
    return {{MessageWord<Word>(m, s[base + which]), MessageWord<Word>(m, s[base + 2 + which]),
             MessageWord<Word>(m, s[base + 4 + which]), MessageWord<Word>(m, s[base + 6 + which])}};
}

// ---- BLAKE2b, AVX2: a row is one 256-bit vector.

HASHCALC_AVX2_TARGET HASHCALC_ALWAYS_INLINE __m256i Load(const Pass<std::uint64_t>& pass) {
    return _mm256_set_epi64x(static_cast<long long>(pass.lane[3]),
                             static_cast<long long>(pass.lane[2]),
                             static_cast<long long>(pass.lane[1]),
                             static_cast<long long>(pass.lane[0]));
}

HASHCALC_AVX2_TARGET HASHCALC_ALWAYS_INLINE __m256i Rotr64By32(__m256i x) {
    return _mm256_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1));
}
HASHCALC_AVX2_TARGET HASHCALC_ALWAYS_INLINE __m256i Rotr64By24(__m256i x) {
    return _mm256_shuffle_epi8(x, _mm256_setr_epi8(3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13, 14, 15, 8,
                                                   9, 10, 3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13,
                                                   14, 15, 8, 9, 10));
}
HASHCALC_AVX2_TARGET HASHCALC_ALWAYS_INLINE __m256i Rotr64By16(__m256i x) {
    return _mm256_shuffle_epi8(x, _mm256_setr_epi8(2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12, 13, 14,
                                                   15, 8, 9, 2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12,
                                                   13, 14, 15, 8, 9));
}
HASHCALC_AVX2_TARGET HASHCALC_ALWAYS_INLINE __m256i Rotr64By63(__m256i x) {
    return _mm256_or_si256(_mm256_srli_epi64(x, 63), _mm256_add_epi64(x, x));
}

// G on all four columns (or diagonals) at once.
HASHCALC_AVX2_TARGET HASHCALC_ALWAYS_INLINE void G4(__m256i& a, __m256i& b, __m256i& c,
                                                    __m256i& d, __m256i x, __m256i y) {
    a = _mm256_add_epi64(_mm256_add_epi64(a, b), x);
    d = Rotr64By32(_mm256_xor_si256(d, a));
    c = _mm256_add_epi64(c, d);
    b = Rotr64By24(_mm256_xor_si256(b, c));
    a = _mm256_add_epi64(_mm256_add_epi64(a, b), y);
    d = Rotr64By16(_mm256_xor_si256(d, a));
    c = _mm256_add_epi64(c, d);
    b = Rotr64By63(_mm256_xor_si256(b, c));
}

HASHCALC_AVX2_TARGET HASHCALC_ALWAYS_INLINE void Round(__m256i& a, __m256i& b, __m256i& c,
                                                       __m256i& d, const unsigned char* m,
                                                       const unsigned char* s) {
    G4(a, b, c, d, Load(Pick<std::uint64_t>(m, s, false, 0)), Load(Pick<std::uint64_t>(m, s, false, 1)));
    b = _mm256_permute4x64_epi64(b, _MM_SHUFFLE(0, 3, 2, 1));
    c = _mm256_permute4x64_epi64(c, _MM_SHUFFLE(1, 0, 3, 2));
    d = _mm256_permute4x64_epi64(d, _MM_SHUFFLE(2, 1, 0, 3));
    G4(a, b, c, d, Load(Pick<std::uint64_t>(m, s, true, 0)), Load(Pick<std::uint64_t>(m, s, true, 1)));
    b = _mm256_permute4x64_epi64(b, _MM_SHUFFLE(2, 1, 0, 3));
    c = _mm256_permute4x64_epi64(c, _MM_SHUFFLE(1, 0, 3, 2));
    d = _mm256_permute4x64_epi64(d, _MM_SHUFFLE(0, 3, 2, 1));
}

// ---- BLAKE2b, SSE4.1: a row is two 128-bit halves, lanes 0-1 and 2-3.

struct Row {
    __m128i low;
    __m128i high;
};

HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE Row Load2(const Pass<std::uint64_t>& pass) {
    return {_mm_set_epi64x(static_cast<long long>(pass.lane[1]), static_cast<long long>(pass.lane[0])),
            _mm_set_epi64x(static_cast<long long>(pass.lane[3]), static_cast<long long>(pass.lane[2]))};
}

HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE Row Add(Row a, Row b) {
    return {_mm_add_epi64(a.low, b.low), _mm_add_epi64(a.high, b.high)};
}
HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE Row Xor(Row a, Row b) {
    return {_mm_xor_si128(a.low, b.low), _mm_xor_si128(a.high, b.high)};
}

template <int kBits>
HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE __m128i Rotr64(__m128i x) {
    if constexpr (kBits == 32) {
        return _mm_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1));
    } else if constexpr (kBits == 24) {
        return _mm_shuffle_epi8(x, _mm_setr_epi8(3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13, 14, 15, 8, 9, 10));
    } else if constexpr (kBits == 16) {
        return _mm_shuffle_epi8(x, _mm_setr_epi8(2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12, 13, 14, 15, 8, 9));
    } else {
        static_assert(kBits == 63);
        return _mm_or_si128(_mm_srli_epi64(x, 63), _mm_add_epi64(x, x));
    }
}

template <int kBits>
HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE Row Rotr(Row x) {
    return {Rotr64<kBits>(x.low), Rotr64<kBits>(x.high)};
}

HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE void G4(Row& a, Row& b, Row& c, Row& d, Row x, Row y) {
    a = Add(Add(a, b), x);
    d = Rotr<32>(Xor(d, a));
    c = Add(c, d);
    b = Rotr<24>(Xor(b, c));
    a = Add(Add(a, b), y);
    d = Rotr<16>(Xor(d, a));
    c = Add(c, d);
    b = Rotr<63>(Xor(b, c));
}

// Turns a row left by one lane: lanes 1 2 3 0.
HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE Row TurnByOne(Row x) {
    return {_mm_alignr_epi8(x.high, x.low, 8), _mm_alignr_epi8(x.low, x.high, 8)};
}
HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE Row TurnByTwo(Row x) {
    return {x.high, x.low};
}
HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE Row TurnByThree(Row x) {
    return {_mm_alignr_epi8(x.low, x.high, 8), _mm_alignr_epi8(x.high, x.low, 8)};
}

HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE void Round(Row& a, Row& b, Row& c, Row& d,
                                                        const unsigned char* m,
                                                        const unsigned char* s) {
    G4(a, b, c, d, Load2(Pick<std::uint64_t>(m, s, false, 0)), Load2(Pick<std::uint64_t>(m, s, false, 1)));
    b = TurnByOne(b);
    c = TurnByTwo(c);
    d = TurnByThree(d);
    G4(a, b, c, d, Load2(Pick<std::uint64_t>(m, s, true, 0)), Load2(Pick<std::uint64_t>(m, s, true, 1)));
    b = TurnByThree(b);
    c = TurnByTwo(c);
    d = TurnByOne(d);
}

// ---- BLAKE2s, SSE4.1: a row is one 128-bit vector.

HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE __m128i Load(const Pass<std::uint32_t>& pass) {
    return _mm_set_epi32(static_cast<int>(pass.lane[3]), static_cast<int>(pass.lane[2]),
                         static_cast<int>(pass.lane[1]), static_cast<int>(pass.lane[0]));
}

HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE void G4(__m128i& a, __m128i& b, __m128i& c,
                                                     __m128i& d, __m128i x, __m128i y) {
    const __m128i by16 = _mm_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13);
    const __m128i by8 = _mm_setr_epi8(1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12);
    a = _mm_add_epi32(_mm_add_epi32(a, b), x);
    d = _mm_shuffle_epi8(_mm_xor_si128(d, a), by16);
    c = _mm_add_epi32(c, d);
    b = _mm_xor_si128(b, c);
    b = _mm_or_si128(_mm_srli_epi32(b, 12), _mm_slli_epi32(b, 20));
    a = _mm_add_epi32(_mm_add_epi32(a, b), y);
    d = _mm_shuffle_epi8(_mm_xor_si128(d, a), by8);
    c = _mm_add_epi32(c, d);
    b = _mm_xor_si128(b, c);
    b = _mm_or_si128(_mm_srli_epi32(b, 7), _mm_slli_epi32(b, 25));
}

HASHCALC_SSE41_TARGET HASHCALC_ALWAYS_INLINE void Round(__m128i& a, __m128i& b, __m128i& c,
                                                        __m128i& d, const unsigned char* m,
                                                        const unsigned char* s) {
    G4(a, b, c, d, Load(Pick<std::uint32_t>(m, s, false, 0)), Load(Pick<std::uint32_t>(m, s, false, 1)));
    b = _mm_shuffle_epi32(b, _MM_SHUFFLE(0, 3, 2, 1));
    c = _mm_shuffle_epi32(c, _MM_SHUFFLE(1, 0, 3, 2));
    d = _mm_shuffle_epi32(d, _MM_SHUFFLE(2, 1, 0, 3));
    G4(a, b, c, d, Load(Pick<std::uint32_t>(m, s, true, 0)), Load(Pick<std::uint32_t>(m, s, true, 1)));
    b = _mm_shuffle_epi32(b, _MM_SHUFFLE(2, 1, 0, 3));
    c = _mm_shuffle_epi32(c, _MM_SHUFFLE(1, 0, 3, 2));
    d = _mm_shuffle_epi32(d, _MM_SHUFFLE(0, 3, 2, 1));
}

template <typename Word>
HASHCALC_ALWAYS_INLINE void AdvanceCounter(Word* counter, std::uint32_t counted) {
    counter[0] += counted;
    if (counter[0] < counted) ++counter[1];
}

}  // namespace

#if !defined(_WIN32)
HASHCALC_AVX2_TARGET void BLAKE2bBlocksAVX2(std::uint64_t* h, std::uint64_t* counter,
                                            const unsigned char* blocks, std::size_t blockCount,
                                            std::uint32_t counted, std::uint64_t finalMask) {
    __m256i h0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h));
    __m256i h1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + 4));
    const __m256i iv0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kBLAKE2bInitialWords));
    const __m256i iv1 =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kBLAKE2bInitialWords + 4));
    for (std::size_t block = 0; block < blockCount; ++block) {
        AdvanceCounter(counter, counted);
        const unsigned char* m = blocks + kBLAKE2bBlockBytes * block;
        __m256i a = h0;
        __m256i b = h1;
        __m256i c = iv0;
        __m256i d = _mm256_xor_si256(
            iv1, _mm256_set_epi64x(0, static_cast<long long>(finalMask),
                                   static_cast<long long>(counter[1]),
                                   static_cast<long long>(counter[0])));
#if defined(__GNUC__)
#pragma GCC unroll 12
#endif
        for (int round = 0; round < kBLAKE2bRounds; ++round) {
            Round(a, b, c, d, m, kBLAKE2Sigma[round % 10]);
        }
        h0 = _mm256_xor_si256(h0, _mm256_xor_si256(a, c));
        h1 = _mm256_xor_si256(h1, _mm256_xor_si256(b, d));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(h), h0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(h + 4), h1);
}
#endif

HASHCALC_SSE41_TARGET void BLAKE2bBlocksSSE41(std::uint64_t* h, std::uint64_t* counter,
                                              const unsigned char* blocks, std::size_t blockCount,
                                              std::uint32_t counted, std::uint64_t finalMask) {
    const auto load = [](const std::uint64_t* words) HASHCALC_SSE41_TARGET {
        return Row{_mm_loadu_si128(reinterpret_cast<const __m128i*>(words)),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 2))};
    };
    Row h0 = load(h);
    Row h1 = load(h + 4);
    const Row iv0 = load(kBLAKE2bInitialWords);
    const Row iv1 = load(kBLAKE2bInitialWords + 4);
    for (std::size_t block = 0; block < blockCount; ++block) {
        AdvanceCounter(counter, counted);
        const unsigned char* m = blocks + kBLAKE2bBlockBytes * block;
        Row a = h0;
        Row b = h1;
        Row c = iv0;
        Row d = Xor(iv1, Row{_mm_set_epi64x(static_cast<long long>(counter[1]),
                                            static_cast<long long>(counter[0])),
                             _mm_set_epi64x(0, static_cast<long long>(finalMask))});
#if defined(__GNUC__)
#pragma GCC unroll 12
#endif
        for (int round = 0; round < kBLAKE2bRounds; ++round) {
            Round(a, b, c, d, m, kBLAKE2Sigma[round % 10]);
        }
        h0 = Xor(h0, Xor(a, c));
        h1 = Xor(h1, Xor(b, d));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), h0.low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 2), h0.high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), h1.low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 6), h1.high);
}

HASHCALC_SSE41_TARGET void BLAKE2sBlocksSSE41(std::uint32_t* h, std::uint32_t* counter,
                                              const unsigned char* blocks, std::size_t blockCount,
                                              std::uint32_t counted, std::uint32_t finalMask) {
    __m128i h0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h));
    __m128i h1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4));
    const __m128i iv0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSHA256InitialWords));
    const __m128i iv1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSHA256InitialWords + 4));
    for (std::size_t block = 0; block < blockCount; ++block) {
        AdvanceCounter(counter, counted);
        const unsigned char* m = blocks + kBLAKE2sBlockBytes * block;
        __m128i a = h0;
        __m128i b = h1;
        __m128i c = iv0;
        __m128i d = _mm_xor_si128(iv1, _mm_set_epi32(0, static_cast<int>(finalMask),
                                                     static_cast<int>(counter[1]),
                                                     static_cast<int>(counter[0])));
#if defined(__GNUC__)
#pragma GCC unroll 10
#endif
        for (int round = 0; round < kBLAKE2sRounds; ++round) {
            Round(a, b, c, d, m, kBLAKE2Sigma[round]);
        }
        h0 = _mm_xor_si128(h0, _mm_xor_si128(a, c));
        h1 = _mm_xor_si128(h1, _mm_xor_si128(b, d));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), h0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), h1);
}

}  // namespace digest_internal

#endif  // HASHCALC_DIGEST_X86
