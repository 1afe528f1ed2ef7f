// The digest engine: twelve routines that hash the first `length` bytes of a buffer and leave
// the digest as hexadecimal text, NUL-terminated, at the start of that same buffer.
//
// The nine cryptographic digests are lowercase, in the standard's byte order; the three
// checksums are uppercase numbers zero-filled to 4 or 8 digits.
//
// HashMD5, HashMD4, HashRIPEMD128 and HashRIPEMD160 pad the message inside the buffer and keep
// their chaining state in `scratch` (at least 20 bytes): the buffer needs PaddedLength(length)
// writable bytes. The other eight read only the message and write only their text. None of
// the routines is reentrant: several keep a static context.
#pragma once

#include <cstdint>

using DigestRoutine = void(char* buffer, std::uint32_t length);
using ScratchDigestRoutine = void(char* buffer, std::uint32_t length, void* scratch);

void HashMD2(char* buffer, std::uint32_t length);
void HashMD4(char* buffer, std::uint32_t length, void* scratch);
void HashMD5(char* buffer, std::uint32_t length, void* scratch);
void HashSHA0(char* buffer, std::uint32_t length);
void HashSHA1(char* buffer, std::uint32_t length);
void HashSHA256(char* buffer, std::uint32_t length);
void HashRIPEMD128(char* buffer, std::uint32_t length, void* scratch);
void HashRIPEMD160(char* buffer, std::uint32_t length, void* scratch);
void HashRIPEMD256(char* buffer, std::uint32_t length);
void HashCRC16(char* buffer, std::uint32_t length);
void HashCRC32(char* buffer, std::uint32_t length);
void HashCRC32b(char* buffer, std::uint32_t length);

// Bytes an in-place padding routine overwrites for a message of `length` bytes: the smallest
// multiple of 64 that is at least length + 9.
constexpr std::uint64_t PaddedLength(std::uint32_t length) {
    return (static_cast<std::uint64_t>(length) + 9 + 63) / 64 * 64;
}

// Bytes of the longest text, NUL included: the 64 digits of SHA-256 and RIPEMD-256.
constexpr int kLongestTextBytes = 65;

// Bytes of buffer that any of the twelve routines may write for a message of `length` bytes:
// the padded length, but at least the longest text (a short message's padded length, 64, is
// one byte short of a 64-digit text and its NUL).
constexpr std::uint64_t DigestBufferLength(std::uint32_t length) {
    return PaddedLength(length) > kLongestTextBytes ? PaddedLength(length) : kLongestTextBytes;
}

// Bytes of scratch the in-place routines need.
constexpr int kDigestScratchBytes = 20;
