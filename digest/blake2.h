// BLAKE2b and BLAKE2s (RFC 7693), unkeyed: the starting words, the message schedule, G and
// its round (BLAKE3's rounds are BLAKE2s's with a schedule of their own), and the compression
// over runs of blocks.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "block_functions.h"
#include "digest_internal.h"

namespace digest_internal {

// BLAKE2b starts from SHA-512's initial words, BLAKE2s from SHA-256's (kSHA256InitialWords).
inline constexpr std::uint64_t kBLAKE2bInitialWords[8] = {
    0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B, 0xA54FF53A5F1D36F1,
    0x510E527FADE682D1, 0x9B05688C2B3E6C1F, 0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179,
};

// The message schedule: round r reads message words kBLAKE2Sigma[r % 10]. BLAKE2b runs 12
// rounds, BLAKE2s 10.
inline constexpr unsigned char kBLAKE2Sigma[10][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4},
    {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13},
    {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11},
    {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5},
    {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
};

// Rotation distances of G, right rotations, in the order G applies them. BLAKE3 uses
// BLAKE2s's.
inline constexpr int kBLAKE2bRotations[4] = {32, 24, 16, 63};
inline constexpr int kBLAKE2sRotations[4] = {16, 12, 8, 7};

inline constexpr int kBLAKE2bRounds = 12;
inline constexpr int kBLAKE2sRounds = 10;

// G mixes two message words into four of the sixteen working words.
template <typename Word, const int* kRotations>
HASHCALC_ALWAYS_INLINE void G(Word* v, int a, int b, int c, int d, Word x, Word y) {
    v[a] = v[a] + v[b] + x;
    v[d] = std::rotr(static_cast<Word>(v[d] ^ v[a]), kRotations[0]);
    v[c] = v[c] + v[d];
    v[b] = std::rotr(static_cast<Word>(v[b] ^ v[c]), kRotations[1]);
    v[a] = v[a] + v[b] + y;
    v[d] = std::rotr(static_cast<Word>(v[d] ^ v[a]), kRotations[2]);
    v[c] = v[c] + v[d];
    v[b] = std::rotr(static_cast<Word>(v[b] ^ v[c]), kRotations[3]);
}

// One round over the working words as a 4x4 matrix: G down the four columns, then along the
// four diagonals, taking message words in the order `s` gives.
template <typename Word, const int* kRotations>
HASHCALC_ALWAYS_INLINE void Round(Word* v, const Word* m, const unsigned char* s) {
    G<Word, kRotations>(v, 0, 4, 8, 12, m[s[0]], m[s[1]]);
    G<Word, kRotations>(v, 1, 5, 9, 13, m[s[2]], m[s[3]]);
    G<Word, kRotations>(v, 2, 6, 10, 14, m[s[4]], m[s[5]]);
    G<Word, kRotations>(v, 3, 7, 11, 15, m[s[6]], m[s[7]]);
    G<Word, kRotations>(v, 0, 5, 10, 15, m[s[8]], m[s[9]]);
    G<Word, kRotations>(v, 1, 6, 11, 12, m[s[10]], m[s[11]]);
    G<Word, kRotations>(v, 2, 7, 8, 13, m[s[12]], m[s[13]]);
    G<Word, kRotations>(v, 3, 4, 9, 14, m[s[14]], m[s[15]]);
}

// RFC 7693's compression F over `blockCount` consecutive blocks at `blocks`. Before each block
// the two-word byte counter `counter` (low word first) grows by `counted`: the block size for
// blocks inside the message, the message bytes it holds for the final one. `finalMask` is all
// ones only for the final block, which always comes alone.
using BLAKE2bBlocksFunction = void(std::uint64_t* h, std::uint64_t* counter,
                                   const unsigned char* blocks, std::size_t blockCount,
                                   std::uint32_t counted, std::uint64_t finalMask);
using BLAKE2sBlocksFunction = void(std::uint32_t* h, std::uint32_t* counter,
                                   const unsigned char* blocks, std::size_t blockCount,
                                   std::uint32_t counted, std::uint32_t finalMask);

BLAKE2bBlocksFunction BLAKE2bBlocks;
BLAKE2sBlocksFunction BLAKE2sBlocks;

}  // namespace digest_internal
