// Helpers that run a table row's 64-byte-block compression or stream, shared by the in-place
// routines, the streams and their tests.
#pragma once

#include <cstdint>

#include "digest_table.h"

struct DigestStream;

namespace digest_internal {

// The body shared by the routines that pad inside the caller's buffer: pads the message in
// place, starts the algorithm's chaining words, compresses every block of the padded message,
// leaves the chaining words at `state` byte-swapped and stored little-endian (printed as
// numbers they give the digest bytes in their published order), and writes that text at the
// start of the message.
void HashPaddedInPlace(unsigned char* message, std::uint32_t length, unsigned char* state,
                       const BlockAlgorithm& algorithm);

// Whether a compression started now runs on the processor-specific path: it exists and its
// features may be used (cpu/processor.h). ChooseBlocks gives the function for that choice.
bool UseBlocksHardware(const BlockAlgorithm& algorithm);
inline BlocksFunction* ChooseBlocks(const BlockAlgorithm& algorithm, bool hardware) {
    return hardware ? algorithm.hardware : algorithm.portable;
}

// Starts `stream` on `row`, which need not be one of the table's (tests drive rows of their
// own through it); null makes a stream that finishes into an empty text.
void StartDigestOnRow(DigestStream* stream, const DigestAlgorithm* row);

}  // namespace digest_internal
