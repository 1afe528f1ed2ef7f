// Every algorithm of the digest table in incremental form, for inputs of any size: start a
// stream, feed it any number of byte ranges, finish it into exactly the text the one-shot
// routine gives for the same bytes. Lengths are 64-bit. Streams are independent records:
// several may run at once, each on its own thread, unlike the one-shot routines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest.h"
#include "digest_table.h"
#include "stream_forms.h"

// The state of the streams the table drives itself: 64-byte blocks, MD2's 16-byte blocks, or
// a CRC register. The one-shot routines with a static context keep one of these.
struct BlockStreamState {
    bool hardware;                       // runs on the processor-specific path chosen at the start
    std::uint32_t pendingCount;          // bytes waiting in `pending`
    std::uint64_t length;                // bytes fed so far
    alignas(16) std::uint32_t state[8];  // chaining words, MD2's state and checksum, or the CRC
    // The bytes of a block not yet complete; at the finish, the padded last one or two blocks.
    alignas(16) unsigned char pending[128];
};

struct DigestStream {
    const DigestAlgorithm* row;  // null for a kind outside the table
    const StreamForm* form;      // the form chosen at the start, for rows with forms of their own
    union {
        BlockStreamState blocks;
        alignas(kStreamStateAlignment) unsigned char formState[kStreamStateBytes];
    };
};

void StartDigest(DigestStream* stream, DigestKind kind);
void FeedDigest(DigestStream* stream, const void* bytes, std::size_t count);
// The same, on two threads where the algorithm can split a long range (BLAKE3's tree), so
// that one stream can use a processor that would otherwise stay idle.
void FeedDigestOnTwoThreads(DigestStream* stream, const void* bytes, std::size_t count);
// Writes the text and its NUL into `text`, which has room for kLongestStreamTextBytes. The
// stream must be started again before it is fed again. A kind outside the table is fed nothing
// and finishes into an empty text.
void FinishDigest(DigestStream* stream, char* text);

// Processor-specific paths (SHA instructions, carry-less multiplication, the forms' instruction
// sets) are chosen when a stream starts, within the process-wide limit of cpu/processor.h.
// Turning them off here sets that limit to none, so every stream started afterwards uses the
// portable code; the environment variable HASHCALC_NO_HARDWARE=1 does the same at start-up.
void AllowHardwareDigests(bool allowed);
// Whether a stream of this kind started now would use a processor-specific path.
bool UsesHardwareDigest(DigestKind kind);
