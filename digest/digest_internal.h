// Helpers shared by the digest routines and streams: byte-order loads and stores, rotations,
// the padding built in the caller's buffer, and the hexadecimal text.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Processor-specific paths exist only for x86; the portable ones are always built.
#if defined(__i386__) || defined(__x86_64__)
#define HASHCALC_DIGEST_X86 1
#else
#define HASHCALC_DIGEST_X86 0
#endif

// For the step functions the compression functions unroll into straight-line code: each must
// disappear into its caller for the working words to stay in registers.
#if defined(__GNUC__)
#define HASHCALC_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define HASHCALC_ALWAYS_INLINE inline
#endif

struct DigestStream;

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

// Where the word playing role `role` (0 for the one a step updates, then the others in order)
// sits in step `step` of a compression function whose `wordCount` working words turn roles by
// one each step instead of moving.
constexpr int RoleIndex(int wordCount, int step, int role) {
    return (wordCount + role - step % wordCount) % wordCount;
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

// Writes `count` words as "%.8x" each, one after another, and a NUL: 8 * count + 1 bytes.
// The four-, five- and eight-word texts of the digests take one call each.
void FormatWords(char* text, const std::uint32_t* words, int count);

}  // namespace digest_internal
