// SHA-0 and SHA-1, twins that differ only in the message schedule: SHA-1 rotates each expanded
// word left by one bit, SHA-0 does not. The 80 steps are unrolled by the compiler from one
// step template.
#include <utility>

#include "block_functions.h"

namespace {

using digest_internal::LoadBE32;
using digest_internal::RoleIndex;
using digest_internal::Rotl;

constexpr std::uint32_t kConstant[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};

// Schedule word W[t], kept in a rolling window of the last sixteen words: the block's own
// words first, then each new word expanded from those before it.
template <bool kRotate, int kStep>
HASHCALC_ALWAYS_INLINE std::uint32_t Schedule(std::uint32_t* w) {
    if constexpr (kStep >= 16) {
        const std::uint32_t mixed =
            w[(kStep - 3) & 15] ^ w[(kStep - 8) & 15] ^ w[(kStep - 14) & 15] ^ w[kStep & 15];
        w[kStep & 15] = kRotate ? Rotl(mixed, 1) : mixed;
    }
    return w[kStep & 15];
}

// Step t: e += (a <<< 5) + f(b, c, d) + K + W[t], then b := b <<< 30, where a to e are the
// words of `v` in roles 0 to 4.
// a is the word the step before computed; it is added last, so the rest of the sum is ready
// when it arrives. f is Ch, Parity, Maj and Parity for the four quarters of the 80; Maj is
// written as an addition of two halves that never share a set bit.
template <bool kRotate, int kStep>
HASHCALC_ALWAYS_INLINE void Step(std::uint32_t* v, std::uint32_t* w) {
    constexpr int kQuarter = kStep / 20;
    const std::uint32_t a = v[RoleIndex(5, kStep, 0)];
    std::uint32_t& b = v[RoleIndex(5, kStep, 1)];
    const std::uint32_t c = v[RoleIndex(5, kStep, 2)];
    const std::uint32_t d = v[RoleIndex(5, kStep, 3)];
    std::uint32_t& e = v[RoleIndex(5, kStep, 4)];
    std::uint32_t sum = e + Schedule<kRotate, kStep>(w) + kConstant[kQuarter];
    if constexpr (kQuarter == 0) sum += d ^ (b & (c ^ d));
    if constexpr (kQuarter == 1 || kQuarter == 3) sum += b ^ c ^ d;
    if constexpr (kQuarter == 2) sum += (c & d) + (b & (c ^ d));
    e = sum + Rotl(a, 5);
    b = Rotl(b, 30);
}

template <bool kRotate, int... kSteps>
HASHCALC_ALWAYS_INLINE void Steps(std::uint32_t* v, std::uint32_t* w,
                                  std::integer_sequence<int, kSteps...>) {
    (Step<kRotate, kSteps>(v, w), ...);
}

template <bool kRotate>
void CompressBlocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        std::uint32_t w[16];
        for (std::size_t t = 0; t < 16; ++t) w[t] = LoadBE32(blocks + 64 * i + 4 * t);
        std::uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
        Steps<kRotate>(v, w, std::make_integer_sequence<int, 80>());
        for (int k = 0; k < 5; ++k) state[k] += v[k];
    }
}

}  // namespace

namespace digest_internal {

void SHA0Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    CompressBlocks<false>(state, blocks, blockCount);
}

void SHA1Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    CompressBlocks<true>(state, blocks, blockCount);
}

}  // namespace digest_internal
