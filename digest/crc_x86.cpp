// The three checksums by carry-less multiplication ("folding"), compiled for those
// instructions function by function. A CRC depends only on the message as a polynomial modulo
// the generator P, and multiplying a 16-byte piece by x^D mod P moves it D bits further along
// without changing that remainder. So the message is folded, 64 bytes per step into four
// running 16-byte pieces, those into one, and the last 16 bytes and the tail go through the
// slicing path with a zero register. They run only where kCarrylessFeatures may be used.
#include "crc_functions.h"

#if HASHCALC_DIGEST_X86

#include <immintrin.h>

#define HASHCALC_CLMUL_TARGET __attribute__((target("pclmul,sse4.1,ssse3")))

namespace {

// x^n mod P, P given with its leading term (0x18005 for CRC-16, 0x104C11DB7 for CRC-32).
constexpr std::uint64_t PowerModulo(int n, std::uint64_t generator) {
    int degree = 63;
    while (((generator >> degree) & 1) == 0) --degree;
    std::uint64_t value = 1;
    for (int i = 0; i < n; ++i) {
        value <<= 1;
        if ((value >> degree) & 1) value ^= generator;
    }
    return value;
}

constexpr std::uint64_t Reverse64(std::uint64_t value) {
    std::uint64_t result = 0;
    for (int bit = 0; bit < 64; ++bit) result |= ((value >> bit) & 1) << (63 - bit);
    return result;
}

// The two multipliers that move a 16-byte piece D bits on: one for the piece's first eight
// bytes (its higher powers) and one for its last eight.
struct FoldMultipliers {
    std::uint64_t firstHalf;
    std::uint64_t secondHalf;
};

// Most significant bit first, the piece loaded byte-reversed is the polynomial as it stands:
// its high lane times x^(64+D), its low lane times x^D.
constexpr FoldMultipliers ForwardMultipliers(int distance, std::uint64_t generator) {
    return {PowerModulo(64 + distance, generator), PowerModulo(distance, generator)};
}

// Least significant bit first, lane bits run from the highest power down, and the product of
// two bit-reversed numbers comes out reversed one place short; taking one power less and
// reversing the multiplier lands it exactly.
constexpr FoldMultipliers ReflectedMultipliers(int distance, std::uint64_t generator) {
    return {Reverse64(PowerModulo(63 + distance, generator)),
            Reverse64(PowerModulo(distance - 1, generator))};
}

struct FoldConstants {
    FoldMultipliers by512;  // one piece on by four pieces, in the 64-byte loop
    FoldMultipliers by128;  // one piece on to the next
};

constexpr std::uint64_t kCrc16Generator = 0x18005;
constexpr std::uint64_t kCrc32Generator = 0x104C11DB7;

constexpr FoldConstants kCrc16Folds = {ReflectedMultipliers(512, kCrc16Generator),
                                       ReflectedMultipliers(128, kCrc16Generator)};
constexpr FoldConstants kCrc32Folds = {ReflectedMultipliers(512, kCrc32Generator),
                                       ReflectedMultipliers(128, kCrc32Generator)};
constexpr FoldConstants kCrc32bFolds = {ForwardMultipliers(512, kCrc32Generator),
                                        ForwardMultipliers(128, kCrc32Generator)};

template <bool kReflected>
struct Folding {
    HASHCALC_CLMUL_TARGET static __m128i Load(const unsigned char* bytes) {
        const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
        if constexpr (kReflected) return piece;
        const __m128i reverse = _mm_set_epi64x(0x0001020304050607, 0x08090A0B0C0D0E0F);
        return _mm_shuffle_epi8(piece, reverse);
    }

    HASHCALC_CLMUL_TARGET static void Store(unsigned char* bytes, __m128i piece) {
        if constexpr (!kReflected) {
            const __m128i reverse = _mm_set_epi64x(0x0001020304050607, 0x08090A0B0C0D0E0F);
            piece = _mm_shuffle_epi8(piece, reverse);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), piece);
    }

    // The register meets the first message bytes: the lowest ones when reflected, the
    // highest ones otherwise.
    HASHCALC_CLMUL_TARGET static __m128i Register(std::uint32_t crc) {
        if constexpr (kReflected) return _mm_cvtsi32_si128(static_cast<int>(crc));
        return _mm_set_epi32(static_cast<int>(crc), 0, 0, 0);
    }

    // The piece moved on by the multipliers' distance.
    HASHCALC_CLMUL_TARGET static __m128i Fold(__m128i piece, const FoldMultipliers& by) {
        // Reflected, the first half is the low lane; otherwise the high lane.
        const __m128i multipliers = kReflected
                                        ? _mm_set_epi64x(static_cast<long long>(by.secondHalf),
                                                         static_cast<long long>(by.firstHalf))
                                        : _mm_set_epi64x(static_cast<long long>(by.firstHalf),
                                                         static_cast<long long>(by.secondHalf));
        return _mm_xor_si128(_mm_clmulepi64_si128(piece, multipliers, 0x00),
                             _mm_clmulepi64_si128(piece, multipliers, 0x11));
    }

    HASHCALC_CLMUL_TARGET static std::uint32_t Update(const FoldConstants& folds, CrcUpdate* finish,
                                                      std::uint32_t crc, const unsigned char* bytes,
                                                      std::size_t count) {
        if (count < 64) return finish(crc, bytes, count);
        __m128i pieces[4];
        for (std::size_t i = 0; i < 4; ++i) pieces[i] = Load(bytes + 16 * i);
        pieces[0] = _mm_xor_si128(pieces[0], Register(crc));
        bytes += 64;
        count -= 64;
        while (count >= 64) {
            for (std::size_t i = 0; i < 4; ++i) {
                pieces[i] = _mm_xor_si128(Fold(pieces[i], folds.by512), Load(bytes + 16 * i));
            }
            bytes += 64;
            count -= 64;
        }
        __m128i piece = pieces[0];
        for (int i = 1; i < 4; ++i) piece = _mm_xor_si128(Fold(piece, folds.by128), pieces[i]);
        while (count >= 16) {
            piece = _mm_xor_si128(Fold(piece, folds.by128), Load(bytes));
            bytes += 16;
            count -= 16;
        }
        unsigned char last[16];
        Store(last, piece);
        return finish(finish(0, last, 16), bytes, count);
    }
};

}  // namespace

namespace digest_internal {

HASHCALC_CLMUL_TARGET std::uint32_t UpdateCrc16Folding(std::uint32_t crc,
                                                       const unsigned char* bytes,
                                                       std::size_t count) {
    return Folding<true>::Update(kCrc16Folds, UpdateCrc16Portable, crc, bytes, count);
}

HASHCALC_CLMUL_TARGET std::uint32_t UpdateCrc32Folding(std::uint32_t crc,
                                                       const unsigned char* bytes,
                                                       std::size_t count) {
    return Folding<true>::Update(kCrc32Folds, UpdateCrc32Portable, crc, bytes, count);
}

HASHCALC_CLMUL_TARGET std::uint32_t UpdateCrc32bFolding(std::uint32_t crc,
                                                        const unsigned char* bytes,
                                                        std::size_t count) {
    return Folding<false>::Update(kCrc32bFolds, UpdateCrc32bPortable, crc, bytes, count);
}

}  // namespace digest_internal

#endif
