// SHA-0 and SHA-1, twins that differ only in the message schedule: SHA-1 rotates each expanded
// word left by one bit, SHA-0 does not.
#include "block_functions.h"

namespace {

using digest_internal::LoadBE32;
using digest_internal::Rotl;

// One step for each quarter of the 80: e += (a <<< 5) + f(b, c, d) + K + w, then b := b <<< 30.
// The callers rotate the roles of the five words instead of moving them.
inline void StepCh(std::uint32_t a, std::uint32_t& b, std::uint32_t c, std::uint32_t d,
                   std::uint32_t& e, std::uint32_t w) {
    e += Rotl(a, 5) + (d ^ (b & (c ^ d))) + 0x5A827999 + w;
    b = Rotl(b, 30);
}
inline void StepParity1(std::uint32_t a, std::uint32_t& b, std::uint32_t c, std::uint32_t d,
                        std::uint32_t& e, std::uint32_t w) {
    e += Rotl(a, 5) + (b ^ c ^ d) + 0x6ED9EBA1 + w;
    b = Rotl(b, 30);
}
inline void StepMaj(std::uint32_t a, std::uint32_t& b, std::uint32_t c, std::uint32_t d,
                    std::uint32_t& e, std::uint32_t w) {
    e += Rotl(a, 5) + ((b & c) | (d & (b | c))) + 0x8F1BBCDC + w;
    b = Rotl(b, 30);
}
inline void StepParity2(std::uint32_t a, std::uint32_t& b, std::uint32_t c, std::uint32_t d,
                        std::uint32_t& e, std::uint32_t w) {
    e += Rotl(a, 5) + (b ^ c ^ d) + 0xCA62C1D6 + w;
    b = Rotl(b, 30);
}

// The next schedule word, W[t] for t >= 16, kept in a rolling window of the last sixteen
// words. SHA-1 rotates it left by one bit; SHA-0 does not.
template <bool kRotate>
inline std::uint32_t Expand(std::uint32_t* w, int t) {
    const std::uint32_t mixed = w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15];
    w[t & 15] = kRotate ? Rotl(mixed, 1) : mixed;
    return w[t & 15];
}

// Compresses one block into the state. The schedule is expanded step by step in a local
// sixteen-word window and the five working words are locals, so that the whole block runs in
// registers; the state in the context is read at the start and added to at the end.
template <bool kRotate>
void CompressBlock(std::uint32_t* state, const unsigned char* block) {
    std::uint32_t w[16];
    for (int t = 0; t < 16; ++t) w[t] = LoadBE32(block + 4 * t);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];

    // Steps 0 to 19.
    StepCh(a, b, c, d, e, w[0]);
    StepCh(e, a, b, c, d, w[1]);
    StepCh(d, e, a, b, c, w[2]);
    StepCh(c, d, e, a, b, w[3]);
    StepCh(b, c, d, e, a, w[4]);
    StepCh(a, b, c, d, e, w[5]);
    StepCh(e, a, b, c, d, w[6]);
    StepCh(d, e, a, b, c, w[7]);
    StepCh(c, d, e, a, b, w[8]);
    StepCh(b, c, d, e, a, w[9]);
    StepCh(a, b, c, d, e, w[10]);
    StepCh(e, a, b, c, d, w[11]);
    StepCh(d, e, a, b, c, w[12]);
    StepCh(c, d, e, a, b, w[13]);
    StepCh(b, c, d, e, a, w[14]);
    StepCh(a, b, c, d, e, w[15]);
    StepCh(e, a, b, c, d, Expand<kRotate>(w, 16));
    StepCh(d, e, a, b, c, Expand<kRotate>(w, 17));
    StepCh(c, d, e, a, b, Expand<kRotate>(w, 18));
    StepCh(b, c, d, e, a, Expand<kRotate>(w, 19));
    // Steps 20 to 39.
    StepParity1(a, b, c, d, e, Expand<kRotate>(w, 20));
    StepParity1(e, a, b, c, d, Expand<kRotate>(w, 21));
    StepParity1(d, e, a, b, c, Expand<kRotate>(w, 22));
    StepParity1(c, d, e, a, b, Expand<kRotate>(w, 23));
    StepParity1(b, c, d, e, a, Expand<kRotate>(w, 24));
    StepParity1(a, b, c, d, e, Expand<kRotate>(w, 25));
    StepParity1(e, a, b, c, d, Expand<kRotate>(w, 26));
    StepParity1(d, e, a, b, c, Expand<kRotate>(w, 27));
    StepParity1(c, d, e, a, b, Expand<kRotate>(w, 28));
    StepParity1(b, c, d, e, a, Expand<kRotate>(w, 29));
    StepParity1(a, b, c, d, e, Expand<kRotate>(w, 30));
    StepParity1(e, a, b, c, d, Expand<kRotate>(w, 31));
    StepParity1(d, e, a, b, c, Expand<kRotate>(w, 32));
    StepParity1(c, d, e, a, b, Expand<kRotate>(w, 33));
    StepParity1(b, c, d, e, a, Expand<kRotate>(w, 34));
    StepParity1(a, b, c, d, e, Expand<kRotate>(w, 35));
    StepParity1(e, a, b, c, d, Expand<kRotate>(w, 36));
    StepParity1(d, e, a, b, c, Expand<kRotate>(w, 37));
    StepParity1(c, d, e, a, b, Expand<kRotate>(w, 38));
    StepParity1(b, c, d, e, a, Expand<kRotate>(w, 39));
    // Steps 40 to 59.
    StepMaj(a, b, c, d, e, Expand<kRotate>(w, 40));
    StepMaj(e, a, b, c, d, Expand<kRotate>(w, 41));
    StepMaj(d, e, a, b, c, Expand<kRotate>(w, 42));
    StepMaj(c, d, e, a, b, Expand<kRotate>(w, 43));
    StepMaj(b, c, d, e, a, Expand<kRotate>(w, 44));
    StepMaj(a, b, c, d, e, Expand<kRotate>(w, 45));
    StepMaj(e, a, b, c, d, Expand<kRotate>(w, 46));
    StepMaj(d, e, a, b, c, Expand<kRotate>(w, 47));
    StepMaj(c, d, e, a, b, Expand<kRotate>(w, 48));
    StepMaj(b, c, d, e, a, Expand<kRotate>(w, 49));
    StepMaj(a, b, c, d, e, Expand<kRotate>(w, 50));
    StepMaj(e, a, b, c, d, Expand<kRotate>(w, 51));
    StepMaj(d, e, a, b, c, Expand<kRotate>(w, 52));
    StepMaj(c, d, e, a, b, Expand<kRotate>(w, 53));
    StepMaj(b, c, d, e, a, Expand<kRotate>(w, 54));
    StepMaj(a, b, c, d, e, Expand<kRotate>(w, 55));
    StepMaj(e, a, b, c, d, Expand<kRotate>(w, 56));
    StepMaj(d, e, a, b, c, Expand<kRotate>(w, 57));
    StepMaj(c, d, e, a, b, Expand<kRotate>(w, 58));
    StepMaj(b, c, d, e, a, Expand<kRotate>(w, 59));
    // Steps 60 to 79.
    StepParity2(a, b, c, d, e, Expand<kRotate>(w, 60));
    StepParity2(e, a, b, c, d, Expand<kRotate>(w, 61));
    StepParity2(d, e, a, b, c, Expand<kRotate>(w, 62));
    StepParity2(c, d, e, a, b, Expand<kRotate>(w, 63));
    StepParity2(b, c, d, e, a, Expand<kRotate>(w, 64));
    StepParity2(a, b, c, d, e, Expand<kRotate>(w, 65));
    StepParity2(e, a, b, c, d, Expand<kRotate>(w, 66));
    StepParity2(d, e, a, b, c, Expand<kRotate>(w, 67));
    StepParity2(c, d, e, a, b, Expand<kRotate>(w, 68));
    StepParity2(b, c, d, e, a, Expand<kRotate>(w, 69));
    StepParity2(a, b, c, d, e, Expand<kRotate>(w, 70));
    StepParity2(e, a, b, c, d, Expand<kRotate>(w, 71));
    StepParity2(d, e, a, b, c, Expand<kRotate>(w, 72));
    StepParity2(c, d, e, a, b, Expand<kRotate>(w, 73));
    StepParity2(b, c, d, e, a, Expand<kRotate>(w, 74));
    StepParity2(a, b, c, d, e, Expand<kRotate>(w, 75));
    StepParity2(e, a, b, c, d, Expand<kRotate>(w, 76));
    StepParity2(d, e, a, b, c, Expand<kRotate>(w, 77));
    StepParity2(c, d, e, a, b, Expand<kRotate>(w, 78));
    StepParity2(b, c, d, e, a, Expand<kRotate>(w, 79));

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

}  // namespace

namespace digest_internal {

void SHA0Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) CompressBlock<false>(state, blocks + 64 * i);
}

void SHA1Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) CompressBlock<true>(state, blocks + 64 * i);
}

}  // namespace digest_internal
