// The three checksums: CRC-16/ARC, CRC-32/ISO-HDLC and CRC-32/BZIP2, table-driven one byte at a
// time. The tables are built from their polynomials by the compiler and stored as constants.
#include <array>

#include "digest.h"
#include "win32.h"

namespace {

// Table of a reflected (least significant bit first) CRC whose polynomial, also reflected, is
// `polynomial`.
template <typename Word>
constexpr std::array<Word, 256> MakeReflectedTable(Word polynomial) {
    std::array<Word, 256> table{};
    for (unsigned index = 0; index < 256; ++index) {
        Word value = static_cast<Word>(index);
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) != 0 ? static_cast<Word>((value >> 1) ^ polynomial)
                                     : static_cast<Word>(value >> 1);
        }
        table[index] = value;
    }
    return table;
}

// Table of a 32-bit CRC processed most significant bit first.
constexpr std::array<std::uint32_t, 256> MakeForwardTable(std::uint32_t polynomial) {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t index = 0; index < 256; ++index) {
        std::uint32_t value = index << 24;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 0x80000000u) != 0 ? (value << 1) ^ polynomial : value << 1;
        }
        table[index] = value;
    }
    return table;
}

constexpr auto kCrc16Table = MakeReflectedTable<std::uint16_t>(0xA001);      // 0x8005 reflected
constexpr auto kCrc32Table = MakeReflectedTable<std::uint32_t>(0xEDB88320);  // 0x04C11DB7 reflected
constexpr auto kCrc32bTable = MakeForwardTable(0x04C11DB7);

// Spot checks against the published tables, so a slip in the generators fails the build.
static_assert(kCrc16Table[1] == 0xC0C1 && kCrc16Table[255] == 0x4040);
static_assert(kCrc32Table[1] == 0x77073096 && kCrc32Table[255] == 0x2D02EF8D);
static_assert(kCrc32bTable[1] == 0x04C11DB7 && kCrc32bTable[255] == 0xB1F740B4);

}  // namespace

void HashCRC16(char* buffer, std::uint32_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    std::uint32_t crc = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        crc = kCrc16Table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    }
    wsprintfA(buffer, "%.4X", crc);
}

void HashCRC32(char* buffer, std::uint32_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint32_t i = 0; i < length; ++i) {
        crc = kCrc32Table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    }
    wsprintfA(buffer, "%.8X", crc ^ 0xFFFFFFFF);
}

void HashCRC32b(char* buffer, std::uint32_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint32_t i = 0; i < length; ++i) {
        crc = kCrc32bTable[(crc >> 24) ^ bytes[i]] ^ (crc << 8);
    }
    wsprintfA(buffer, "%.8X", crc ^ 0xFFFFFFFF);
}
