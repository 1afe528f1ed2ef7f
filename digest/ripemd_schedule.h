// The RIPEMD family's schedule, written once: for each step of the left and the right line,
// which message word it adds and by how much it rotates, the constants of each round, and the
// five Boolean functions. RIPEMD-160 runs five rounds of 16 steps per line on five words;
// RIPEMD-128 and RIPEMD-256 run the first four on four words. The step functions are templates
// over the step number, so every table lookup is resolved by the compiler and each
// compression function unrolls into straight-line code.
#pragma once

#include <cstdint>
#include <utility>

#include "digest_internal.h"

namespace ripemd {

using digest_internal::LoadLE32;
using digest_internal::RoleIndex;
using digest_internal::Rotl;

// One row per round.
// clang-format off
inline constexpr std::uint8_t kLeftWord[80] = {
    0, 1,  2,  3,  4,  5,  6,  7,  8, 9,  10, 11, 12, 13, 14, 15,
    7, 4,  13, 1,  10, 6,  15, 3,  12, 0, 9,  5,  2,  14, 11, 8,
    3, 10, 14, 4,  9,  15, 8,  1,  2, 7,  0,  6,  13, 11, 5,  12,
    1, 9,  11, 10, 0,  8,  12, 4,  13, 3, 7,  15, 14, 5,  6,  2,
    4, 0,  5,  9,  7,  12, 2,  10, 14, 1, 3,  8,  11, 6,  15, 13,
};
inline constexpr std::uint8_t kLeftShift[80] = {
    11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,
    7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,
    11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,
    11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12,
    9,  15, 5,  11, 6,  8,  13, 12, 5,  12, 13, 14, 11, 8,  5,  6,
};
inline constexpr std::uint8_t kRightWord[80] = {
    5,  14, 7,  0, 9, 2,  11, 4,  13, 6,  15, 8,  1,  10, 3,  12,
    6,  11, 3,  7, 0, 13, 5,  10, 14, 15, 8,  12, 4,  9,  1,  2,
    15, 5,  1,  3, 7, 14, 6,  9,  11, 8,  12, 2,  10, 0,  4,  13,
    8,  6,  4,  1, 3, 11, 15, 0,  5,  12, 2,  13, 9,  7,  10, 14,
    12, 15, 10, 4, 1, 5,  8,  7,  6,  2,  13, 14, 0,  3,  9,  11,
};
inline constexpr std::uint8_t kRightShift[80] = {
    8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,
    9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,
    9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,
    15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8,
    8,  5,  12, 9,  12, 5,  14, 6,  8,  13, 6,  5,  15, 13, 11, 11,
};
// clang-format on

inline constexpr std::uint32_t kLeftConstant[5] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC,
                                                   0xA953FD4E};
inline constexpr std::uint32_t kRightConstant160[5] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3,
                                                       0x7A6D76E9, 0x00000000};
inline constexpr std::uint32_t kRightConstant128[4] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3,
                                                       0x00000000};

// f1 to f5 as the published definitions give them, numbered 0 to 4. Each adds its value to
// `sum` (the older operands already in it) with x, the word the step before computed, used as
// late as possible: every step waits for x, so the fewer operations follow it, the shorter the
// chain through the block.
template <int kFunction>
HASHCALC_ALWAYS_INLINE std::uint32_t AddBoolean(std::uint32_t sum, std::uint32_t x, std::uint32_t y,
                                                std::uint32_t z) {
    if constexpr (kFunction == 0) return sum + (x ^ (y ^ z));         // x XOR y XOR z
    if constexpr (kFunction == 1) return sum + (z ^ (x & (y ^ z)));   // x ? y : z
    if constexpr (kFunction == 2) return sum + ((x | ~y) ^ z);        // (x OR NOT y) XOR z
    if constexpr (kFunction == 3) return (sum + (y & ~z)) + (x & z);  // z ? x : y
    if constexpr (kFunction == 4) return sum + (x ^ (y | ~z));        // x XOR (y OR NOT z)
}

// The function each line uses in round r: the left line counts up from f1, the right line
// down from the last function of its round count.
template <int kRounds, bool kRight, int kRound>
constexpr int kFunctionOf = kRight ? kRounds - 1 - kRound : kRound;

// A line of four words (RIPEMD-128, RIPEMD-256): a := (a + f(b, c, d) + word + constant) <<<
// shift, with a to d the words of `v` in roles 0 to 3.
template <bool kRight, int kStep>
HASHCALC_ALWAYS_INLINE void FourWordStep(std::uint32_t* v, const unsigned char* block) {
    constexpr int kRound = kStep / 16;
    constexpr int kWord = kRight ? kRightWord[kStep] : kLeftWord[kStep];
    constexpr int kShift = kRight ? kRightShift[kStep] : kLeftShift[kStep];
    constexpr std::uint32_t kConstant = kRight ? kRightConstant128[kRound] : kLeftConstant[kRound];
    std::uint32_t& a = v[RoleIndex(4, kStep, 0)];
    const std::uint32_t b = v[RoleIndex(4, kStep, 1)];
    const std::uint32_t c = v[RoleIndex(4, kStep, 2)];
    const std::uint32_t d = v[RoleIndex(4, kStep, 3)];
    const std::uint32_t sum = a + LoadLE32(block + 4 * static_cast<std::size_t>(kWord)) + kConstant;
    a = Rotl(AddBoolean<kFunctionOf<4, kRight, kRound>>(sum, b, c, d), kShift);
}

// A line of five words (RIPEMD-160): as above with five roles, and each step also adds the
// fifth word and rotates the third by 10.
template <bool kRight, int kStep>
HASHCALC_ALWAYS_INLINE void FiveWordStep(std::uint32_t* v, const unsigned char* block) {
    constexpr int kRound = kStep / 16;
    constexpr int kWord = kRight ? kRightWord[kStep] : kLeftWord[kStep];
    constexpr int kShift = kRight ? kRightShift[kStep] : kLeftShift[kStep];
    constexpr std::uint32_t kConstant = kRight ? kRightConstant160[kRound] : kLeftConstant[kRound];
    std::uint32_t& a = v[RoleIndex(5, kStep, 0)];
    const std::uint32_t b = v[RoleIndex(5, kStep, 1)];
    std::uint32_t& c = v[RoleIndex(5, kStep, 2)];
    const std::uint32_t d = v[RoleIndex(5, kStep, 3)];
    const std::uint32_t e = v[RoleIndex(5, kStep, 4)];
    const std::uint32_t sum = a + LoadLE32(block + 4 * static_cast<std::size_t>(kWord)) + kConstant;
    a = Rotl(AddBoolean<kFunctionOf<5, kRight, kRound>>(sum, b, c, d), kShift) + e;
    c = Rotl(c, 10);
}

// Steps kFirst to kFirst + count - 1 of both lines, a left and a right step in turn so that the
// processor can overlap the two independent chains.
template <int kFirst, int... kOffsets>
HASHCALC_ALWAYS_INLINE void FourWordSteps(std::uint32_t* left, std::uint32_t* right,
                                          const unsigned char* block,
                                          std::integer_sequence<int, kOffsets...>) {
    ((FourWordStep<false, kFirst + kOffsets>(left, block),
      FourWordStep<true, kFirst + kOffsets>(right, block)),
     ...);
}

template <int kFirst, int... kOffsets>
HASHCALC_ALWAYS_INLINE void FiveWordSteps(std::uint32_t* left, std::uint32_t* right,
                                          const unsigned char* block,
                                          std::integer_sequence<int, kOffsets...>) {
    ((FiveWordStep<false, kFirst + kOffsets>(left, block),
      FiveWordStep<true, kFirst + kOffsets>(right, block)),
     ...);
}

// The four rounds of both four-word lines. RIPEMD-256 trades one word between the lines after
// each round (the one at index r after round r); RIPEMD-128 keeps them apart.
template <bool kTradeWords, int kRound>
HASHCALC_ALWAYS_INLINE void FourWordRound(std::uint32_t* left, std::uint32_t* right,
                                          const unsigned char* block) {
    FourWordSteps<16 * kRound>(left, right, block, std::make_integer_sequence<int, 16>());
    if constexpr (kTradeWords) std::swap(left[kRound], right[kRound]);
}

template <bool kTradeWords>
HASHCALC_ALWAYS_INLINE void FourWordLines(std::uint32_t* left, std::uint32_t* right,
                                          const unsigned char* block) {
    FourWordRound<kTradeWords, 0>(left, right, block);
    FourWordRound<kTradeWords, 1>(left, right, block);
    FourWordRound<kTradeWords, 2>(left, right, block);
    FourWordRound<kTradeWords, 3>(left, right, block);
}

}  // namespace ripemd
