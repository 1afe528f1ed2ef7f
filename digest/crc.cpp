// The three checksums: CRC-16/ARC, CRC-32/ISO-HDLC and CRC-32/BZIP2. The portable path reads
// sixteen bytes per step through sixteen tables ("slicing"); the tables are built from the
// polynomials by the compiler and stored as constants.
#include <array>

#include "crc_functions.h"
#include "digest.h"
#include "digest_internal.h"
#include "digest_table.h"
#include "win32.h"

namespace {

using digest_internal::LoadBE32;
using digest_internal::LoadLE32;

constexpr std::size_t kSlices = 16;
using SliceTables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// Tables of a CRC of up to 32 bits. Reflected (least significant bit first), the register sits
// in the low bits and meets each message byte in its lowest byte, and `polynomial` is given
// reflected too; otherwise the register meets each byte in its top byte. Table k advances a
// byte that has k more bytes behind it.
constexpr SliceTables MakeTables(std::uint32_t polynomial, bool reflected) {
    SliceTables tables{};
    for (std::uint32_t index = 0; index < 256; ++index) {
        std::uint32_t value = reflected ? index : index << 24;
        for (int bit = 0; bit < 8; ++bit) {
            if (reflected) {
                value = (value & 1) != 0 ? (value >> 1) ^ polynomial : value >> 1;
            } else {
                value = (value & 0x80000000u) != 0 ? (value << 1) ^ polynomial : value << 1;
            }
        }
        tables[0][index] = value;
    }
    for (std::size_t k = 1; k < kSlices; ++k) {
        for (std::size_t index = 0; index < 256; ++index) {
            const std::uint32_t previous = tables[k - 1][index];
            tables[k][index] = reflected ? (previous >> 8) ^ tables[0][previous & 0xFF]
                                         : (previous << 8) ^ tables[0][previous >> 24];
        }
    }
    return tables;
}

constexpr SliceTables kCrc16Tables = MakeTables(0xA001, true);      // 0x8005 reflected
constexpr SliceTables kCrc32Tables = MakeTables(0xEDB88320, true);  // 0x04C11DB7 reflected
constexpr SliceTables kCrc32bTables = MakeTables(0x04C11DB7, false);

// Spot checks against the published tables, so a slip in the generators fails the build.
static_assert(kCrc16Tables[0][1] == 0xC0C1 && kCrc16Tables[0][255] == 0x4040);
static_assert(kCrc32Tables[0][1] == 0x77073096 && kCrc32Tables[0][255] == 0x2D02EF8D);
static_assert(kCrc32bTables[0][1] == 0x04C11DB7 && kCrc32bTables[0][255] == 0xB1F740B4);

// Sixteen bytes per step: the register is folded into the first four, and each byte's table
// carries it past the bytes behind it. The last bytes go one at a time.
template <const SliceTables& kTables, bool kReflected>
std::uint32_t UpdateSliced(std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    while (count >= kSlices) {
        std::uint32_t words[kSlices / 4];
        for (std::size_t i = 0; i < kSlices / 4; ++i) {
            words[i] = kReflected ? LoadLE32(bytes + 4 * i) : LoadBE32(bytes + 4 * i);
        }
        words[0] ^= crc;
        crc = 0;
        for (std::size_t i = 0; i < kSlices; ++i) {
            const std::size_t shift = kReflected ? 8 * (i % 4) : 24 - 8 * (i % 4);
            crc ^= kTables[kSlices - 1 - i][(words[i / 4] >> shift) & 0xFF];
        }
        bytes += kSlices;
        count -= kSlices;
    }
    for (std::size_t i = 0; i < count; ++i) {
        crc = kReflected ? kTables[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8)
                         : kTables[0][(crc >> 24) ^ bytes[i]] ^ (crc << 8);
    }
    return crc;
}

// The one-shot routines: the checksum of the message, its text written over the message's
// start. Only locals and constant tables, so these three may run on several threads at once.
void HashWithCrc(DigestKind kind, char* buffer, std::uint32_t length) {
    const CrcAlgorithm& algorithm = DigestRow(kind).crc;
    CrcUpdate* update =
        digest_internal::ChooseCrcUpdate(algorithm, digest_internal::UseCrcHardware(algorithm));
    const std::uint32_t crc =
        update(algorithm.initial, reinterpret_cast<const unsigned char*>(buffer), length);
    digest_internal::FormatCrc(algorithm, crc, buffer);
}

}  // namespace

namespace digest_internal {

std::uint32_t UpdateCrc16Portable(std::uint32_t crc, const unsigned char* bytes,
                                  std::size_t count) {
    return UpdateSliced<kCrc16Tables, true>(crc, bytes, count);
}

std::uint32_t UpdateCrc32Portable(std::uint32_t crc, const unsigned char* bytes,
                                  std::size_t count) {
    return UpdateSliced<kCrc32Tables, true>(crc, bytes, count);
}

std::uint32_t UpdateCrc32bPortable(std::uint32_t crc, const unsigned char* bytes,
                                   std::size_t count) {
    return UpdateSliced<kCrc32bTables, false>(crc, bytes, count);
}

bool UseCrcHardware(const CrcAlgorithm& algorithm) {
    return algorithm.hardware != nullptr && ProcessorFeaturesUsable(algorithm.hardwareFeatures);
}

void FormatCrc(const CrcAlgorithm& algorithm, std::uint32_t crc, char* text) {
    wsprintfA(text, algorithm.format, crc ^ algorithm.finalXor);
}

}  // namespace digest_internal

void HashCRC16(char* buffer, std::uint32_t length) {
    HashWithCrc(DigestKind::kCRC16, buffer, length);
}

void HashCRC32(char* buffer, std::uint32_t length) {
    HashWithCrc(DigestKind::kCRC32, buffer, length);
}

void HashCRC32b(char* buffer, std::uint32_t length) {
    HashWithCrc(DigestKind::kCRC32b, buffer, length);
}
