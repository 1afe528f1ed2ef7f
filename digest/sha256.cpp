// SHA-256 with a static context: full blocks are compressed where they lie in the caller's
// buffer; only the tail is copied into the context and padded there.
#include "digest.h"
#include "digest_internal.h"
#include "win32.h"

namespace {

using digest_internal::LoadBE32;
using digest_internal::Rotr;

struct SHA256Context {
    unsigned char lastBlocks[128];  // message tail, padding and big-endian bit count
    std::uint32_t state[8];         // H0 to H7
    digest_internal::TailLayout layout;
};

SHA256Context Context;

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

void SHA256Init() {
    constexpr std::uint32_t kInitialWords[8] = {0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A,
                                                0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19};
    for (int i = 0; i < 8; ++i) Context.state[i] = kInitialWords[i];
}

void SHA256PadTail(const unsigned char* message, std::uint32_t length) {
    Context.layout = digest_internal::BuildLastBlocks(Context.lastBlocks, message, length,
                                                      digest_internal::LengthOrder::kBigEndian);
}

// The next schedule word, W[t] for t >= 16, kept in a rolling window of the last sixteen words.
inline std::uint32_t Expand(std::uint32_t* w, int t) {
    w[t & 15] += SmallSigma1(w[(t - 2) & 15]) + w[(t - 7) & 15] + SmallSigma0(w[(t - 15) & 15]);
    return w[t & 15];
}

// Compresses one block into the state. The schedule is expanded step by step in a local
// sixteen-word window and the eight working words are locals, so that the whole block runs in
// registers; the state in the context is read at the start and added to at the end.
void SHA256Block(const unsigned char* block) {
    std::uint32_t w[16];
    for (int t = 0; t < 16; ++t) w[t] = LoadBE32(block + 4 * t);

    std::uint32_t* state = Context.state;
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    std::uint32_t bXorC = b ^ c;

    Step(a, b, c, d, e, f, g, h, w[0], 0x428a2f98, bXorC);
    Step(h, a, b, c, d, e, f, g, w[1], 0x71374491, bXorC);
    Step(g, h, a, b, c, d, e, f, w[2], 0xb5c0fbcf, bXorC);
    Step(f, g, h, a, b, c, d, e, w[3], 0xe9b5dba5, bXorC);
    Step(e, f, g, h, a, b, c, d, w[4], 0x3956c25b, bXorC);
    Step(d, e, f, g, h, a, b, c, w[5], 0x59f111f1, bXorC);
    Step(c, d, e, f, g, h, a, b, w[6], 0x923f82a4, bXorC);
    Step(b, c, d, e, f, g, h, a, w[7], 0xab1c5ed5, bXorC);
    Step(a, b, c, d, e, f, g, h, w[8], 0xd807aa98, bXorC);
    Step(h, a, b, c, d, e, f, g, w[9], 0x12835b01, bXorC);
    Step(g, h, a, b, c, d, e, f, w[10], 0x243185be, bXorC);
    Step(f, g, h, a, b, c, d, e, w[11], 0x550c7dc3, bXorC);
    Step(e, f, g, h, a, b, c, d, w[12], 0x72be5d74, bXorC);
    Step(d, e, f, g, h, a, b, c, w[13], 0x80deb1fe, bXorC);
    Step(c, d, e, f, g, h, a, b, w[14], 0x9bdc06a7, bXorC);
    Step(b, c, d, e, f, g, h, a, w[15], 0xc19bf174, bXorC);
    Step(a, b, c, d, e, f, g, h, Expand(w, 16), 0xe49b69c1, bXorC);
    Step(h, a, b, c, d, e, f, g, Expand(w, 17), 0xefbe4786, bXorC);
    Step(g, h, a, b, c, d, e, f, Expand(w, 18), 0x0fc19dc6, bXorC);
    Step(f, g, h, a, b, c, d, e, Expand(w, 19), 0x240ca1cc, bXorC);
    Step(e, f, g, h, a, b, c, d, Expand(w, 20), 0x2de92c6f, bXorC);
    Step(d, e, f, g, h, a, b, c, Expand(w, 21), 0x4a7484aa, bXorC);
    Step(c, d, e, f, g, h, a, b, Expand(w, 22), 0x5cb0a9dc, bXorC);
    Step(b, c, d, e, f, g, h, a, Expand(w, 23), 0x76f988da, bXorC);
    Step(a, b, c, d, e, f, g, h, Expand(w, 24), 0x983e5152, bXorC);
    Step(h, a, b, c, d, e, f, g, Expand(w, 25), 0xa831c66d, bXorC);
    Step(g, h, a, b, c, d, e, f, Expand(w, 26), 0xb00327c8, bXorC);
    Step(f, g, h, a, b, c, d, e, Expand(w, 27), 0xbf597fc7, bXorC);
    Step(e, f, g, h, a, b, c, d, Expand(w, 28), 0xc6e00bf3, bXorC);
    Step(d, e, f, g, h, a, b, c, Expand(w, 29), 0xd5a79147, bXorC);
    Step(c, d, e, f, g, h, a, b, Expand(w, 30), 0x06ca6351, bXorC);
    Step(b, c, d, e, f, g, h, a, Expand(w, 31), 0x14292967, bXorC);
    Step(a, b, c, d, e, f, g, h, Expand(w, 32), 0x27b70a85, bXorC);
    Step(h, a, b, c, d, e, f, g, Expand(w, 33), 0x2e1b2138, bXorC);
    Step(g, h, a, b, c, d, e, f, Expand(w, 34), 0x4d2c6dfc, bXorC);
    Step(f, g, h, a, b, c, d, e, Expand(w, 35), 0x53380d13, bXorC);
    Step(e, f, g, h, a, b, c, d, Expand(w, 36), 0x650a7354, bXorC);
    Step(d, e, f, g, h, a, b, c, Expand(w, 37), 0x766a0abb, bXorC);
    Step(c, d, e, f, g, h, a, b, Expand(w, 38), 0x81c2c92e, bXorC);
    Step(b, c, d, e, f, g, h, a, Expand(w, 39), 0x92722c85, bXorC);
    Step(a, b, c, d, e, f, g, h, Expand(w, 40), 0xa2bfe8a1, bXorC);
    Step(h, a, b, c, d, e, f, g, Expand(w, 41), 0xa81a664b, bXorC);
    Step(g, h, a, b, c, d, e, f, Expand(w, 42), 0xc24b8b70, bXorC);
    Step(f, g, h, a, b, c, d, e, Expand(w, 43), 0xc76c51a3, bXorC);
    Step(e, f, g, h, a, b, c, d, Expand(w, 44), 0xd192e819, bXorC);
    Step(d, e, f, g, h, a, b, c, Expand(w, 45), 0xd6990624, bXorC);
    Step(c, d, e, f, g, h, a, b, Expand(w, 46), 0xf40e3585, bXorC);
    Step(b, c, d, e, f, g, h, a, Expand(w, 47), 0x106aa070, bXorC);
    Step(a, b, c, d, e, f, g, h, Expand(w, 48), 0x19a4c116, bXorC);
    Step(h, a, b, c, d, e, f, g, Expand(w, 49), 0x1e376c08, bXorC);
    Step(g, h, a, b, c, d, e, f, Expand(w, 50), 0x2748774c, bXorC);
    Step(f, g, h, a, b, c, d, e, Expand(w, 51), 0x34b0bcb5, bXorC);
    Step(e, f, g, h, a, b, c, d, Expand(w, 52), 0x391c0cb3, bXorC);
    Step(d, e, f, g, h, a, b, c, Expand(w, 53), 0x4ed8aa4a, bXorC);
    Step(c, d, e, f, g, h, a, b, Expand(w, 54), 0x5b9cca4f, bXorC);
    Step(b, c, d, e, f, g, h, a, Expand(w, 55), 0x682e6ff3, bXorC);
    Step(a, b, c, d, e, f, g, h, Expand(w, 56), 0x748f82ee, bXorC);
    Step(h, a, b, c, d, e, f, g, Expand(w, 57), 0x78a5636f, bXorC);
    Step(g, h, a, b, c, d, e, f, Expand(w, 58), 0x84c87814, bXorC);
    Step(f, g, h, a, b, c, d, e, Expand(w, 59), 0x8cc70208, bXorC);
    Step(e, f, g, h, a, b, c, d, Expand(w, 60), 0x90befffa, bXorC);
    Step(d, e, f, g, h, a, b, c, Expand(w, 61), 0xa4506ceb, bXorC);
    Step(c, d, e, f, g, h, a, b, Expand(w, 62), 0xbef9a3f7, bXorC);
    Step(b, c, d, e, f, g, h, a, Expand(w, 63), 0xc67178f2, bXorC);

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

void HashSHA256(char* buffer, std::uint32_t length) {
    const auto* message = reinterpret_cast<const unsigned char*>(buffer);
    SHA256Init();
    SHA256PadTail(message, length);
    for (std::uint32_t i = 0; i < Context.layout.fullBlockCount; ++i) {
        SHA256Block(message + static_cast<std::size_t>(i) * 64);
    }
    for (std::uint32_t j = 0; j < Context.layout.lastBlockCount; ++j) {
        SHA256Block(Context.lastBlocks + 64 * j);
    }
    const std::uint32_t* h = Context.state;
    wsprintfA(buffer, "%.8x%.8x%.8x%.8x%.8x%.8x%.8x%.8x", h[0], h[1], h[2], h[3], h[4], h[5], h[6],
              h[7]);
}
