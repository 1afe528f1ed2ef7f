// The twelve digests in incremental form, for inputs of any size: start a stream, feed it any
// number of byte ranges, finish it into exactly the text the one-shot routine gives for the
// same bytes. Lengths are 64-bit. Streams are independent records: several may run at once,
// each on its own thread, unlike the one-shot routines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest.h"

// Catalogue order: DigestCatalogue[static_cast<int>(kind)] describes the same algorithm.
enum class DigestKind : int {
    kMD5,
    kMD2,
    kMD4,
    kSHA0,
    kSHA1,
    kSHA256,
    kRIPEMD128,
    kRIPEMD160,
    kRIPEMD256,
    kCRC16,
    kCRC32,
    kCRC32b,
};

struct DigestStream {
    DigestKind kind;
    bool hardware;              // runs on the processor-specific path chosen at the start
    std::uint32_t pendingCount;  // bytes waiting in `pending`
    std::uint64_t length;        // bytes fed so far
    alignas(16) std::uint32_t state[8];    // chaining words, MD2's state and checksum, or the CRC
    // The bytes of a block not yet complete; at the finish, the padded last one or two blocks.
    alignas(16) unsigned char pending[128];
};

void StartDigest(DigestStream* stream, DigestKind kind);
void FeedDigest(DigestStream* stream, const void* bytes, std::size_t count);
// Writes the text and its NUL into `text`, which has room for kLongestTextBytes. The stream
// must be started again before it is fed again. A kind outside the catalogue is fed nothing
// and finishes into an empty text.
void FinishDigest(DigestStream* stream, char* text);

// Processor-specific paths (SHA instructions, carry-less multiplication) are chosen at run time
// when the processor has them. Turning them off makes every stream use the portable code;
// the environment variable HASHCALC_NO_HARDWARE=1 does the same at start-up.
void AllowHardwareDigests(bool allowed);
// Whether a stream of this kind started now would use a processor-specific path.
bool UsesHardwareDigest(DigestKind kind);
