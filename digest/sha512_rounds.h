// SHA-512's round constants, its initial values and those of its truncated relatives, and its
// step.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "block_functions.h"
#include "digest_internal.h"

namespace digest_internal {

inline constexpr int kSHA512StepCount = 80;

// The first 64 bits of the fractional parts of the cube roots of the first 80 primes.
alignas(64) inline constexpr std::uint64_t kSHA512RoundConstants[kSHA512StepCount] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

// SHA-512 starts from the first 64 bits of the fractional parts of the square roots of the
// first eight primes, SHA-384 from those of the ninth to sixteenth; SHA-512/256 from the
// values FIPS 180-4 derives for it.
inline constexpr std::uint64_t kSHA512InitialWords[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};
inline constexpr std::uint64_t kSHA384InitialWords[8] = {
    0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
    0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4,
};
inline constexpr std::uint64_t kSHA512_256InitialWords[8] = {
    0x22312194fc2bf72c, 0x9f555fa3c84c64c2, 0x2393b86b6f53b151, 0x963877195940eabd,
    0x96283ee2a88effe3, 0xbe5e1e2553863992, 0x2b0199fc2c85b8aa, 0x0eb72ddc81c52ca2,
};

// SHA-256 takes the first 32 of the same fractional bits: its tables check the high halves of
// these, so that a mistyped digit fails the build.
constexpr bool HighHalvesMatch(const std::uint64_t* wide, const std::uint32_t* narrow, int count) {
    for (int i = 0; i < count; ++i) {
        if (static_cast<std::uint32_t>(wide[i] >> 32) != narrow[i]) return false;
    }
    return true;
}
static_assert(HighHalvesMatch(kSHA512RoundConstants, kSHA256RoundConstants, 64));
static_assert(HighHalvesMatch(kSHA512InitialWords, kSHA256InitialWords, 8));

constexpr std::uint64_t Rotr64(std::uint64_t value, int bits) {
    return std::rotr(value, bits);
}

HASHCALC_ALWAYS_INLINE std::uint64_t SHA512BigSigma0(std::uint64_t x) {
    return Rotr64(x, 28) ^ Rotr64(x, 34) ^ Rotr64(x, 39);
}
HASHCALC_ALWAYS_INLINE std::uint64_t SHA512BigSigma1(std::uint64_t x) {
    return Rotr64(x, 14) ^ Rotr64(x, 18) ^ Rotr64(x, 41);
}
HASHCALC_ALWAYS_INLINE std::uint64_t SHA512SmallSigma0(std::uint64_t x) {
    return Rotr64(x, 1) ^ Rotr64(x, 8) ^ (x >> 7);
}
HASHCALC_ALWAYS_INLINE std::uint64_t SHA512SmallSigma1(std::uint64_t x) {
    return Rotr64(x, 19) ^ Rotr64(x, 61) ^ (x >> 6);
}

// Step t of SHA-512, a to h being the words of `v` in roles 0 to 7 (they turn instead of
// moving), `wk` the schedule word plus the round constant: d += T1 and h := T1 + T2.
// Maj(a, b, c) is b ^ ((a ^ b) & (b ^ c)), and b ^ c is the a ^ b of the step before, which
// `carriedXor` hands on.
template <int kStep>
HASHCALC_ALWAYS_INLINE void SHA512Step(std::uint64_t* v, std::uint64_t wk,
                                       std::uint64_t& carriedXor) {
    const std::uint64_t a = v[RoleIndex(8, kStep, 0)];
    const std::uint64_t b = v[RoleIndex(8, kStep, 1)];
    std::uint64_t& d = v[RoleIndex(8, kStep, 3)];
    const std::uint64_t e = v[RoleIndex(8, kStep, 4)];
    const std::uint64_t f = v[RoleIndex(8, kStep, 5)];
    const std::uint64_t g = v[RoleIndex(8, kStep, 6)];
    std::uint64_t& h = v[RoleIndex(8, kStep, 7)];
    const std::uint64_t t1 = (h + wk) + SHA512BigSigma1(e) + (g ^ (e & (f ^ g)));
    const std::uint64_t aXorB = a ^ b;
    const std::uint64_t t2 = SHA512BigSigma0(a) + (b ^ (aXorB & carriedXor));
    carriedXor = aXorB;
    d += t1;
    h = t1 + t2;
}

// The 64-bit-word SHA-2 compression, the schedule interleaved with the steps.
void SHA512Blocks(std::uint64_t* chain, const unsigned char* blocks, std::size_t blockCount);

// The same with the message schedule in AVX2 vectors, two blocks at a time, and the steps on
// rorx (sha512_x86.cpp); needs AVX2, BMI1 and BMI2. Not built for Windows, whose GCC cannot
// align the stack for the vectors it keeps there.
#if HASHCALC_DIGEST_X86 && !defined(_WIN32)
#define HASHCALC_SHA512_VECTOR_SCHEDULE 1
void SHA512BlocksWithAVX2(std::uint64_t* chain, const unsigned char* blocks,
                          std::size_t blockCount);
#else
#define HASHCALC_SHA512_VECTOR_SCHEDULE 0
#endif

}  // namespace digest_internal
