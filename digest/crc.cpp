// The three checksums: CRC-16/ARC, CRC-32/ISO-HDLC and CRC-32/BZIP2. The portable path reads
// sixteen bytes per step through sixteen tables ("slicing"); the tables are built from the
// polynomials by the compiler and stored as constants.
#include <array>

#include "crc_functions.h"
#include "digest.h"
#include "digest_internal.h"
#include "win32.h"

namespace {

using digest_internal::LoadBE32;
using digest_internal::LoadLE32;

constexpr int kSlices = 16;
using SliceTables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// Tables of a reflected (least significant bit first) CRC whose polynomial, also reflected, is
// `polynomial`. Table k advances a byte that has k more bytes behind it.
constexpr SliceTables MakeReflectedTables(std::uint32_t polynomial) {
    SliceTables tables{};
    for (std::uint32_t index = 0; index < 256; ++index) {
        std::uint32_t value = index;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) != 0 ? (value >> 1) ^ polynomial : value >> 1;
        tables[0][index] = value;
    }
    for (int k = 1; k < kSlices; ++k) {
        for (int index = 0; index < 256; ++index) {
            const std::uint32_t previous = tables[k - 1][index];
            tables[k][index] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    }
    return tables;
}

// Tables of a 32-bit CRC processed most significant bit first.
constexpr SliceTables MakeForwardTables(std::uint32_t polynomial) {
    SliceTables tables{};
    for (std::uint32_t index = 0; index < 256; ++index) {
        std::uint32_t value = index << 24;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 0x80000000u) != 0 ? (value << 1) ^ polynomial : value << 1;
        }
        tables[0][index] = value;
    }
    for (int k = 1; k < kSlices; ++k) {
        for (int index = 0; index < 256; ++index) {
            const std::uint32_t previous = tables[k - 1][index];
            tables[k][index] = (previous << 8) ^ tables[0][previous >> 24];
        }
    }
    return tables;
}

constexpr SliceTables kCrc16Tables = MakeReflectedTables(0xA001);      // 0x8005 reflected
constexpr SliceTables kCrc32Tables = MakeReflectedTables(0xEDB88320);  // 0x04C11DB7 reflected
constexpr SliceTables kCrc32bTables = MakeForwardTables(0x04C11DB7);

// Spot checks against the published tables, so a slip in the generators fails the build.
static_assert(kCrc16Tables[0][1] == 0xC0C1 && kCrc16Tables[0][255] == 0x4040);
static_assert(kCrc32Tables[0][1] == 0x77073096 && kCrc32Tables[0][255] == 0x2D02EF8D);
static_assert(kCrc32bTables[0][1] == 0x04C11DB7 && kCrc32bTables[0][255] == 0xB1F740B4);

// A reflected CRC of up to 32 bits: the register sits in the low bits and meets the first
// message byte in its lowest byte. CRC-16/ARC and CRC-32 share this.
template <const SliceTables& kTables>
std::uint32_t UpdateReflected(std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    while (count >= kSlices) {
        std::uint32_t words[kSlices / 4];
        for (int i = 0; i < kSlices / 4; ++i) words[i] = LoadLE32(bytes + 4 * i);
        words[0] ^= crc;
        crc = 0;
        for (int i = 0; i < kSlices; ++i) {
            const std::uint32_t byte = (words[i / 4] >> (8 * (i % 4))) & 0xFF;
            crc ^= kTables[kSlices - 1 - i][byte];
        }
        bytes += kSlices;
        count -= kSlices;
    }
    for (std::size_t i = 0; i < count; ++i) crc = kTables[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

// A CRC processed most significant bit first: the register meets the first byte in its top
// byte.
template <const SliceTables& kTables>
std::uint32_t UpdateForward(std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    while (count >= kSlices) {
        std::uint32_t words[kSlices / 4];
        for (int i = 0; i < kSlices / 4; ++i) words[i] = LoadBE32(bytes + 4 * i);
        words[0] ^= crc;
        crc = 0;
        for (int i = 0; i < kSlices; ++i) {
            const std::uint32_t byte = (words[i / 4] >> (24 - 8 * (i % 4))) & 0xFF;
            crc ^= kTables[kSlices - 1 - i][byte];
        }
        bytes += kSlices;
        count -= kSlices;
    }
    for (std::size_t i = 0; i < count; ++i) crc = kTables[0][(crc >> 24) ^ bytes[i]] ^ (crc << 8);
    return crc;
}

// The one-shot routines: the checksum of the message, its text written over the message's
// start. Only locals and constant tables, so these three may run on several threads at once.
void HashWithCrc(const digest_internal::CrcAlgorithm& algorithm, char* buffer,
                 std::uint32_t length) {
    const std::uint32_t crc = digest_internal::ChooseCrcUpdate(algorithm)(
        algorithm.initial, reinterpret_cast<const unsigned char*>(buffer), length);
    digest_internal::FormatCrc(algorithm, crc, buffer);
}

}  // namespace

namespace digest_internal {

std::uint32_t UpdateCrc16Portable(std::uint32_t crc, const unsigned char* bytes,
                                  std::size_t count) {
    return UpdateReflected<kCrc16Tables>(crc, bytes, count);
}

std::uint32_t UpdateCrc32Portable(std::uint32_t crc, const unsigned char* bytes,
                                  std::size_t count) {
    return UpdateReflected<kCrc32Tables>(crc, bytes, count);
}

std::uint32_t UpdateCrc32bPortable(std::uint32_t crc, const unsigned char* bytes,
                                   std::size_t count) {
    return UpdateForward<kCrc32bTables>(crc, bytes, count);
}

#if HASHCALC_DIGEST_X86
const CrcAlgorithm kCrc16Algorithm = {0, 0, "%.4X", UpdateCrc16Portable, UpdateCrc16Folding};
const CrcAlgorithm kCrc32Algorithm = {0xFFFFFFFF, 0xFFFFFFFF, "%.8X", UpdateCrc32Portable,
                                      UpdateCrc32Folding};
const CrcAlgorithm kCrc32bAlgorithm = {0xFFFFFFFF, 0xFFFFFFFF, "%.8X", UpdateCrc32bPortable,
                                       UpdateCrc32bFolding};
#else
const CrcAlgorithm kCrc16Algorithm = {0, 0, "%.4X", UpdateCrc16Portable, nullptr};
const CrcAlgorithm kCrc32Algorithm = {0xFFFFFFFF, 0xFFFFFFFF, "%.8X", UpdateCrc32Portable,
                                      nullptr};
const CrcAlgorithm kCrc32bAlgorithm = {0xFFFFFFFF, 0xFFFFFFFF, "%.8X", UpdateCrc32bPortable,
                                       nullptr};
#endif

CrcUpdate* ChooseCrcUpdate(const CrcAlgorithm& algorithm) {
    if (algorithm.hardware != nullptr && HardwareDigestsAllowed() &&
        ProcessorHasCarrylessMultiply()) {
        return algorithm.hardware;
    }
    return algorithm.portable;
}

void FormatCrc(const CrcAlgorithm& algorithm, std::uint32_t crc, char* text) {
    wsprintfA(text, algorithm.format, crc ^ algorithm.finalXor);
}

}  // namespace digest_internal

void HashCRC16(char* buffer, std::uint32_t length) {
    HashWithCrc(digest_internal::kCrc16Algorithm, buffer, length);
}

void HashCRC32(char* buffer, std::uint32_t length) {
    HashWithCrc(digest_internal::kCrc32Algorithm, buffer, length);
}

void HashCRC32b(char* buffer, std::uint32_t length) {
    HashWithCrc(digest_internal::kCrc32bAlgorithm, buffer, length);
}
