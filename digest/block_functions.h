// The compression functions and starting words of the 64-byte-block digests, shared by the
// one-shot routines and the streams, and the run-time choice of processor-specific paths.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest_internal.h"

namespace digest_internal {

// MD4, MD5, SHA-0, SHA-1, RIPEMD-128 and RIPEMD-160 start from the first four or five of
// these words.
inline constexpr std::uint32_t kMdInitialWords[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE,
                                                     0x10325476, 0xC3D2E1F0};
inline constexpr std::uint32_t kSHA256InitialWords[8] = {0x6A09E667, 0xBB67AE85, 0x3C6EF372,
                                                         0xA54FF53A, 0x510E527F, 0x9B05688C,
                                                         0x1F83D9AB, 0x5BE0CD19};
inline constexpr std::uint32_t kRIPEMD256InitialWords[8] = {0x67452301, 0xEFCDAB89, 0x98BADCFE,
                                                            0x10325476, 0x76543210, 0xFEDCBA98,
                                                            0x89ABCDEF, 0x01234567};

// SHA-256's 64 round constants, used by the portable and the SHA-instruction paths.
extern const std::uint32_t kSHA256RoundConstants[64];

BlocksFunction MD4Blocks;
BlocksFunction MD5Blocks;
BlocksFunction SHA0Blocks;
BlocksFunction SHA1Blocks;
BlocksFunction SHA256Blocks;
BlocksFunction RIPEMD128Blocks;
BlocksFunction RIPEMD160Blocks;
BlocksFunction RIPEMD256Blocks;

bool ProcessorHasShaInstructions();
#if HASHCALC_DIGEST_X86
// The same compressions on the x86 SHA instructions, for processors that have them.
BlocksFunction SHA1BlocksOnShaInstructions;
BlocksFunction SHA256BlocksOnShaInstructions;
#endif

// MD2 works on 16-byte blocks: `stateAndChecksum` holds the 16-byte state and then the
// 16-byte checksum.
void MD2Blocks(unsigned char* stateAndChecksum, const unsigned char* blocks,
               std::size_t blockCount);

}  // namespace digest_internal
