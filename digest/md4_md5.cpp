// MD5 (RFC 1321) and MD4 (RFC 1320). Both pad the message inside the caller's buffer and keep
// their four chaining words in the caller's scratch area. Each compression function is
// unrolled by the compiler from its schedule (message word, rotation and constant of every
// step), written once below in the RFCs' order.
#include <utility>

#include "block_functions.h"
#include "digest.h"
#include "digest_internal.h"
#include "row_streams.h"

namespace {

using digest_internal::LoadLE32;
using digest_internal::RoleIndex;
using digest_internal::Rotl;

// One row per round.
// clang-format off
constexpr std::uint8_t kMD5Word[64] = {
    0, 1, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
    1, 6, 11, 0,  5,  10, 15, 4,  9,  14, 3,  8,  13, 2,  7,  12,
    5, 8, 11, 14, 1,  4,  7,  10, 13, 0,  3,  6,  9,  12, 15, 2,
    0, 7, 14, 5,  12, 3,  10, 1,  8,  15, 6,  13, 4,  11, 2,  9,
};
// clang-format on
// The four steps of a round rotate by these amounts in turn.
constexpr std::uint8_t kMD5Shift[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
constexpr std::uint32_t kMD5Constant[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// clang-format off
constexpr std::uint8_t kMD4Word[48] = {
    0, 1, 2, 3,  4, 5,  6, 7,  8, 9, 10, 11, 12, 13, 14, 15,
    0, 4, 8, 12, 1, 5,  9, 13, 2, 6, 10, 14, 3,  7,  11, 15,
    0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5,  13, 3,  11, 7,  15,
};
// clang-format on
constexpr std::uint8_t kMD4Shift[3][4] = {{3, 7, 11, 19}, {3, 5, 9, 13}, {3, 9, 11, 15}};
constexpr std::uint32_t kMD4Constant[3] = {0x00000000, 0x5A827999, 0x6ED9EBA1};

// The round functions add their value to `sum`, which already holds the older operands, and
// use b, the word the step before computed, as late as they can: every step waits for b, so
// the fewer operations follow it, the shorter the chain through the block. Where the two
// halves of a function never have a bit set in the same place, OR is written as an addition
// so that the half without b joins the sum early.
HASHCALC_ALWAYS_INLINE std::uint32_t AddChoose(std::uint32_t sum, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d) {
    return sum + (d ^ (b & (c ^ d)));  // b ? c : d
}
HASHCALC_ALWAYS_INLINE std::uint32_t AddChooseByD(std::uint32_t sum, std::uint32_t b,
                                                  std::uint32_t c, std::uint32_t d) {
    return (sum + (c & ~d)) + (b & d);  // d ? b : c
}
HASHCALC_ALWAYS_INLINE std::uint32_t AddParity(std::uint32_t sum, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d) {
    return sum + (b ^ (c ^ d));
}
HASHCALC_ALWAYS_INLINE std::uint32_t AddMD5Round4(std::uint32_t sum, std::uint32_t b,
                                                  std::uint32_t c, std::uint32_t d) {
    return sum + (c ^ (b | ~d));
}
HASHCALC_ALWAYS_INLINE std::uint32_t AddMajority(std::uint32_t sum, std::uint32_t b,
                                                 std::uint32_t c, std::uint32_t d) {
    return (sum + (c & d)) + (b & (c ^ d));
}

// One step of MD5 (a := b + ((a + f(b, c, d) + word + constant) <<< shift)) or of MD4
// (a := (a + f(b, c, d) + word + constant) <<< shift), a to d being the words of `v` in roles
// 0 to 3.
template <bool kMD5, int kStep>
HASHCALC_ALWAYS_INLINE void Step(std::uint32_t* v, const unsigned char* block) {
    constexpr int kRound = kStep / 16;
    constexpr int kWord = kMD5 ? kMD5Word[kStep] : kMD4Word[kStep];
    constexpr std::uint32_t kConstant = kMD5 ? kMD5Constant[kStep] : kMD4Constant[kRound];
    constexpr int kShift = kMD5 ? kMD5Shift[kRound][kStep % 4] : kMD4Shift[kRound][kStep % 4];
    std::uint32_t& a = v[RoleIndex(4, kStep, 0)];
    const std::uint32_t b = v[RoleIndex(4, kStep, 1)];
    const std::uint32_t c = v[RoleIndex(4, kStep, 2)];
    const std::uint32_t d = v[RoleIndex(4, kStep, 3)];
    const std::uint32_t sum = a + LoadLE32(block + 4 * static_cast<std::size_t>(kWord)) + kConstant;
    std::uint32_t mixed;
    if constexpr (kRound == 0) mixed = AddChoose(sum, b, c, d);
    if constexpr (kRound == 1)
        mixed = kMD5 ? AddChooseByD(sum, b, c, d) : AddMajority(sum, b, c, d);
    if constexpr (kRound == 2) mixed = AddParity(sum, b, c, d);
    if constexpr (kRound == 3) mixed = AddMD5Round4(sum, b, c, d);
    a = kMD5 ? b + Rotl(mixed, kShift) : Rotl(mixed, kShift);
}

template <bool kMD5, int... kSteps>
HASHCALC_ALWAYS_INLINE void Steps(std::uint32_t* v, const unsigned char* block,
                                  std::integer_sequence<int, kSteps...>) {
    (Step<kMD5, kSteps>(v, block), ...);
}

template <bool kMD5>
void CompressBlocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        std::uint32_t v[4] = {state[0], state[1], state[2], state[3]};
        Steps<kMD5>(v, blocks + 64 * i, std::make_integer_sequence<int, (kMD5 ? 64 : 48)>());
        for (int k = 0; k < 4; ++k) state[k] += v[k];
    }
}

}  // namespace

namespace digest_internal {

void MD5Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    CompressBlocks<true>(state, blocks, blockCount);
}

void MD4Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    CompressBlocks<false>(state, blocks, blockCount);
}

}  // namespace digest_internal

void HashMD5(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       DigestRow(DigestKind::kMD5).blocks);
}

void HashMD4(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       DigestRow(DigestKind::kMD4).blocks);
}
