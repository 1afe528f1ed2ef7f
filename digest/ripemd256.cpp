// RIPEMD-256: the rounds of RIPEMD-128 run on two four-word states, one word exchanged between
// them after each round, all eight words kept as the result. Full blocks are compressed where
// they lie in the caller's buffer; only the tail is copied into the static context and padded.
#include <utility>

#include "digest.h"
#include "digest_internal.h"
#include "ripemd_lines.h"
#include "win32.h"

namespace {

using digest_internal::ByteSwap32;

struct RIPEMD256Context {
    unsigned char lastBlocks[128];  // message tail, padding and little-endian bit count
    std::uint32_t state[8];         // H0 to H7
    digest_internal::TailLayout layout;
};

RIPEMD256Context Context;

void RIPEMD256Init() {
    constexpr std::uint32_t kInitialWords[8] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                                0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567};
    for (int i = 0; i < 8; ++i) Context.state[i] = kInitialWords[i];
}

void RIPEMD256PadTail(const unsigned char* message, std::uint32_t length) {
    Context.layout = digest_internal::BuildLastBlocks(Context.lastBlocks, message, length,
                                                      digest_internal::LengthOrder::kLittleEndian);
}

// The working words live in locals for the block (rather than in the context) so that they
// stay in registers; the result is the same.
void RIPEMD256Block(const unsigned char* block) {
    std::uint32_t* h = Context.state;
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    std::uint32_t ra = h[4], rb = h[5], rc = h[6], rd = h[7];

    ripemd_lines::LeftRound1(a, b, c, d, block);
    ripemd_lines::RightRound1(ra, rb, rc, rd, block);
    std::swap(a, ra);
    ripemd_lines::LeftRound2(a, b, c, d, block);
    ripemd_lines::RightRound2(ra, rb, rc, rd, block);
    std::swap(b, rb);
    ripemd_lines::LeftRound3(a, b, c, d, block);
    ripemd_lines::RightRound3(ra, rb, rc, rd, block);
    std::swap(c, rc);
    ripemd_lines::LeftRound4(a, b, c, d, block);
    ripemd_lines::RightRound4(ra, rb, rc, rd, block);
    std::swap(d, rd);

    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += ra;
    h[5] += rb;
    h[6] += rc;
    h[7] += rd;
}

}  // namespace

void HashRIPEMD256(char* buffer, std::uint32_t length) {
    const auto* message = reinterpret_cast<const unsigned char*>(buffer);
    RIPEMD256Init();
    RIPEMD256PadTail(message, length);
    for (std::uint32_t i = 0; i < Context.layout.fullBlockCount; ++i) {
        RIPEMD256Block(message + static_cast<std::size_t>(i) * 64);
    }
    for (std::uint32_t j = 0; j < Context.layout.lastBlockCount; ++j) {
        RIPEMD256Block(Context.lastBlocks + 64 * j);
    }
    // The words are published least significant byte first; swapped, "%.8x" prints them so.
    std::uint32_t* h = Context.state;
    for (int i = 0; i < 8; ++i) h[i] = ByteSwap32(h[i]);
    wsprintfA(buffer, "%.8x%.8x%.8x%.8x%.8x%.8x%.8x%.8x", h[0], h[1], h[2], h[3], h[4], h[5], h[6],
              h[7]);
}
