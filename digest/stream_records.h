// The records that describe how a 64-byte-block digest or a CRC runs: its compression or
// register update in portable and processor-specific forms. Rows of the digest table hold them;
// the algorithms' own files define the functions they name.
#pragma once

#include <cstddef>
#include <cstdint>

// Compresses `blockCount` consecutive 64-byte blocks into the chaining words at `state`.
using BlocksFunction = void(std::uint32_t* state, const unsigned char* blocks,
                            std::size_t blockCount);
// Advances a CRC register over `count` bytes.
using CrcUpdate = std::uint32_t(std::uint32_t crc, const unsigned char* bytes, std::size_t count);

// A digest over 64-byte blocks with a 64-bit bit count in its padding, started from
// `initialWords` and printed as its first `wordCount` chaining words.
struct BlockAlgorithm {
    const std::uint32_t* initialWords;
    int wordCount;  // at most 8
    // The MD and RIPEMD families count bits little-endian and publish their words' bytes
    // least significant first (so the words are printed byte-swapped); SHA is big-endian.
    bool littleEndian;
    BlocksFunction* portable;
    BlocksFunction* hardware;   // the processor-specific path, or null
    unsigned hardwareFeatures;  // the ProcessorFeature bits `hardware` needs
};

// A checksum of up to 32 bits kept in one register.
struct CrcAlgorithm {
    std::uint32_t initial;   // register before the first byte
    std::uint32_t finalXor;  // applied once after the last
    const char* format;      // "%.4X" or "%.8X"
    CrcUpdate* portable;     // slicing tables, any processor
    CrcUpdate* hardware;     // carry-less multiplication; null where the build has none
    unsigned hardwareFeatures;
};
