// The three checksums as running registers, shared by the one-shot routines and the streams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest_internal.h"
#include "processor.h"
#include "stream_records.h"

namespace digest_internal {

// What the carry-less paths need of the processor.
inline constexpr unsigned kCarrylessFeatures = kFeatureCLMUL | kFeatureSSE41 | kFeatureSSSE3;

// The slicing paths by name, for the table and for the carry-less paths to finish their last
// bytes with.
CrcUpdate UpdateCrc16Portable;
CrcUpdate UpdateCrc32Portable;
CrcUpdate UpdateCrc32bPortable;

#if HASHCALC_DIGEST_X86
// Carry-less multiplication folds 64 bytes per step down to 16, which the slicing path then
// finishes, for processors that have it.
CrcUpdate UpdateCrc16Folding;
CrcUpdate UpdateCrc32Folding;
CrcUpdate UpdateCrc32bFolding;
inline constexpr CrcUpdate* kCrc16Folding = UpdateCrc16Folding;
inline constexpr CrcUpdate* kCrc32Folding = UpdateCrc32Folding;
inline constexpr CrcUpdate* kCrc32bFolding = UpdateCrc32bFolding;
#else
inline constexpr CrcUpdate* kCrc16Folding = nullptr;
inline constexpr CrcUpdate* kCrc32Folding = nullptr;
inline constexpr CrcUpdate* kCrc32bFolding = nullptr;
#endif

// Whether a register started now runs on the carry-less path: it exists and its features may
// be used.
bool UseCrcHardware(const CrcAlgorithm& algorithm);
inline CrcUpdate* ChooseCrcUpdate(const CrcAlgorithm& algorithm, bool hardware) {
    return hardware ? algorithm.hardware : algorithm.portable;
}

// CRC-32C (Castagnoli): slicing tables, the SSE4.2 crc32 instruction on one stream, and that
// instruction on three interleaved streams joined by carry-less multiplication.
CrcUpdate UpdateCrc32cPortable;
#if HASHCALC_DIGEST_X86
CrcUpdate UpdateCrc32cInstruction;
CrcUpdate UpdateCrc32cInterleaved;
#endif

// Writes the text of a finished register (final XOR applied here) and its NUL.
void FormatCrc(const CrcAlgorithm& algorithm, std::uint32_t crc, char* text);

}  // namespace digest_internal
