// BLAKE3 (hash mode, 256-bit output) as shared by the portable and the x86 forms: flags, the
// message schedule, the compression of one block, and the wide kernels each form provides
// for whole chunks and for parent nodes. The tree and the stream are written once, in
// blake3.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blake2.h"

namespace digest_internal {

inline constexpr std::size_t kBLAKE3BlockBytes = 64;
inline constexpr std::size_t kBLAKE3ChunkBytes = 1024;
inline constexpr int kBLAKE3Rounds = 7;

// Domain flags of a compression.
inline constexpr std::uint32_t kBLAKE3ChunkStart = 1;
inline constexpr std::uint32_t kBLAKE3ChunkEnd = 2;
inline constexpr std::uint32_t kBLAKE3Parent = 4;
inline constexpr std::uint32_t kBLAKE3Root = 8;

// Between rounds the message words are permuted: word i of the next round is word
// kBLAKE3Permutation[i] of this one.
inline constexpr unsigned char kBLAKE3Permutation[16] = {2, 6,  3,  10, 7, 0,  4,  13,
                                                         1, 11, 12, 5,  9, 14, 15, 8};

// The permutation applied round after round, as BLAKE2's sigma is written: round r reads
// the block's word kBLAKE3Schedule.word[r][i] where round 0 reads word i.
struct BLAKE3Schedule {
    unsigned char word[kBLAKE3Rounds][16];
};

constexpr BLAKE3Schedule MakeBLAKE3Schedule() {
    BLAKE3Schedule schedule{};
    for (int i = 0; i < 16; ++i) schedule.word[0][i] = static_cast<unsigned char>(i);
    for (int round = 1; round < kBLAKE3Rounds; ++round) {
        for (int i = 0; i < 16; ++i) {
            schedule.word[round][i] = schedule.word[round - 1][kBLAKE3Permutation[i]];
        }
    }
    return schedule;
}

inline constexpr BLAKE3Schedule kBLAKE3Schedule = MakeBLAKE3Schedule();

// Compresses one block of 16 message words under chaining value `cv` and writes the new
// chaining value (the first half of the output) to `out`, which may be `cv`.
void BLAKE3Compress(const std::uint32_t* cv, const std::uint32_t* m, std::uint64_t counter,
                    std::uint32_t blockLength, std::uint32_t flags, std::uint32_t* out);

// Hashes `count` whole chunks lying one after another at `chunks`, the first of them chunk
// number `counter`, and writes their chaining values, eight words each, to `cvs`.
using BLAKE3ChunksFunction = void(const unsigned char* chunks, std::size_t count,
                                  std::uint64_t counter, std::uint32_t* cvs);
// Hashes `count` parent nodes that are not the root: parent i's block is the sixteen words at
// `children + 16 * i` (its children's chaining values, left then right). Writes their chaining
// values to `cvs`, which must not overlap `children`.
using BLAKE3ParentsFunction = void(const std::uint32_t* children, std::size_t count,
                                   std::uint32_t* cvs);

BLAKE3ChunksFunction BLAKE3Chunks;
BLAKE3ParentsFunction BLAKE3Parents;
#if HASHCALC_DIGEST_X86
BLAKE3ChunksFunction BLAKE3ChunksSSE41;
BLAKE3ParentsFunction BLAKE3ParentsSSE41;
#if !defined(_WIN32)
BLAKE3ChunksFunction BLAKE3ChunksAVX2;
BLAKE3ParentsFunction BLAKE3ParentsAVX2;
BLAKE3ChunksFunction BLAKE3ChunksAVX512;
BLAKE3ParentsFunction BLAKE3ParentsAVX512;
#endif
#endif

}  // namespace digest_internal
