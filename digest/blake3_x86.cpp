// BLAKE3's wide kernels on x86: 4 inputs at once with SSE4.1, 8 with AVX2, 16 with AVX-512,
// each compiled for its instruction set while the rest of the program runs on any x86
// processor. The lane code itself is written once, in blake3_lanes.inc.
//
// deliberate: on Windows only the SSE4.1 kernels are built. mingw-w64's GCC cannot align the
// stack for 32- and 64-byte vectors, and these kernels keep more vectors than there are
// registers, so the wider ones would spill to misaligned slots.
#include "blake3.h"

#if HASHCALC_DIGEST_X86

#include <immintrin.h>

namespace digest_internal {

namespace {

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse4.1,ssse3"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse4.1,ssse3")
#endif
namespace sse41 {

using V = __m128i;
constexpr std::size_t kLanes = 4;

HASHCALC_ALWAYS_INLINE V Add(V a, V b) {
    return _mm_add_epi32(a, b);
}
HASHCALC_ALWAYS_INLINE V Xor(V a, V b) {
    return _mm_xor_si128(a, b);
}
HASHCALC_ALWAYS_INLINE V Splat(std::uint32_t word) {
    return _mm_set1_epi32(static_cast<int>(word));
}
HASHCALC_ALWAYS_INLINE V LoadWords(const std::uint32_t* words) {
    return _mm_loadu_si128(reinterpret_cast<const V*>(words));
}
HASHCALC_ALWAYS_INLINE void StoreWords(std::uint32_t* words, V value) {
    _mm_storeu_si128(reinterpret_cast<V*>(words), value);
}
// Rotations by whole bytes are one byte shuffle.
HASHCALC_ALWAYS_INLINE V Rotr16(V x) {
    return _mm_shuffle_epi8(x, _mm_set_epi8(13, 12, 15, 14, 9, 8, 11, 10, 5, 4, 7, 6, 1, 0, 3, 2));
}
HASHCALC_ALWAYS_INLINE V Rotr8(V x) {
    return _mm_shuffle_epi8(x, _mm_set_epi8(12, 15, 14, 13, 8, 11, 10, 9, 4, 7, 6, 5, 0, 3, 2, 1));
}
HASHCALC_ALWAYS_INLINE V Rotr12(V x) {
    return _mm_or_si128(_mm_srli_epi32(x, 12), _mm_slli_epi32(x, 20));
}
HASHCALC_ALWAYS_INLINE V Rotr7(V x) {
    return _mm_or_si128(_mm_srli_epi32(x, 7), _mm_slli_epi32(x, 25));
}

// Four words of four lanes, transposed: rows in, one vector per word out.
HASHCALC_ALWAYS_INLINE void Transpose4(V* r) {
    const V ab01 = _mm_unpacklo_epi32(r[0], r[1]);
    const V ab23 = _mm_unpackhi_epi32(r[0], r[1]);
    const V cd01 = _mm_unpacklo_epi32(r[2], r[3]);
    const V cd23 = _mm_unpackhi_epi32(r[2], r[3]);
    r[0] = _mm_unpacklo_epi64(ab01, cd01);
    r[1] = _mm_unpackhi_epi64(ab01, cd01);
    r[2] = _mm_unpacklo_epi64(ab23, cd23);
    r[3] = _mm_unpackhi_epi64(ab23, cd23);
}

HASHCALC_ALWAYS_INLINE void LoadMessage(const unsigned char* block, std::size_t stride, V* m) {
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
    for (std::size_t quarter = 0; quarter < 4; ++quarter) {
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
        for (std::size_t lane = 0; lane < 4; ++lane) {
            m[4 * quarter + lane] =
                _mm_loadu_si128(reinterpret_cast<const V*>(block + lane * stride + 16 * quarter));
        }
        Transpose4(m + 4 * quarter);
    }
}

const auto NarrowerChunks = BLAKE3Chunks;
const auto NarrowerParents = BLAKE3Parents;

#include "blake3_lanes.inc"

}  // namespace sse41
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#if !defined(_WIN32)

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {

using V = __m256i;
constexpr std::size_t kLanes = 8;

HASHCALC_ALWAYS_INLINE V Add(V a, V b) {
    return _mm256_add_epi32(a, b);
}
HASHCALC_ALWAYS_INLINE V Xor(V a, V b) {
    return _mm256_xor_si256(a, b);
}
HASHCALC_ALWAYS_INLINE V Splat(std::uint32_t word) {
    return _mm256_set1_epi32(static_cast<int>(word));
}
HASHCALC_ALWAYS_INLINE V LoadWords(const std::uint32_t* words) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(words));
}
HASHCALC_ALWAYS_INLINE void StoreWords(std::uint32_t* words, V value) {
    _mm256_storeu_si256(reinterpret_cast<V*>(words), value);
}
HASHCALC_ALWAYS_INLINE V Rotr16(V x) {
    return _mm256_shuffle_epi8(
        x, _mm256_set_epi8(13, 12, 15, 14, 9, 8, 11, 10, 5, 4, 7, 6, 1, 0, 3, 2, 13, 12, 15, 14, 9,
                           8, 11, 10, 5, 4, 7, 6, 1, 0, 3, 2));
}
HASHCALC_ALWAYS_INLINE V Rotr8(V x) {
    return _mm256_shuffle_epi8(
        x, _mm256_set_epi8(12, 15, 14, 13, 8, 11, 10, 9, 4, 7, 6, 5, 0, 3, 2, 1, 12, 15, 14, 13, 8,
                           11, 10, 9, 4, 7, 6, 5, 0, 3, 2, 1));
}
HASHCALC_ALWAYS_INLINE V Rotr12(V x) {
    return _mm256_or_si256(_mm256_srli_epi32(x, 12), _mm256_slli_epi32(x, 20));
}
HASHCALC_ALWAYS_INLINE V Rotr7(V x) {
    return _mm256_or_si256(_mm256_srli_epi32(x, 7), _mm256_slli_epi32(x, 25));
}

// Eight words of eight lanes, transposed: 32-bit, then 64-bit interleaves within each
// 128-bit half, then the halves exchanged.
HASHCALC_ALWAYS_INLINE void Transpose8(V* r) {
    V t[8];
    for (std::size_t i = 0; i < 4; ++i) {
        t[2 * i] = _mm256_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm256_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    V u[8];
    for (std::size_t i = 0; i < 2; ++i) {
        u[4 * i + 0] = _mm256_unpacklo_epi64(t[4 * i], t[4 * i + 2]);
        u[4 * i + 1] = _mm256_unpackhi_epi64(t[4 * i], t[4 * i + 2]);
        u[4 * i + 2] = _mm256_unpacklo_epi64(t[4 * i + 1], t[4 * i + 3]);
        u[4 * i + 3] = _mm256_unpackhi_epi64(t[4 * i + 1], t[4 * i + 3]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        r[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
        r[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
    }
}

HASHCALC_ALWAYS_INLINE void LoadMessage(const unsigned char* block, std::size_t stride, V* m) {
#if defined(__GNUC__)
#pragma GCC unroll 2
#endif
    for (std::size_t half = 0; half < 2; ++half) {
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
        for (std::size_t lane = 0; lane < 8; ++lane) {
            m[8 * half + lane] =
                _mm256_loadu_si256(reinterpret_cast<const V*>(block + lane * stride + 32 * half));
        }
        Transpose8(m + 8 * half);
    }
}

const auto NarrowerChunks = sse41::Chunks;
const auto NarrowerParents = sse41::Parents;

#include "blake3_lanes.inc"

}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// GCC 12's AVX-512 intrinsics start their unused pass-through operand from itself, which
// -Wuninitialized reports in every caller.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512vl,avx512bw,avx512dq"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl,avx512bw,avx512dq")
#endif
namespace avx512 {

using V = __m512i;
constexpr std::size_t kLanes = 16;

HASHCALC_ALWAYS_INLINE V Add(V a, V b) {
    return _mm512_add_epi32(a, b);
}
HASHCALC_ALWAYS_INLINE V Xor(V a, V b) {
    return _mm512_xor_si512(a, b);
}
HASHCALC_ALWAYS_INLINE V Splat(std::uint32_t word) {
    return _mm512_set1_epi32(static_cast<int>(word));
}
HASHCALC_ALWAYS_INLINE V LoadWords(const std::uint32_t* words) {
    return _mm512_loadu_si512(words);
}
HASHCALC_ALWAYS_INLINE void StoreWords(std::uint32_t* words, V value) {
    _mm512_storeu_si512(words, value);
}
// AVX-512 rotates in one instruction.
HASHCALC_ALWAYS_INLINE V Rotr16(V x) {
    return _mm512_ror_epi32(x, 16);
}
HASHCALC_ALWAYS_INLINE V Rotr12(V x) {
    return _mm512_ror_epi32(x, 12);
}
HASHCALC_ALWAYS_INLINE V Rotr8(V x) {
    return _mm512_ror_epi32(x, 8);
}
HASHCALC_ALWAYS_INLINE V Rotr7(V x) {
    return _mm512_ror_epi32(x, 7);
}

// Sixteen words of sixteen lanes, transposed: 32-bit and 64-bit interleaves leave, in each
// 128-bit quarter, one word of four lanes; two passes over whole quarters finish the job.
HASHCALC_ALWAYS_INLINE void Transpose16(V* r) {
    V t[16];
    for (std::size_t i = 0; i < 8; ++i) {
        t[2 * i] = _mm512_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm512_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    // u[4 * g + j]: word j + 4 * q of lanes 4g to 4g + 3 in quarter q.
    V u[16];
    for (std::size_t g = 0; g < 4; ++g) {
        u[4 * g + 0] = _mm512_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 1] = _mm512_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 2] = _mm512_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
        u[4 * g + 3] = _mm512_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
    }
    for (std::size_t j = 0; j < 4; ++j) {
        const V low01 = _mm512_shuffle_i32x4(u[j], u[4 + j], 0x44);
        const V high01 = _mm512_shuffle_i32x4(u[j], u[4 + j], 0xEE);
        const V low23 = _mm512_shuffle_i32x4(u[8 + j], u[12 + j], 0x44);
        const V high23 = _mm512_shuffle_i32x4(u[8 + j], u[12 + j], 0xEE);
        r[j] = _mm512_shuffle_i32x4(low01, low23, 0x88);
        r[j + 4] = _mm512_shuffle_i32x4(low01, low23, 0xDD);
        r[j + 8] = _mm512_shuffle_i32x4(high01, high23, 0x88);
        r[j + 12] = _mm512_shuffle_i32x4(high01, high23, 0xDD);
    }
}

HASHCALC_ALWAYS_INLINE void LoadMessage(const unsigned char* block, std::size_t stride, V* m) {
#if defined(__GNUC__)
#pragma GCC unroll 16
#endif
    for (std::size_t lane = 0; lane < 16; ++lane) {
        m[lane] = _mm512_loadu_si512(block + lane * stride);
    }
    Transpose16(m);
}

const auto NarrowerChunks = avx2::Chunks;
const auto NarrowerParents = avx2::Parents;

#include "blake3_lanes.inc"

}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#pragma GCC diagnostic pop

#endif  // !_WIN32

}  // namespace

#if !defined(_WIN32)
void BLAKE3ChunksAVX2(const unsigned char* chunks, std::size_t count, std::uint64_t counter,
                      std::uint32_t* cvs) {
    avx2::Chunks(chunks, count, counter, cvs);
}

void BLAKE3ParentsAVX2(const std::uint32_t* children, std::size_t count, std::uint32_t* cvs) {
    avx2::Parents(children, count, cvs);
}

void BLAKE3ChunksAVX512(const unsigned char* chunks, std::size_t count, std::uint64_t counter,
                        std::uint32_t* cvs) {
    avx512::Chunks(chunks, count, counter, cvs);
}

void BLAKE3ParentsAVX512(const std::uint32_t* children, std::size_t count, std::uint32_t* cvs) {
    avx512::Parents(children, count, cvs);
}
#endif

void BLAKE3ChunksSSE41(const unsigned char* chunks, std::size_t count, std::uint64_t counter,
                       std::uint32_t* cvs) {
    sse41::Chunks(chunks, count, counter, cvs);
}

void BLAKE3ParentsSSE41(const std::uint32_t* children, std::size_t count, std::uint32_t* cvs) {
    sse41::Parents(children, count, cvs);
}

}  // namespace digest_internal

#endif  // HASHCALC_DIGEST_X86
