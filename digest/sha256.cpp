// SHA-256's portable compression function.
#include "block_functions.h"

namespace {

using digest_internal::LoadBE32;
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

// One step. The callers rotate the roles of the eight words instead of moving them, so the
// word that receives the new A is passed as h and the one that receives the new E as d.
// Maj(a, b, c) is computed as b ^ ((a ^ b) & (b ^ c)); b ^ c is the a ^ b of the step before,
// which `carriedXor` hands on.
inline void Step(std::uint32_t a, std::uint32_t b, [[maybe_unused]] std::uint32_t c,
                 std::uint32_t& d, std::uint32_t e, std::uint32_t f, std::uint32_t g,
                 std::uint32_t& h, std::uint32_t w, std::uint32_t constant,
                 std::uint32_t& carriedXor) {
    const std::uint32_t t1 = h + BigSigma1(e) + (g ^ (e & (f ^ g))) + constant + w;
    const std::uint32_t aXorB = a ^ b;
    const std::uint32_t t2 = BigSigma0(a) + (b ^ (aXorB & carriedXor));
    carriedXor = aXorB;
    d += t1;
    h = t1 + t2;
}

// Schedule word W[t], kept in a rolling window of the last sixteen words: the block's own
// words first, then each new word expanded from those before it.
inline std::uint32_t Schedule(std::uint32_t* w, int t) {
    if (t >= 16) {
        w[t & 15] += SmallSigma1(w[(t - 2) & 15]) + w[(t - 7) & 15] + SmallSigma0(w[(t - 15) & 15]);
    }
    return w[t & 15];
}

// Compresses one block into the state. The schedule is expanded step by step in a local
// sixteen-word window and the eight working words are locals, so that the whole block runs in
// registers; the state is read at the start and added to at the end.
void SHA256Block(std::uint32_t* state, const unsigned char* block) {
    std::uint32_t w[16];
    for (int t = 0; t < 16; ++t) w[t] = LoadBE32(block + 4 * t);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    std::uint32_t bXorC = b ^ c;

    // Eight steps per pass, so that the roles of the words come back round; the first sixteen
    // take the block's words as they are, the others expand the schedule.
    const std::uint32_t* k = digest_internal::kSHA256RoundConstants;
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
    for (int t = 0; t < 64; t += 8) {
        Step(a, b, c, d, e, f, g, h, Schedule(w, t), k[t], bXorC);
        Step(h, a, b, c, d, e, f, g, Schedule(w, t + 1), k[t + 1], bXorC);
        Step(g, h, a, b, c, d, e, f, Schedule(w, t + 2), k[t + 2], bXorC);
        Step(f, g, h, a, b, c, d, e, Schedule(w, t + 3), k[t + 3], bXorC);
        Step(e, f, g, h, a, b, c, d, Schedule(w, t + 4), k[t + 4], bXorC);
        Step(d, e, f, g, h, a, b, c, Schedule(w, t + 5), k[t + 5], bXorC);
        Step(c, d, e, f, g, h, a, b, Schedule(w, t + 6), k[t + 6], bXorC);
        Step(b, c, d, e, f, g, h, a, Schedule(w, t + 7), k[t + 7], bXorC);
    }

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

}  // namespace

namespace digest_internal {

const std::uint32_t kSHA256RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
    0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
    0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786,
    0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
    0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a,
    0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

void SHA256Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) SHA256Block(state, blocks + 64 * i);
}

}  // namespace digest_internal
