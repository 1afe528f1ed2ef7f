// RIPEMD-128 and RIPEMD-160. Both pad the message inside the caller's buffer and keep their
// chaining words in the caller's scratch area; each block runs a left and a right line of
// steps on local working words and then folds both lines into the chaining words.
#include "block_functions.h"
#include "digest.h"
#include "digest_internal.h"
#include "ripemd_lines.h"

namespace {

using digest_internal::Rotl;
using ripemd_lines::Word;

void RIPEMD128Compress(std::uint32_t* state, const unsigned char* block) {
    const std::uint32_t h0 = state[0], h1 = state[1], h2 = state[2], h3 = state[3];
    std::uint32_t a = h0, b = h1, c = h2, d = h3;
    std::uint32_t ra = h0, rb = h1, rc = h2, rd = h3;

    ripemd_lines::LeftRound1(a, b, c, d, block);
    ripemd_lines::LeftRound2(a, b, c, d, block);
    ripemd_lines::LeftRound3(a, b, c, d, block);
    ripemd_lines::LeftRound4(a, b, c, d, block);
    ripemd_lines::RightRound1(ra, rb, rc, rd, block);
    ripemd_lines::RightRound2(ra, rb, rc, rd, block);
    ripemd_lines::RightRound3(ra, rb, rc, rd, block);
    ripemd_lines::RightRound4(ra, rb, rc, rd, block);

    state[0] = h1 + c + rd;
    state[1] = h2 + d + ra;
    state[2] = h3 + a + rb;
    state[3] = h0 + b + rc;
}

// RIPEMD-160's five Boolean functions, each as one step:
// a := ((a + f(b, c, d) + word + constant) <<< shift) + e, then c := c <<< 10.
inline void StepF1(std::uint32_t& a, std::uint32_t b, std::uint32_t& c, std::uint32_t d,
                   std::uint32_t e, std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + (b ^ c ^ d) + word + constant, shift) + e;
    c = Rotl(c, 10);
}
inline void StepF2(std::uint32_t& a, std::uint32_t b, std::uint32_t& c, std::uint32_t d,
                   std::uint32_t e, std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + (d ^ (b & (c ^ d))) + word + constant, shift) + e;
    c = Rotl(c, 10);
}
inline void StepF3(std::uint32_t& a, std::uint32_t b, std::uint32_t& c, std::uint32_t d,
                   std::uint32_t e, std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + ((b | ~c) ^ d) + word + constant, shift) + e;
    c = Rotl(c, 10);
}
inline void StepF4(std::uint32_t& a, std::uint32_t b, std::uint32_t& c, std::uint32_t d,
                   std::uint32_t e, std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + (c ^ (d & (b ^ c))) + word + constant, shift) + e;
    c = Rotl(c, 10);
}
inline void StepF5(std::uint32_t& a, std::uint32_t b, std::uint32_t& c, std::uint32_t d,
                   std::uint32_t e, std::uint32_t word, std::uint32_t constant, int shift) {
    a = Rotl(a + (b ^ (c | ~d)) + word + constant, shift) + e;
    c = Rotl(c, 10);
}

void RIPEMD160Compress(std::uint32_t* state, const unsigned char* block) {
    const std::uint32_t h0 = state[0], h1 = state[1], h2 = state[2], h3 = state[3];
    const std::uint32_t h4 = state[4];
    std::uint32_t a = h0, b = h1, c = h2, d = h3, e = h4;
    std::uint32_t ra = h0, rb = h1, rc = h2, rd = h3, re = h4;

    // Left line.
    StepF1(a, b, c, d, e, Word(block, 0), 0x00000000, 11);
    StepF1(e, a, b, c, d, Word(block, 1), 0x00000000, 14);
    StepF1(d, e, a, b, c, Word(block, 2), 0x00000000, 15);
    StepF1(c, d, e, a, b, Word(block, 3), 0x00000000, 12);
    StepF1(b, c, d, e, a, Word(block, 4), 0x00000000, 5);
    StepF1(a, b, c, d, e, Word(block, 5), 0x00000000, 8);
    StepF1(e, a, b, c, d, Word(block, 6), 0x00000000, 7);
    StepF1(d, e, a, b, c, Word(block, 7), 0x00000000, 9);
    StepF1(c, d, e, a, b, Word(block, 8), 0x00000000, 11);
    StepF1(b, c, d, e, a, Word(block, 9), 0x00000000, 13);
    StepF1(a, b, c, d, e, Word(block, 10), 0x00000000, 14);
    StepF1(e, a, b, c, d, Word(block, 11), 0x00000000, 15);
    StepF1(d, e, a, b, c, Word(block, 12), 0x00000000, 6);
    StepF1(c, d, e, a, b, Word(block, 13), 0x00000000, 7);
    StepF1(b, c, d, e, a, Word(block, 14), 0x00000000, 9);
    StepF1(a, b, c, d, e, Word(block, 15), 0x00000000, 8);

    StepF2(e, a, b, c, d, Word(block, 7), 0x5a827999, 7);
    StepF2(d, e, a, b, c, Word(block, 4), 0x5a827999, 6);
    StepF2(c, d, e, a, b, Word(block, 13), 0x5a827999, 8);
    StepF2(b, c, d, e, a, Word(block, 1), 0x5a827999, 13);
    StepF2(a, b, c, d, e, Word(block, 10), 0x5a827999, 11);
    StepF2(e, a, b, c, d, Word(block, 6), 0x5a827999, 9);
    StepF2(d, e, a, b, c, Word(block, 15), 0x5a827999, 7);
    StepF2(c, d, e, a, b, Word(block, 3), 0x5a827999, 15);
    StepF2(b, c, d, e, a, Word(block, 12), 0x5a827999, 7);
    StepF2(a, b, c, d, e, Word(block, 0), 0x5a827999, 12);
    StepF2(e, a, b, c, d, Word(block, 9), 0x5a827999, 15);
    StepF2(d, e, a, b, c, Word(block, 5), 0x5a827999, 9);
    StepF2(c, d, e, a, b, Word(block, 2), 0x5a827999, 11);
    StepF2(b, c, d, e, a, Word(block, 14), 0x5a827999, 7);
    StepF2(a, b, c, d, e, Word(block, 11), 0x5a827999, 13);
    StepF2(e, a, b, c, d, Word(block, 8), 0x5a827999, 12);

    StepF3(d, e, a, b, c, Word(block, 3), 0x6ed9eba1, 11);
    StepF3(c, d, e, a, b, Word(block, 10), 0x6ed9eba1, 13);
    StepF3(b, c, d, e, a, Word(block, 14), 0x6ed9eba1, 6);
    StepF3(a, b, c, d, e, Word(block, 4), 0x6ed9eba1, 7);
    StepF3(e, a, b, c, d, Word(block, 9), 0x6ed9eba1, 14);
    StepF3(d, e, a, b, c, Word(block, 15), 0x6ed9eba1, 9);
    StepF3(c, d, e, a, b, Word(block, 8), 0x6ed9eba1, 13);
    StepF3(b, c, d, e, a, Word(block, 1), 0x6ed9eba1, 15);
    StepF3(a, b, c, d, e, Word(block, 2), 0x6ed9eba1, 14);
    StepF3(e, a, b, c, d, Word(block, 7), 0x6ed9eba1, 8);
    StepF3(d, e, a, b, c, Word(block, 0), 0x6ed9eba1, 13);
    StepF3(c, d, e, a, b, Word(block, 6), 0x6ed9eba1, 6);
    StepF3(b, c, d, e, a, Word(block, 13), 0x6ed9eba1, 5);
    StepF3(a, b, c, d, e, Word(block, 11), 0x6ed9eba1, 12);
    StepF3(e, a, b, c, d, Word(block, 5), 0x6ed9eba1, 7);
    StepF3(d, e, a, b, c, Word(block, 12), 0x6ed9eba1, 5);

    StepF4(c, d, e, a, b, Word(block, 1), 0x8f1bbcdc, 11);
    StepF4(b, c, d, e, a, Word(block, 9), 0x8f1bbcdc, 12);
    StepF4(a, b, c, d, e, Word(block, 11), 0x8f1bbcdc, 14);
    StepF4(e, a, b, c, d, Word(block, 10), 0x8f1bbcdc, 15);
    StepF4(d, e, a, b, c, Word(block, 0), 0x8f1bbcdc, 14);
    StepF4(c, d, e, a, b, Word(block, 8), 0x8f1bbcdc, 15);
    StepF4(b, c, d, e, a, Word(block, 12), 0x8f1bbcdc, 9);
    StepF4(a, b, c, d, e, Word(block, 4), 0x8f1bbcdc, 8);
    StepF4(e, a, b, c, d, Word(block, 13), 0x8f1bbcdc, 9);
    StepF4(d, e, a, b, c, Word(block, 3), 0x8f1bbcdc, 14);
    StepF4(c, d, e, a, b, Word(block, 7), 0x8f1bbcdc, 5);
    StepF4(b, c, d, e, a, Word(block, 15), 0x8f1bbcdc, 6);
    StepF4(a, b, c, d, e, Word(block, 14), 0x8f1bbcdc, 8);
    StepF4(e, a, b, c, d, Word(block, 5), 0x8f1bbcdc, 6);
    StepF4(d, e, a, b, c, Word(block, 6), 0x8f1bbcdc, 5);
    StepF4(c, d, e, a, b, Word(block, 2), 0x8f1bbcdc, 12);

    StepF5(b, c, d, e, a, Word(block, 4), 0xa953fd4e, 9);
    StepF5(a, b, c, d, e, Word(block, 0), 0xa953fd4e, 15);
    StepF5(e, a, b, c, d, Word(block, 5), 0xa953fd4e, 5);
    StepF5(d, e, a, b, c, Word(block, 9), 0xa953fd4e, 11);
    StepF5(c, d, e, a, b, Word(block, 7), 0xa953fd4e, 6);
    StepF5(b, c, d, e, a, Word(block, 12), 0xa953fd4e, 8);
    StepF5(a, b, c, d, e, Word(block, 2), 0xa953fd4e, 13);
    StepF5(e, a, b, c, d, Word(block, 10), 0xa953fd4e, 12);
    StepF5(d, e, a, b, c, Word(block, 14), 0xa953fd4e, 5);
    StepF5(c, d, e, a, b, Word(block, 1), 0xa953fd4e, 12);
    StepF5(b, c, d, e, a, Word(block, 3), 0xa953fd4e, 13);
    StepF5(a, b, c, d, e, Word(block, 8), 0xa953fd4e, 14);
    StepF5(e, a, b, c, d, Word(block, 11), 0xa953fd4e, 11);
    StepF5(d, e, a, b, c, Word(block, 6), 0xa953fd4e, 8);
    StepF5(c, d, e, a, b, Word(block, 15), 0xa953fd4e, 5);
    StepF5(b, c, d, e, a, Word(block, 13), 0xa953fd4e, 6);

    // Right line.
    StepF5(ra, rb, rc, rd, re, Word(block, 5), 0x50a28be6, 8);
    StepF5(re, ra, rb, rc, rd, Word(block, 14), 0x50a28be6, 9);
    StepF5(rd, re, ra, rb, rc, Word(block, 7), 0x50a28be6, 9);
    StepF5(rc, rd, re, ra, rb, Word(block, 0), 0x50a28be6, 11);
    StepF5(rb, rc, rd, re, ra, Word(block, 9), 0x50a28be6, 13);
    StepF5(ra, rb, rc, rd, re, Word(block, 2), 0x50a28be6, 15);
    StepF5(re, ra, rb, rc, rd, Word(block, 11), 0x50a28be6, 15);
    StepF5(rd, re, ra, rb, rc, Word(block, 4), 0x50a28be6, 5);
    StepF5(rc, rd, re, ra, rb, Word(block, 13), 0x50a28be6, 7);
    StepF5(rb, rc, rd, re, ra, Word(block, 6), 0x50a28be6, 7);
    StepF5(ra, rb, rc, rd, re, Word(block, 15), 0x50a28be6, 8);
    StepF5(re, ra, rb, rc, rd, Word(block, 8), 0x50a28be6, 11);
    StepF5(rd, re, ra, rb, rc, Word(block, 1), 0x50a28be6, 14);
    StepF5(rc, rd, re, ra, rb, Word(block, 10), 0x50a28be6, 14);
    StepF5(rb, rc, rd, re, ra, Word(block, 3), 0x50a28be6, 12);
    StepF5(ra, rb, rc, rd, re, Word(block, 12), 0x50a28be6, 6);

    StepF4(re, ra, rb, rc, rd, Word(block, 6), 0x5c4dd124, 9);
    StepF4(rd, re, ra, rb, rc, Word(block, 11), 0x5c4dd124, 13);
    StepF4(rc, rd, re, ra, rb, Word(block, 3), 0x5c4dd124, 15);
    StepF4(rb, rc, rd, re, ra, Word(block, 7), 0x5c4dd124, 7);
    StepF4(ra, rb, rc, rd, re, Word(block, 0), 0x5c4dd124, 12);
    StepF4(re, ra, rb, rc, rd, Word(block, 13), 0x5c4dd124, 8);
    StepF4(rd, re, ra, rb, rc, Word(block, 5), 0x5c4dd124, 9);
    StepF4(rc, rd, re, ra, rb, Word(block, 10), 0x5c4dd124, 11);
    StepF4(rb, rc, rd, re, ra, Word(block, 14), 0x5c4dd124, 7);
    StepF4(ra, rb, rc, rd, re, Word(block, 15), 0x5c4dd124, 7);
    StepF4(re, ra, rb, rc, rd, Word(block, 8), 0x5c4dd124, 12);
    StepF4(rd, re, ra, rb, rc, Word(block, 12), 0x5c4dd124, 7);
    StepF4(rc, rd, re, ra, rb, Word(block, 4), 0x5c4dd124, 6);
    StepF4(rb, rc, rd, re, ra, Word(block, 9), 0x5c4dd124, 15);
    StepF4(ra, rb, rc, rd, re, Word(block, 1), 0x5c4dd124, 13);
    StepF4(re, ra, rb, rc, rd, Word(block, 2), 0x5c4dd124, 11);

    StepF3(rd, re, ra, rb, rc, Word(block, 15), 0x6d703ef3, 9);
    StepF3(rc, rd, re, ra, rb, Word(block, 5), 0x6d703ef3, 7);
    StepF3(rb, rc, rd, re, ra, Word(block, 1), 0x6d703ef3, 15);
    StepF3(ra, rb, rc, rd, re, Word(block, 3), 0x6d703ef3, 11);
    StepF3(re, ra, rb, rc, rd, Word(block, 7), 0x6d703ef3, 8);
    StepF3(rd, re, ra, rb, rc, Word(block, 14), 0x6d703ef3, 6);
    StepF3(rc, rd, re, ra, rb, Word(block, 6), 0x6d703ef3, 6);
    StepF3(rb, rc, rd, re, ra, Word(block, 9), 0x6d703ef3, 14);
    StepF3(ra, rb, rc, rd, re, Word(block, 11), 0x6d703ef3, 12);
    StepF3(re, ra, rb, rc, rd, Word(block, 8), 0x6d703ef3, 13);
    StepF3(rd, re, ra, rb, rc, Word(block, 12), 0x6d703ef3, 5);
    StepF3(rc, rd, re, ra, rb, Word(block, 2), 0x6d703ef3, 14);
    StepF3(rb, rc, rd, re, ra, Word(block, 10), 0x6d703ef3, 13);
    StepF3(ra, rb, rc, rd, re, Word(block, 0), 0x6d703ef3, 13);
    StepF3(re, ra, rb, rc, rd, Word(block, 4), 0x6d703ef3, 7);
    StepF3(rd, re, ra, rb, rc, Word(block, 13), 0x6d703ef3, 5);

    StepF2(rc, rd, re, ra, rb, Word(block, 8), 0x7a6d76e9, 15);
    StepF2(rb, rc, rd, re, ra, Word(block, 6), 0x7a6d76e9, 5);
    StepF2(ra, rb, rc, rd, re, Word(block, 4), 0x7a6d76e9, 8);
    StepF2(re, ra, rb, rc, rd, Word(block, 1), 0x7a6d76e9, 11);
    StepF2(rd, re, ra, rb, rc, Word(block, 3), 0x7a6d76e9, 14);
    StepF2(rc, rd, re, ra, rb, Word(block, 11), 0x7a6d76e9, 14);
    StepF2(rb, rc, rd, re, ra, Word(block, 15), 0x7a6d76e9, 6);
    StepF2(ra, rb, rc, rd, re, Word(block, 0), 0x7a6d76e9, 14);
    StepF2(re, ra, rb, rc, rd, Word(block, 5), 0x7a6d76e9, 6);
    StepF2(rd, re, ra, rb, rc, Word(block, 12), 0x7a6d76e9, 9);
    StepF2(rc, rd, re, ra, rb, Word(block, 2), 0x7a6d76e9, 12);
    StepF2(rb, rc, rd, re, ra, Word(block, 13), 0x7a6d76e9, 9);
    StepF2(ra, rb, rc, rd, re, Word(block, 9), 0x7a6d76e9, 12);
    StepF2(re, ra, rb, rc, rd, Word(block, 7), 0x7a6d76e9, 5);
    StepF2(rd, re, ra, rb, rc, Word(block, 10), 0x7a6d76e9, 15);
    StepF2(rc, rd, re, ra, rb, Word(block, 14), 0x7a6d76e9, 8);

    StepF1(rb, rc, rd, re, ra, Word(block, 12), 0x00000000, 8);
    StepF1(ra, rb, rc, rd, re, Word(block, 15), 0x00000000, 5);
    StepF1(re, ra, rb, rc, rd, Word(block, 10), 0x00000000, 12);
    StepF1(rd, re, ra, rb, rc, Word(block, 4), 0x00000000, 9);
    StepF1(rc, rd, re, ra, rb, Word(block, 1), 0x00000000, 12);
    StepF1(rb, rc, rd, re, ra, Word(block, 5), 0x00000000, 5);
    StepF1(ra, rb, rc, rd, re, Word(block, 8), 0x00000000, 14);
    StepF1(re, ra, rb, rc, rd, Word(block, 7), 0x00000000, 6);
    StepF1(rd, re, ra, rb, rc, Word(block, 6), 0x00000000, 8);
    StepF1(rc, rd, re, ra, rb, Word(block, 2), 0x00000000, 13);
    StepF1(rb, rc, rd, re, ra, Word(block, 13), 0x00000000, 6);
    StepF1(ra, rb, rc, rd, re, Word(block, 14), 0x00000000, 5);
    StepF1(re, ra, rb, rc, rd, Word(block, 0), 0x00000000, 15);
    StepF1(rd, re, ra, rb, rc, Word(block, 3), 0x00000000, 13);
    StepF1(rc, rd, re, ra, rb, Word(block, 9), 0x00000000, 11);
    StepF1(rb, rc, rd, re, ra, Word(block, 11), 0x00000000, 11);

    state[0] = h1 + c + rd;
    state[1] = h2 + d + re;
    state[2] = h3 + e + ra;
    state[3] = h4 + a + rb;
    state[4] = h0 + b + rc;
}

}  // namespace

namespace digest_internal {

void RIPEMD128Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) RIPEMD128Compress(state, blocks + 64 * i);
}

void RIPEMD160Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) RIPEMD160Compress(state, blocks + 64 * i);
}

}  // namespace digest_internal

void HashRIPEMD128(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       digest_internal::kMdInitialWords, 4,
                                       digest_internal::RIPEMD128Blocks);
}

void HashRIPEMD160(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       digest_internal::kMdInitialWords, 5,
                                       digest_internal::RIPEMD160Blocks);
}
