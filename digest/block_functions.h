// The compression functions and starting words of the 64-byte-block digests, shared by the
// one-shot routines and the streams through the digest table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest_internal.h"
#include "processor.h"
#include "stream_records.h"

namespace digest_internal {

// MD4, MD5, SHA-0, SHA-1, RIPEMD-128 and RIPEMD-160 start from the first four or five of
// these words.
inline constexpr std::uint32_t kMdInitialWords[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                                     0xC3D2E1F0};
inline constexpr std::uint32_t kSHA256InitialWords[8] = {
    0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A, 0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19};
inline constexpr std::uint32_t kRIPEMD256InitialWords[8] = {
    0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567};

// SHA-256's 64 round constants, used by the portable and the SHA-instruction paths.
alignas(16) inline constexpr std::uint32_t kSHA256RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

BlocksFunction MD4Blocks;
BlocksFunction MD5Blocks;
BlocksFunction SHA0Blocks;
BlocksFunction SHA1Blocks;
BlocksFunction SHA256Blocks;
BlocksFunction RIPEMD128Blocks;
BlocksFunction RIPEMD160Blocks;
BlocksFunction RIPEMD256Blocks;

// The same compressions on the x86 SHA instructions, for processors that have them; null
// where the build has none.
inline constexpr unsigned kShaInstructionFeatures = kFeatureSHA | kFeatureSSE41 | kFeatureSSSE3;
#if HASHCALC_DIGEST_X86
BlocksFunction SHA1BlocksOnShaInstructions;
BlocksFunction SHA256BlocksOnShaInstructions;
inline constexpr BlocksFunction* kSHA1OnShaInstructions = SHA1BlocksOnShaInstructions;
inline constexpr BlocksFunction* kSHA256OnShaInstructions = SHA256BlocksOnShaInstructions;
#else
inline constexpr BlocksFunction* kSHA1OnShaInstructions = nullptr;
inline constexpr BlocksFunction* kSHA256OnShaInstructions = nullptr;
#endif

// MD2 works on 16-byte blocks: `stateAndChecksum` holds the 16-byte state and then the
// 16-byte checksum.
void MD2Blocks(unsigned char* stateAndChecksum, const unsigned char* blocks,
               std::size_t blockCount);

}  // namespace digest_internal
