// The three checksums as running registers, shared by the one-shot routines and the streams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest_internal.h"

namespace digest_internal {

// Advances a CRC register over `count` bytes.
using CrcUpdate = std::uint32_t(std::uint32_t crc, const unsigned char* bytes, std::size_t count);

struct CrcAlgorithm {
    std::uint32_t initial;   // register before the first byte
    std::uint32_t finalXor;  // applied once after the last
    const char* format;      // "%.4X" or "%.8X"
    CrcUpdate* portable;     // slicing tables, any processor
    CrcUpdate* hardware;     // carry-less multiplication; null where the build has none
};

extern const CrcAlgorithm kCrc16Algorithm;
extern const CrcAlgorithm kCrc32Algorithm;
extern const CrcAlgorithm kCrc32bAlgorithm;

bool ProcessorHasCarrylessMultiply();

// The slicing paths by name, for the carry-less paths to finish their last bytes with.
CrcUpdate UpdateCrc16Portable;
CrcUpdate UpdateCrc32Portable;
CrcUpdate UpdateCrc32bPortable;

#if HASHCALC_DIGEST_X86
// Carry-less multiplication folds 64 bytes per step down to 16, which the slicing path then
// finishes, for processors that have it.
CrcUpdate UpdateCrc16Folding;
CrcUpdate UpdateCrc32Folding;
CrcUpdate UpdateCrc32bFolding;
#endif

// CRC-32C (Castagnoli): slicing tables, the SSE4.2 crc32 instruction on one stream, and that
// instruction on three interleaved streams joined by carry-less multiplication.
CrcUpdate UpdateCrc32cPortable;
#if HASHCALC_DIGEST_X86
CrcUpdate UpdateCrc32cInstruction;
CrcUpdate UpdateCrc32cInterleaved;
#endif

// The update to use now: the hardware one when it exists and is allowed.
CrcUpdate* ChooseCrcUpdate(const CrcAlgorithm& algorithm);

// Writes the text of a finished register (final XOR applied here) and its NUL.
void FormatCrc(const CrcAlgorithm& algorithm, std::uint32_t crc, char* text);

}  // namespace digest_internal
