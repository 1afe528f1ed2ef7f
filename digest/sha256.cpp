// SHA-256's portable compression function, its 64 steps unrolled by the compiler from one
// step template.
#include <utility>

#include "block_functions.h"

namespace {

using digest_internal::LoadBE32;
using digest_internal::RoleIndex;
using digest_internal::Rotr;

inline std::uint32_t BigSigma0(std::uint32_t x) {
    return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22);
}
inline std::uint32_t BigSigma1(std::uint32_t x) {
    return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25);
}
inline std::uint32_t SmallSigma0(std::uint32_t x) {
    return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3);
}
inline std::uint32_t SmallSigma1(std::uint32_t x) {
    return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10);
}

// Schedule word W[t], kept in a rolling window of the last sixteen words: the block's own
// words first, then each new word expanded from those before it.
template <int kStep>
HASHCALC_ALWAYS_INLINE std::uint32_t Schedule(std::uint32_t* w) {
    if constexpr (kStep >= 16) {
        w[kStep & 15] += SmallSigma1(w[(kStep - 2) & 15]) + w[(kStep - 7) & 15] +
                         SmallSigma0(w[(kStep - 15) & 15]);
    }
    return w[kStep & 15];
}

// Step t, a to h being the words of `v` in roles 0 to 7: d += T1 and h := T1 + T2. Maj(a, b, c)
// is computed as b ^ ((a ^ b) & (b ^ c)); b ^ c is the a ^ b of the step before, which
// `carriedXor` hands on.
template <int kStep>
HASHCALC_ALWAYS_INLINE void Step(std::uint32_t* v, std::uint32_t* w, std::uint32_t& carriedXor) {
    const std::uint32_t a = v[RoleIndex(8, kStep, 0)];
    const std::uint32_t b = v[RoleIndex(8, kStep, 1)];
    std::uint32_t& d = v[RoleIndex(8, kStep, 3)];
    const std::uint32_t e = v[RoleIndex(8, kStep, 4)];
    const std::uint32_t f = v[RoleIndex(8, kStep, 5)];
    const std::uint32_t g = v[RoleIndex(8, kStep, 6)];
    std::uint32_t& h = v[RoleIndex(8, kStep, 7)];
    // e, the newest word, joins the sum last.
    const std::uint32_t t1 =
        (h + digest_internal::kSHA256RoundConstants[kStep] + Schedule<kStep>(w)) + BigSigma1(e) +
        (g ^ (e & (f ^ g)));
    const std::uint32_t aXorB = a ^ b;
    const std::uint32_t t2 = BigSigma0(a) + (b ^ (aXorB & carriedXor));
    carriedXor = aXorB;
    d += t1;
    h = t1 + t2;
}

template <int... kSteps>
HASHCALC_ALWAYS_INLINE void Steps(std::uint32_t* v, std::uint32_t* w,
                                  std::integer_sequence<int, kSteps...>) {
    std::uint32_t carriedXor = v[1] ^ v[2];
    (Step<kSteps>(v, w, carriedXor), ...);
}

}  // namespace

namespace digest_internal {

void SHA256Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        std::uint32_t w[16];
        for (std::size_t t = 0; t < 16; ++t) w[t] = LoadBE32(blocks + 64 * i + 4 * t);
        std::uint32_t v[8];
        for (int k = 0; k < 8; ++k) v[k] = state[k];
        Steps(v, w, std::make_integer_sequence<int, 64>());
        for (int k = 0; k < 8; ++k) state[k] += v[k];
    }
}

}  // namespace digest_internal
