// Helpers shared by the digest routines: byte-order loads and stores, rotations, and the two
// ways the engine pads a message (in the caller's buffer, or as a tail copied into a context).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace digest_internal {

constexpr std::uint32_t ByteSwap32(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
           (value << 24);
}

inline std::uint32_t LoadLE32(const unsigned char* bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = ByteSwap32(value);
    return value;
}

inline std::uint32_t LoadBE32(const unsigned char* bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::little) value = ByteSwap32(value);
    return value;
}

inline void StoreLE32(unsigned char* bytes, std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::big) value = ByteSwap32(value);
    std::memcpy(bytes, &value, sizeof value);
}

inline void StoreBE32(unsigned char* bytes, std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::little) value = ByteSwap32(value);
    std::memcpy(bytes, &value, sizeof value);
}

constexpr std::uint32_t Rotl(std::uint32_t value, int bits) {
    return std::rotl(value, bits);
}
constexpr std::uint32_t Rotr(std::uint32_t value, int bits) {
    return std::rotr(value, bits);
}

// 0x80 followed by zeros: the source of every padding copy.
inline constexpr unsigned char kPaddingBytes[64] = {0x80};

// Pads a message of `length` bytes in place, directly behind it: 0x80, zeros, and the bit
// count as a 64-bit little-endian number in the last 8 bytes. Returns the padded length, a
// multiple of 64; the buffer must have that many writable bytes.
std::uint64_t PadInPlace(unsigned char* message, std::uint32_t length);

// Compresses one 64-byte block into chaining words kept little-endian at `state`.
using CompressFunction = void(unsigned char* state, const unsigned char* block);

// The body shared by the routines that pad inside the caller's buffer: pads the message in
// place, sets the `wordCount` chaining words at `state` to `initialWords`, compresses every
// block of the padded message and leaves each chaining word byte-swapped, so that printing the
// words as numbers gives the digest bytes in their published order.
void HashPaddedInPlace(unsigned char* message, std::uint32_t length, unsigned char* state,
                       const std::uint32_t* initialWords, int wordCount,
                       CompressFunction* compress);

enum class LengthOrder { kBigEndian, kLittleEndian };

// Where a message splits into full blocks, read in place, and a padded tail.
struct TailLayout {
    std::uint32_t fullBlockCount;  // length / 64
    std::uint32_t lastBlockCount;  // 1 or 2 blocks of `lastBlocks` to compress
    std::uint32_t bitCountLow;     // (length * 8) mod 2^32
    std::uint32_t bitCountHigh;    // length >> 29
};

// Copies the tail of a message (the bytes after its last full 64-byte block) into
// `lastBlocks` (128 bytes) and pads it there with 0x80, zeros and the 64-bit bit count in the
// given byte order. Every byte of the blocks that will be compressed is written.
TailLayout BuildLastBlocks(unsigned char* lastBlocks, const unsigned char* message,
                           std::uint32_t length, LengthOrder order);

}  // namespace digest_internal
