// RIPEMD-128 and RIPEMD-160: each block runs a left and a right line of steps on copies of the
// chaining words and then folds both lines into them.
#include "block_functions.h"
#include "digest.h"
#include "ripemd_schedule.h"
#include "row_streams.h"

namespace digest_internal {

void RIPEMD128Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        const unsigned char* block = blocks + 64 * i;
        std::uint32_t left[4] = {state[0], state[1], state[2], state[3]};
        std::uint32_t right[4] = {state[0], state[1], state[2], state[3]};
        ripemd::FourWordLines<false>(left, right, block);
        const std::uint32_t h0 = state[0];
        state[0] = state[1] + left[2] + right[3];
        state[1] = state[2] + left[3] + right[0];
        state[2] = state[3] + left[0] + right[1];
        state[3] = h0 + left[1] + right[2];
    }
}

void RIPEMD160Blocks(std::uint32_t* state, const unsigned char* blocks, std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        const unsigned char* block = blocks + 64 * i;
        std::uint32_t left[5] = {state[0], state[1], state[2], state[3], state[4]};
        std::uint32_t right[5] = {state[0], state[1], state[2], state[3], state[4]};
        ripemd::FiveWordSteps<0>(left, right, block, std::make_integer_sequence<int, 80>());
        const std::uint32_t h0 = state[0];
        state[0] = state[1] + left[2] + right[3];
        state[1] = state[2] + left[3] + right[4];
        state[2] = state[3] + left[4] + right[0];
        state[3] = state[4] + left[0] + right[1];
        state[4] = h0 + left[1] + right[2];
    }
}

}  // namespace digest_internal

void HashRIPEMD128(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       DigestRow(DigestKind::kRIPEMD128).blocks);
}

void HashRIPEMD160(char* buffer, std::uint32_t length, void* scratch) {
    digest_internal::HashPaddedInPlace(reinterpret_cast<unsigned char*>(buffer), length,
                                       static_cast<unsigned char*>(scratch),
                                       DigestRow(DigestKind::kRIPEMD160).blocks);
}
