// CRC-32C (Castagnoli, as in iSCSI) as a stream. The portable register update reads eight
// bytes per step through eight tables built from the reflected polynomial by the compiler; the
// processor-specific updates are in crc32c_x86.cpp.
#include <array>

#include "crc_stream.h"
#include "file_digests.h"
#include "processor.h"

namespace {

using namespace digest_internal;

constexpr std::uint32_t kCrc32cReflectedPolynomial = 0x82F63B78;  // 0x1EDC6F41 reflected
constexpr std::size_t kSlices = 8;

// Table k advances the register over a byte with k more bytes behind it.
constexpr std::array<std::array<std::uint32_t, 256>, kSlices> MakeTables() {
    std::array<std::array<std::uint32_t, 256>, kSlices> tables{};
    for (std::uint32_t index = 0; index < 256; ++index) {
        std::uint32_t value = index;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) != 0 ? (value >> 1) ^ kCrc32cReflectedPolynomial : value >> 1;
        }
        tables[0][index] = value;
    }
    for (std::size_t k = 1; k < kSlices; ++k) {
        for (std::size_t index = 0; index < 256; ++index) {
            const std::uint32_t previous = tables[k - 1][index];
            tables[k][index] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    }
    return tables;
}

constexpr auto kTables = MakeTables();
// Spot checks against the published table.
static_assert(kTables[0][1] == 0xF26B8303 && kTables[0][255] == 0xAD7D5351);

const CrcAlgorithm kCrc32cAlgorithm = {0xFFFFFFFF,           0xFFFFFFFF, "%.8X",
                                       UpdateCrc32cPortable, nullptr,    0};

void FinishCrc32c(void* opaque, char* text) {
    FormatCrc(kCrc32cAlgorithm, static_cast<CrcStreamState*>(opaque)->crc, text);
}

template <CrcUpdate* kUpdate>
constexpr StreamForm Crc32cForm(unsigned features) {
    return {features, StartCrcStream<kCrc32cAlgorithm>, FeedCrcStream<kUpdate>, FinishCrc32c};
}

}  // namespace

namespace digest_internal {

std::uint32_t UpdateCrc32cPortable(std::uint32_t crc, const unsigned char* bytes,
                                   std::size_t count) {
    while (count >= kSlices) {
        const std::uint32_t low = LoadLE32(bytes) ^ crc;
        const std::uint32_t high = LoadLE32(bytes + 4);
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
              kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^
              kTables[2][(high >> 8) & 0xFF] ^ kTables[1][(high >> 16) & 0xFF] ^
              kTables[0][high >> 24];
        bytes += kSlices;
        count -= kSlices;
    }
    for (std::size_t i = 0; i < count; ++i) crc = kTables[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace digest_internal

const StreamForm kCRC32CForms[] = {
#if HASHCALC_DIGEST_X86
    Crc32cForm<UpdateCrc32cInterleaved>(kFeatureSSE42 | kFeatureCLMUL),
    Crc32cForm<UpdateCrc32cInstruction>(kFeatureSSE42),
#endif
    Crc32cForm<UpdateCrc32cPortable>(0),
};
