// RIPEMD-256: the rounds of RIPEMD-128 run on two four-word states, one word exchanged between
// them after each round, all eight words kept as the result.
#include "block_functions.h"
#include "ripemd_schedule.h"

namespace digest_internal {

void RIPEMD256Blocks(std::uint32_t* h, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        const unsigned char* block = blocks + 64 * i;
        std::uint32_t left[4] = {h[0], h[1], h[2], h[3]};
        std::uint32_t right[4] = {h[4], h[5], h[6], h[7]};
        ripemd::FourWordLines<true>(left, right, block);
        for (int k = 0; k < 4; ++k) {
            h[k] += left[k];
            h[4 + k] += right[k];
        }
    }
}

}  // namespace digest_internal
