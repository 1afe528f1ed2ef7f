// MD5 (RFC 1321) and MD4 (RFC 1320). Both pad the message inside the caller's buffer and keep
// their four chaining words in the caller's scratch area; each compression is written out step
// by step with the published word order, additive constants and rotation amounts.
#include "block_functions.h"
#include "digest.h"
#include "digest_internal.h"

namespace {

using digest_internal::LoadLE32;
using digest_internal::Rotl;

// Message word `index` of a block, read in place.
inline std::uint32_t Word(const unsigned char* block, int index) {
    return LoadLE32(block + 4 * index);
}

// MD5's four round functions, each as one step: a := b + ((a + f(b, c, d) + word + constant) <<<
// shift).
inline void FF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
               std::uint32_t word, std::uint32_t constant, int shift) {
    a = b + Rotl(a + (d ^ (b & (c ^ d))) + word + constant, shift);
}
inline void GG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
               std::uint32_t word, std::uint32_t constant, int shift) {
    a = b + Rotl(a + (c ^ (d & (b ^ c))) + word + constant, shift);
}
inline void HH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
               std::uint32_t word, std::uint32_t constant, int shift) {
    a = b + Rotl(a + (b ^ c ^ d) + word + constant, shift);
}
inline void II(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
               std::uint32_t word, std::uint32_t constant, int shift) {
    a = b + Rotl(a + (c ^ (b | ~d)) + word + constant, shift);
}

void MD5Compress(std::uint32_t* state, const unsigned char* block) {
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    // Round 1
    FF(a, b, c, d, Word(block, 0), 0xd76aa478, 7);
    FF(d, a, b, c, Word(block, 1), 0xe8c7b756, 12);
    FF(c, d, a, b, Word(block, 2), 0x242070db, 17);
    FF(b, c, d, a, Word(block, 3), 0xc1bdceee, 22);
    FF(a, b, c, d, Word(block, 4), 0xf57c0faf, 7);
    FF(d, a, b, c, Word(block, 5), 0x4787c62a, 12);
    FF(c, d, a, b, Word(block, 6), 0xa8304613, 17);
    FF(b, c, d, a, Word(block, 7), 0xfd469501, 22);
    FF(a, b, c, d, Word(block, 8), 0x698098d8, 7);
    FF(d, a, b, c, Word(block, 9), 0x8b44f7af, 12);
    FF(c, d, a, b, Word(block, 10), 0xffff5bb1, 17);
    FF(b, c, d, a, Word(block, 11), 0x895cd7be, 22);
    FF(a, b, c, d, Word(block, 12), 0x6b901122, 7);
    FF(d, a, b, c, Word(block, 13), 0xfd987193, 12);
    FF(c, d, a, b, Word(block, 14), 0xa679438e, 17);
    FF(b, c, d, a, Word(block, 15), 0x49b40821, 22);
    // Round 2
    GG(a, b, c, d, Word(block, 1), 0xf61e2562, 5);
    GG(d, a, b, c, Word(block, 6), 0xc040b340, 9);
    GG(c, d, a, b, Word(block, 11), 0x265e5a51, 14);
    GG(b, c, d, a, Word(block, 0), 0xe9b6c7aa, 20);
    GG(a, b, c, d, Word(block, 5), 0xd62f105d, 5);
    GG(d, a, b, c, Word(block, 10), 0x02441453, 9);
    GG(c, d, a, b, Word(block, 15), 0xd8a1e681, 14);
    GG(b, c, d, a, Word(block, 4), 0xe7d3fbc8, 20);
    GG(a, b, c, d, Word(block, 9), 0x21e1cde6, 5);
    GG(d, a, b, c, Word(block, 14), 0xc33707d6, 9);
    GG(c, d, a, b, Word(block, 3), 0xf4d50d87, 14);
    GG(b, c, d, a, Word(block, 8), 0x455a14ed, 20);
    GG(a, b, c, d, Word(block, 13), 0xa9e3e905, 5);
    GG(d, a, b, c, Word(block, 2), 0xfcefa3f8, 9);
    GG(c, d, a, b, Word(block, 7), 0x676f02d9, 14);
    GG(b, c, d, a, Word(block, 12), 0x8d2a4c8a, 20);
    // Round 3
    HH(a, b, c, d, Word(block, 5), 0xfffa3942, 4);
    HH(d, a, b, c, Word(block, 8), 0x8771f681, 11);
    HH(c, d, a, b, Word(block, 11), 0x6d9d6122, 16);
    HH(b, c, d, a, Word(block, 14), 0xfde5380c, 23);
    HH(a, b, c, d, Word(block, 1), 0xa4beea44, 4);
    HH(d, a, b, c, Word(block, 4), 0x4bdecfa9, 11);
    HH(c, d, a, b, Word(block, 7), 0xf6bb4b60, 16);
    HH(b, c, d, a, Word(block, 10), 0xbebfbc70, 23);
    HH(a, b, c, d, Word(block, 13), 0x289b7ec6, 4);
    HH(d, a, b, c, Word(block, 0), 0xeaa127fa, 11);
    HH(c, d, a, b, Word(block, 3), 0xd4ef3085, 16);
    HH(b, c, d, a, Word(block, 6), 0x04881d05, 23);
    HH(a, b, c, d, Word(block, 9), 0xd9d4d039, 4);
    HH(d, a, b, c, Word(block, 12), 0xe6db99e5, 11);
    HH(c, d, a, b, Word(block, 15), 0x1fa27cf8, 16);
    HH(b, c, d, a, Word(block, 2), 0xc4ac5665, 23);
    // Round 4
    II(a, b, c, d, Word(block, 0), 0xf4292244, 6);
    II(d, a, b, c, Word(block, 7), 0x432aff97, 10);
    II(c, d, a, b, Word(block, 14), 0xab9423a7, 15);
    II(b, c, d, a, Word(block, 5), 0xfc93a039, 21);
    II(a, b, c, d, Word(block, 12), 0x655b59c3, 6);
    II(d, a, b, c, Word(block, 3), 0x8f0ccc92, 10);
    II(c, d, a, b, Word(block, 10), 0xffeff47d, 15);
    II(b, c, d, a, Word(block, 1), 0x85845dd1, 21);
    II(a, b, c, d, Word(block, 8), 0x6fa87e4f, 6);
    II(d, a, b, c, Word(block, 15), 0xfe2ce6e0, 10);
    II(c, d, a, b, Word(block, 6), 0xa3014314, 15);
    II(b, c, d, a, Word(block, 13), 0x4e0811a1, 21);
    II(a, b, c, d, Word(block, 4), 0xf7537e82, 6);
    II(d, a, b, c, Word(block, 11), 0xbd3af235, 10);
    II(c, d, a, b, Word(block, 2), 0x2ad7d2bb, 15);
    II(b, c, d, a, Word(block, 9), 0xeb86d391, 21);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

// MD4's three rounds: a := (a + f(b, c, d) + word + constant) <<< shift.
inline void Md4Round1(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                      std::uint32_t word, int shift) {
    a = Rotl(a + (d ^ (b & (c ^ d))) + word, shift);
}
inline void Md4Round2(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                      std::uint32_t word, int shift) {
    a = Rotl(a + ((b & c) | (d & (b | c))) + word + 0x5A827999, shift);
}
inline void Md4Round3(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                      std::uint32_t word, int shift) {
    a = Rotl(a + (b ^ c ^ d) + word + 0x6ED9EBA1, shift);
}

void MD4Compress(std::uint32_t* state, const unsigned char* block) {
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    // Round 1
    Md4Round1(a, b, c, d, Word(block, 0), 3);
    Md4Round1(d, a, b, c, Word(block, 1), 7);
    Md4Round1(c, d, a, b, Word(block, 2), 11);
    Md4Round1(b, c, d, a, Word(block, 3), 19);
    Md4Round1(a, b, c, d, Word(block, 4), 3);
    Md4Round1(d, a, b, c, Word(block, 5), 7);
    Md4Round1(c, d, a, b, Word(block, 6), 11);
    Md4Round1(b, c, d, a, Word(block, 7), 19);
    Md4Round1(a, b, c, d, Word(block, 8), 3);
    Md4Round1(d, a, b, c, Word(block, 9), 7);
    Md4Round1(c, d, a, b, Word(block, 10), 11);
    Md4Round1(b, c, d, a, Word(block, 11), 19);
    Md4Round1(a, b, c, d, Word(block, 12), 3);
    Md4Round1(d, a, b, c, Word(block, 13), 7);
    Md4Round1(c, d, a, b, Word(block, 14), 11);
    Md4Round1(b, c, d, a, Word(block, 15), 19);
    // Round 2
    Md4Round2(a, b, c, d, Word(block, 0), 3);
    Md4Round2(d, a, b, c, Word(block, 4), 5);
    Md4Round2(c, d, a, b, Word(block, 8), 9);
    Md4Round2(b, c, d, a, Word(block, 12), 13);
    Md4Round2(a, b, c, d, Word(block, 1), 3);
    Md4Round2(d, a, b, c, Word(block, 5), 5);
    Md4Round2(c, d, a, b, Word(block, 9), 9);
    Md4Round2(b, c, d, a, Word(block, 13), 13);
    Md4Round2(a, b, c, d, Word(block, 2), 3);
    Md4Round2(d, a, b, c, Word(block, 6), 5);
    Md4Round2(c, d, a, b, Word(block, 10), 9);
    Md4Round2(b, c, d, a, Word(block, 14), 13);
    Md4Round2(a, b, c, d, Word(block, 3), 3);
    Md4Round2(d, a, b, c, Word(block, 7), 5);
    Md4Round2(c, d, a, b, Word(block, 11), 9);
    Md4Round2(b, c, d, a, Word(block, 15), 13);
    // Round 3
    Md4Round3(a, b, c, d, Word(block, 0), 3);
    Md4Round3(d, a, b, c, Word(block, 8), 9);
    Md4Round3(c, d, a, b, Word(block, 4), 11);
    Md4Round3(b, c, d, a, Word(block, 12), 15);
    Md4Round3(a, b, c, d, Word(block, 2), 3);
    Md4Round3(d, a, b, c, Word(block, 10), 9);
    Md4Round3(c, d, a, b, Word(block, 6), 11);
    Md4Round3(b, c, d, a, Word(block, 14), 15);
    Md4Round3(a, b, c, d, Word(block, 1), 3);
    Md4Round3(d, a, b, c, Word(block, 9), 9);
    Md4Round3(c, d, a, b, Word(block, 5), 11);
    Md4Round3(b, c, d, a, Word(block, 13), 15);
    Md4Round3(a, b, c, d, Word(block, 3), 3);
    Md4Round3(d, a, b, c, Word(block, 11), 9);
    Md4Round3(c, d, a, b, Word(block, 7), 11);
    Md4Round3(b, c, d, a, Word(block, 15), 15);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

namespace digest_internal {

void MD5Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) MD5Compress(state, blocks + 64 * i);
}

void MD4Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) MD4Compress(state, blocks + 64 * i);
}

}  // namespace digest_internal

void HashMD5(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       digest_internal::kMdInitialWords, 4,
                                       digest_internal::MD5Blocks);
}

void HashMD4(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       digest_internal::kMdInitialWords, 4,
                                       digest_internal::MD4Blocks);
}
