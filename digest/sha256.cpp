// SHA-256 with a static context: full blocks are compressed where they lie in the caller's
// buffer; only the tail is copied into the context and padded there.
#include "digest.h"
#include "digest_internal.h"
#include "win32.h"

namespace {

using digest_internal::LoadBE32;
using digest_internal::Rotr;

struct SHA256Context {
    std::uint32_t schedule[64];     // W0 to W63 of the block being compressed
    unsigned char lastBlocks[128];  // message tail, padding and big-endian bit count
    std::uint32_t state[8];         // H0 to H7
    digest_internal::TailLayout layout;
};

SHA256Context Context;

inline std::uint32_t BigSigma0(std::uint32_t x) { return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22); }
inline std::uint32_t BigSigma1(std::uint32_t x) { return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25); }
inline std::uint32_t SmallSigma0(std::uint32_t x) { return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3); }
inline std::uint32_t SmallSigma1(std::uint32_t x) { return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10); }

// One step. The callers rotate the roles of the eight words instead of moving them, so the
// word that receives the new A is passed as h and the one that receives the new E as d.
inline void Step(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d,
                 std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t& h,
                 std::uint32_t w, std::uint32_t constant) {
    const std::uint32_t t1 = h + BigSigma1(e) + (g ^ (e & (f ^ g))) + constant + w;
    const std::uint32_t t2 = BigSigma0(a) + ((a & b) | (c & (a | b)));
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

// The working words are locals for the block so that they stay in registers.
void SHA256Block(const unsigned char* block) {
    std::uint32_t* w = Context.schedule;
    for (int t = 0; t < 16; ++t) w[t] = LoadBE32(block + 4 * t);
    for (int t = 16; t < 64; ++t) {
        w[t] = SmallSigma1(w[t - 2]) + w[t - 7] + SmallSigma0(w[t - 15]) + w[t - 16];
    }

    std::uint32_t* state = Context.state;
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    Step(a, b, c, d, e, f, g, h, w[0], 0x428a2f98);
    Step(h, a, b, c, d, e, f, g, w[1], 0x71374491);
    Step(g, h, a, b, c, d, e, f, w[2], 0xb5c0fbcf);
    Step(f, g, h, a, b, c, d, e, w[3], 0xe9b5dba5);
    Step(e, f, g, h, a, b, c, d, w[4], 0x3956c25b);
    Step(d, e, f, g, h, a, b, c, w[5], 0x59f111f1);
    Step(c, d, e, f, g, h, a, b, w[6], 0x923f82a4);
    Step(b, c, d, e, f, g, h, a, w[7], 0xab1c5ed5);
    Step(a, b, c, d, e, f, g, h, w[8], 0xd807aa98);
    Step(h, a, b, c, d, e, f, g, w[9], 0x12835b01);
    Step(g, h, a, b, c, d, e, f, w[10], 0x243185be);
    Step(f, g, h, a, b, c, d, e, w[11], 0x550c7dc3);
    Step(e, f, g, h, a, b, c, d, w[12], 0x72be5d74);
    Step(d, e, f, g, h, a, b, c, w[13], 0x80deb1fe);
    Step(c, d, e, f, g, h, a, b, w[14], 0x9bdc06a7);
    Step(b, c, d, e, f, g, h, a, w[15], 0xc19bf174);
    Step(a, b, c, d, e, f, g, h, w[16], 0xe49b69c1);
    Step(h, a, b, c, d, e, f, g, w[17], 0xefbe4786);
    Step(g, h, a, b, c, d, e, f, w[18], 0x0fc19dc6);
    Step(f, g, h, a, b, c, d, e, w[19], 0x240ca1cc);
    Step(e, f, g, h, a, b, c, d, w[20], 0x2de92c6f);
    Step(d, e, f, g, h, a, b, c, w[21], 0x4a7484aa);
    Step(c, d, e, f, g, h, a, b, w[22], 0x5cb0a9dc);
    Step(b, c, d, e, f, g, h, a, w[23], 0x76f988da);
    Step(a, b, c, d, e, f, g, h, w[24], 0x983e5152);
    Step(h, a, b, c, d, e, f, g, w[25], 0xa831c66d);
    Step(g, h, a, b, c, d, e, f, w[26], 0xb00327c8);
    Step(f, g, h, a, b, c, d, e, w[27], 0xbf597fc7);
    Step(e, f, g, h, a, b, c, d, w[28], 0xc6e00bf3);
    Step(d, e, f, g, h, a, b, c, w[29], 0xd5a79147);
    Step(c, d, e, f, g, h, a, b, w[30], 0x06ca6351);
    Step(b, c, d, e, f, g, h, a, w[31], 0x14292967);
    Step(a, b, c, d, e, f, g, h, w[32], 0x27b70a85);
    Step(h, a, b, c, d, e, f, g, w[33], 0x2e1b2138);
    Step(g, h, a, b, c, d, e, f, w[34], 0x4d2c6dfc);
    Step(f, g, h, a, b, c, d, e, w[35], 0x53380d13);
    Step(e, f, g, h, a, b, c, d, w[36], 0x650a7354);
    Step(d, e, f, g, h, a, b, c, w[37], 0x766a0abb);
    Step(c, d, e, f, g, h, a, b, w[38], 0x81c2c92e);
    Step(b, c, d, e, f, g, h, a, w[39], 0x92722c85);
    Step(a, b, c, d, e, f, g, h, w[40], 0xa2bfe8a1);
    Step(h, a, b, c, d, e, f, g, w[41], 0xa81a664b);
    Step(g, h, a, b, c, d, e, f, w[42], 0xc24b8b70);
    Step(f, g, h, a, b, c, d, e, w[43], 0xc76c51a3);
    Step(e, f, g, h, a, b, c, d, w[44], 0xd192e819);
    Step(d, e, f, g, h, a, b, c, w[45], 0xd6990624);
    Step(c, d, e, f, g, h, a, b, w[46], 0xf40e3585);
    Step(b, c, d, e, f, g, h, a, w[47], 0x106aa070);
    Step(a, b, c, d, e, f, g, h, w[48], 0x19a4c116);
    Step(h, a, b, c, d, e, f, g, w[49], 0x1e376c08);
    Step(g, h, a, b, c, d, e, f, w[50], 0x2748774c);
    Step(f, g, h, a, b, c, d, e, w[51], 0x34b0bcb5);
    Step(e, f, g, h, a, b, c, d, w[52], 0x391c0cb3);
    Step(d, e, f, g, h, a, b, c, w[53], 0x4ed8aa4a);
    Step(c, d, e, f, g, h, a, b, w[54], 0x5b9cca4f);
    Step(b, c, d, e, f, g, h, a, w[55], 0x682e6ff3);
    Step(a, b, c, d, e, f, g, h, w[56], 0x748f82ee);
    Step(h, a, b, c, d, e, f, g, w[57], 0x78a5636f);
    Step(g, h, a, b, c, d, e, f, w[58], 0x84c87814);
    Step(f, g, h, a, b, c, d, e, w[59], 0x8cc70208);
    Step(e, f, g, h, a, b, c, d, w[60], 0x90befffa);
    Step(d, e, f, g, h, a, b, c, w[61], 0xa4506ceb);
    Step(c, d, e, f, g, h, a, b, w[62], 0xbef9a3f7);
    Step(b, c, d, e, f, g, h, a, w[63], 0xc67178f2);
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
    wsprintfA(buffer, "%.8x%.8x%.8x%.8x%.8x%.8x%.8x%.8x", h[0], h[1], h[2], h[3], h[4], h[5],
              h[6], h[7]);
}
