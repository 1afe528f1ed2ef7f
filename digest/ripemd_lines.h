// The two lines of RIPEMD-128, round by round, shared with RIPEMD-256, which runs the same
// rounds on two independent four-word states and exchanges one word between them after each.
// Every step names its message word, additive constant and rotation amount.
#pragma once

#include <cstdint>

#include "digest_internal.h"

namespace ripemd_lines {

using digest_internal::Rotl;

// Message word `index` of a block, read in place (little-endian).
inline std::uint32_t Word(const unsigned char* block, int index) {
    return digest_internal::LoadLE32(block + 4 * index);
}

// One step with each of the four Boolean functions: a := (a + f(b, c, d) + word + constant) <<<
// shift.
inline void StepF1(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                   std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + (b ^ c ^ d) + word + constant, shift);
}
inline void StepF2(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                   std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + (d ^ (b & (c ^ d))) + word + constant, shift);  // (b AND c) OR (NOT b AND d)
}
inline void StepF3(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                   std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + ((b | ~c) ^ d) + word + constant, shift);
}
inline void StepF4(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                   std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + (c ^ (d & (b ^ c))) + word + constant, shift);  // (b AND d) OR (c AND NOT d)
}

inline void LeftRound1(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const unsigned char* block) {
    StepF1(a, b, c, d, Word(block, 0), 0x00000000, 11);
    StepF1(d, a, b, c, Word(block, 1), 0x00000000, 14);
    StepF1(c, d, a, b, Word(block, 2), 0x00000000, 15);
    StepF1(b, c, d, a, Word(block, 3), 0x00000000, 12);
    StepF1(a, b, c, d, Word(block, 4), 0x00000000, 5);
    StepF1(d, a, b, c, Word(block, 5), 0x00000000, 8);
    StepF1(c, d, a, b, Word(block, 6), 0x00000000, 7);
    StepF1(b, c, d, a, Word(block, 7), 0x00000000, 9);
    StepF1(a, b, c, d, Word(block, 8), 0x00000000, 11);
    StepF1(d, a, b, c, Word(block, 9), 0x00000000, 13);
    StepF1(c, d, a, b, Word(block, 10), 0x00000000, 14);
    StepF1(b, c, d, a, Word(block, 11), 0x00000000, 15);
    StepF1(a, b, c, d, Word(block, 12), 0x00000000, 6);
    StepF1(d, a, b, c, Word(block, 13), 0x00000000, 7);
    StepF1(c, d, a, b, Word(block, 14), 0x00000000, 9);
    StepF1(b, c, d, a, Word(block, 15), 0x00000000, 8);
}

inline void LeftRound2(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const unsigned char* block) {
    StepF2(a, b, c, d, Word(block, 7), 0x5a827999, 7);
    StepF2(d, a, b, c, Word(block, 4), 0x5a827999, 6);
    StepF2(c, d, a, b, Word(block, 13), 0x5a827999, 8);
    StepF2(b, c, d, a, Word(block, 1), 0x5a827999, 13);
    StepF2(a, b, c, d, Word(block, 10), 0x5a827999, 11);
    StepF2(d, a, b, c, Word(block, 6), 0x5a827999, 9);
    StepF2(c, d, a, b, Word(block, 15), 0x5a827999, 7);
    StepF2(b, c, d, a, Word(block, 3), 0x5a827999, 15);
    StepF2(a, b, c, d, Word(block, 12), 0x5a827999, 7);
    StepF2(d, a, b, c, Word(block, 0), 0x5a827999, 12);
    StepF2(c, d, a, b, Word(block, 9), 0x5a827999, 15);
    StepF2(b, c, d, a, Word(block, 5), 0x5a827999, 9);
    StepF2(a, b, c, d, Word(block, 2), 0x5a827999, 11);
    StepF2(d, a, b, c, Word(block, 14), 0x5a827999, 7);
    StepF2(c, d, a, b, Word(block, 11), 0x5a827999, 13);
    StepF2(b, c, d, a, Word(block, 8), 0x5a827999, 12);
}

inline void LeftRound3(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const unsigned char* block) {
    StepF3(a, b, c, d, Word(block, 3), 0x6ed9eba1, 11);
    StepF3(d, a, b, c, Word(block, 10), 0x6ed9eba1, 13);
    StepF3(c, d, a, b, Word(block, 14), 0x6ed9eba1, 6);
    StepF3(b, c, d, a, Word(block, 4), 0x6ed9eba1, 7);
    StepF3(a, b, c, d, Word(block, 9), 0x6ed9eba1, 14);
    StepF3(d, a, b, c, Word(block, 15), 0x6ed9eba1, 9);
    StepF3(c, d, a, b, Word(block, 8), 0x6ed9eba1, 13);
    StepF3(b, c, d, a, Word(block, 1), 0x6ed9eba1, 15);
    StepF3(a, b, c, d, Word(block, 2), 0x6ed9eba1, 14);
    StepF3(d, a, b, c, Word(block, 7), 0x6ed9eba1, 8);
    StepF3(c, d, a, b, Word(block, 0), 0x6ed9eba1, 13);
    StepF3(b, c, d, a, Word(block, 6), 0x6ed9eba1, 6);
    StepF3(a, b, c, d, Word(block, 13), 0x6ed9eba1, 5);
    StepF3(d, a, b, c, Word(block, 11), 0x6ed9eba1, 12);
    StepF3(c, d, a, b, Word(block, 5), 0x6ed9eba1, 7);
    StepF3(b, c, d, a, Word(block, 12), 0x6ed9eba1, 5);
}

inline void LeftRound4(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const unsigned char* block) {
    StepF4(a, b, c, d, Word(block, 1), 0x8f1bbcdc, 11);
    StepF4(d, a, b, c, Word(block, 9), 0x8f1bbcdc, 12);
    StepF4(c, d, a, b, Word(block, 11), 0x8f1bbcdc, 14);
    StepF4(b, c, d, a, Word(block, 10), 0x8f1bbcdc, 15);
    StepF4(a, b, c, d, Word(block, 0), 0x8f1bbcdc, 14);
    StepF4(d, a, b, c, Word(block, 8), 0x8f1bbcdc, 15);
    StepF4(c, d, a, b, Word(block, 12), 0x8f1bbcdc, 9);
    StepF4(b, c, d, a, Word(block, 4), 0x8f1bbcdc, 8);
    StepF4(a, b, c, d, Word(block, 13), 0x8f1bbcdc, 9);
    StepF4(d, a, b, c, Word(block, 3), 0x8f1bbcdc, 14);
    StepF4(c, d, a, b, Word(block, 7), 0x8f1bbcdc, 5);
    StepF4(b, c, d, a, Word(block, 15), 0x8f1bbcdc, 6);
    StepF4(a, b, c, d, Word(block, 14), 0x8f1bbcdc, 8);
    StepF4(d, a, b, c, Word(block, 5), 0x8f1bbcdc, 6);
    StepF4(c, d, a, b, Word(block, 6), 0x8f1bbcdc, 5);
    StepF4(b, c, d, a, Word(block, 2), 0x8f1bbcdc, 12);
}

inline void RightRound1(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                        const unsigned char* block) {
    StepF4(a, b, c, d, Word(block, 5), 0x50a28be6, 8);
    StepF4(d, a, b, c, Word(block, 14), 0x50a28be6, 9);
    StepF4(c, d, a, b, Word(block, 7), 0x50a28be6, 9);
    StepF4(b, c, d, a, Word(block, 0), 0x50a28be6, 11);
    StepF4(a, b, c, d, Word(block, 9), 0x50a28be6, 13);
    StepF4(d, a, b, c, Word(block, 2), 0x50a28be6, 15);
    StepF4(c, d, a, b, Word(block, 11), 0x50a28be6, 15);
    StepF4(b, c, d, a, Word(block, 4), 0x50a28be6, 5);
    StepF4(a, b, c, d, Word(block, 13), 0x50a28be6, 7);
    StepF4(d, a, b, c, Word(block, 6), 0x50a28be6, 7);
    StepF4(c, d, a, b, Word(block, 15), 0x50a28be6, 8);
    StepF4(b, c, d, a, Word(block, 8), 0x50a28be6, 11);
    StepF4(a, b, c, d, Word(block, 1), 0x50a28be6, 14);
    StepF4(d, a, b, c, Word(block, 10), 0x50a28be6, 14);
    StepF4(c, d, a, b, Word(block, 3), 0x50a28be6, 12);
    StepF4(b, c, d, a, Word(block, 12), 0x50a28be6, 6);
}

inline void RightRound2(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                        const unsigned char* block) {
    StepF3(a, b, c, d, Word(block, 6), 0x5c4dd124, 9);
    StepF3(d, a, b, c, Word(block, 11), 0x5c4dd124, 13);
    StepF3(c, d, a, b, Word(block, 3), 0x5c4dd124, 15);
    StepF3(b, c, d, a, Word(block, 7), 0x5c4dd124, 7);
    StepF3(a, b, c, d, Word(block, 0), 0x5c4dd124, 12);
    StepF3(d, a, b, c, Word(block, 13), 0x5c4dd124, 8);
    StepF3(c, d, a, b, Word(block, 5), 0x5c4dd124, 9);
    StepF3(b, c, d, a, Word(block, 10), 0x5c4dd124, 11);
    StepF3(a, b, c, d, Word(block, 14), 0x5c4dd124, 7);
    StepF3(d, a, b, c, Word(block, 15), 0x5c4dd124, 7);
    StepF3(c, d, a, b, Word(block, 8), 0x5c4dd124, 12);
    StepF3(b, c, d, a, Word(block, 12), 0x5c4dd124, 7);
    StepF3(a, b, c, d, Word(block, 4), 0x5c4dd124, 6);
    StepF3(d, a, b, c, Word(block, 9), 0x5c4dd124, 15);
    StepF3(c, d, a, b, Word(block, 1), 0x5c4dd124, 13);
    StepF3(b, c, d, a, Word(block, 2), 0x5c4dd124, 11);
}

inline void RightRound3(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                        const unsigned char* block) {
    StepF2(a, b, c, d, Word(block, 15), 0x6d703ef3, 9);
    StepF2(d, a, b, c, Word(block, 5), 0x6d703ef3, 7);
    StepF2(c, d, a, b, Word(block, 1), 0x6d703ef3, 15);
    StepF2(b, c, d, a, Word(block, 3), 0x6d703ef3, 11);
    StepF2(a, b, c, d, Word(block, 7), 0x6d703ef3, 8);
    StepF2(d, a, b, c, Word(block, 14), 0x6d703ef3, 6);
    StepF2(c, d, a, b, Word(block, 6), 0x6d703ef3, 6);
    StepF2(b, c, d, a, Word(block, 9), 0x6d703ef3, 14);
    StepF2(a, b, c, d, Word(block, 11), 0x6d703ef3, 12);
    StepF2(d, a, b, c, Word(block, 8), 0x6d703ef3, 13);
    StepF2(c, d, a, b, Word(block, 12), 0x6d703ef3, 5);
    StepF2(b, c, d, a, Word(block, 2), 0x6d703ef3, 14);
    StepF2(a, b, c, d, Word(block, 10), 0x6d703ef3, 13);
    StepF2(d, a, b, c, Word(block, 0), 0x6d703ef3, 13);
    StepF2(c, d, a, b, Word(block, 4), 0x6d703ef3, 7);
    StepF2(b, c, d, a, Word(block, 13), 0x6d703ef3, 5);
}

inline void RightRound4(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                        const unsigned char* block) {
    StepF1(a, b, c, d, Word(block, 8), 0x00000000, 15);
    StepF1(d, a, b, c, Word(block, 6), 0x00000000, 5);
    StepF1(c, d, a, b, Word(block, 4), 0x00000000, 8);
    StepF1(b, c, d, a, Word(block, 1), 0x00000000, 11);
    StepF1(a, b, c, d, Word(block, 3), 0x00000000, 14);
    StepF1(d, a, b, c, Word(block, 11), 0x00000000, 14);
    StepF1(c, d, a, b, Word(block, 15), 0x00000000, 6);
    StepF1(b, c, d, a, Word(block, 0), 0x00000000, 14);
    StepF1(a, b, c, d, Word(block, 5), 0x00000000, 6);
    StepF1(d, a, b, c, Word(block, 12), 0x00000000, 9);
    StepF1(c, d, a, b, Word(block, 2), 0x00000000, 12);
    StepF1(b, c, d, a, Word(block, 13), 0x00000000, 9);
    StepF1(a, b, c, d, Word(block, 9), 0x00000000, 12);
    StepF1(d, a, b, c, Word(block, 7), 0x00000000, 5);
    StepF1(c, d, a, b, Word(block, 10), 0x00000000, 15);
    StepF1(b, c, d, a, Word(block, 14), 0x00000000, 8);
}

}  // namespace ripemd_lines
