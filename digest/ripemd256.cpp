// RIPEMD-256: the rounds of RIPEMD-128 run on two four-word states, one word exchanged between
// them after each round, all eight words kept as the result.
#include <utility>

#include "block_functions.h"
#include "ripemd_lines.h"

namespace digest_internal {

void RIPEMD256Blocks(std::uint32_t* h, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        const unsigned char* block = blocks + 64 * i;
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
}

}  // namespace digest_internal
