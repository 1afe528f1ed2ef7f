// CRC-32C on the SSE4.2 crc32 instruction, which advances the Castagnoli register by eight
// bytes (four on 32-bit x86) at a time, compiled for it function by function. One instruction
// waits for the one before it, but the processor can start one every cycle: so long runs are
// cut into three pieces whose registers advance side by side and are then joined. A register
// R followed by n more bytes becomes R * x^(8n) mod P, one carry-less multiplication and one
// crc32 instruction to reduce it. The caller checks the processor's features first.
#include <cstring>

#include "crc_functions.h"

#if HASHCALC_DIGEST_X86

#include <immintrin.h>

#define HASHCALC_CRC32C_TARGET __attribute__((target("sse4.2")))
#define HASHCALC_CRC32C_JOIN_TARGET __attribute__((target("sse4.2,pclmul")))

namespace {

constexpr std::uint64_t kCrc32cGenerator = 0x11EDC6F41;

// x^n mod P, least significant bit the constant term.
constexpr std::uint32_t PowerModulo(std::size_t n) {
    std::uint64_t value = 1;
    for (std::size_t i = 0; i < n; ++i) {
        value <<= 1;
        if ((value >> 32) & 1) value ^= kCrc32cGenerator;
    }
    return static_cast<std::uint32_t>(value);
}

constexpr std::uint32_t Reverse32(std::uint32_t value) {
    std::uint32_t result = 0;
    for (int bit = 0; bit < 32; ++bit) result |= ((value >> bit) & 1) << (31 - bit);
    return result;
}

// The multiplier that moves a register on by `bytes` bytes, in the register's reflected bit
// order. The carry-less product of two reflected numbers is one power short, and the crc32
// instruction that reduces it multiplies by x^32: 33 powers come from those two.
constexpr std::uint32_t MoveOnMultiplier(std::size_t bytes) {
    return Reverse32(PowerModulo(8 * bytes - 33));
}

// Spot check: eight bytes are x^64 = x^31 * x^33, and x^31 is 1 in reflected order.
static_assert(MoveOnMultiplier(8) == 1);

#if defined(__x86_64__)
constexpr std::size_t kWordBytes = 8;
#else
constexpr std::size_t kWordBytes = 4;
#endif

HASHCALC_CRC32C_TARGET inline std::uint32_t AdvanceWord(std::uint32_t crc,
                                                        const unsigned char* bytes) {
#if defined(__x86_64__)
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return static_cast<std::uint32_t>(_mm_crc32_u64(crc, word));
#else
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return _mm_crc32_u32(crc, word);
#endif
}

HASHCALC_CRC32C_TARGET inline std::uint32_t AdvanceOneStream(std::uint32_t crc,
                                                             const unsigned char* bytes,
                                                             std::size_t count) {
    for (; count >= kWordBytes; count -= kWordBytes, bytes += kWordBytes) {
        crc = AdvanceWord(crc, bytes);
    }
    for (; count != 0; --count, ++bytes) crc = _mm_crc32_u8(crc, *bytes);
    return crc;
}

// The register times x^(8n) mod P, given the multiplier for n bytes.
HASHCALC_CRC32C_JOIN_TARGET inline std::uint32_t MoveOn(std::uint32_t crc,
                                                        std::uint32_t multiplier) {
    const __m128i product =
        _mm_clmulepi64_si128(_mm_cvtsi32_si128(static_cast<int>(crc)),
                             _mm_cvtsi32_si128(static_cast<int>(multiplier)), 0x00);
#if defined(__x86_64__)
    return static_cast<std::uint32_t>(
        _mm_crc32_u64(0, static_cast<std::uint64_t>(_mm_cvtsi128_si64(product))));
#else
    const auto low = static_cast<std::uint32_t>(_mm_cvtsi128_si32(product));
    const auto high = static_cast<std::uint32_t>(_mm_extract_epi32(product, 1));
    return _mm_crc32_u32(_mm_crc32_u32(0, low), high);
#endif
}

// Runs of 3 * kPiece bytes: the register goes through the first piece, two zero registers
// through the others at the same time, and the three are joined.
template <std::size_t kPiece>
HASHCALC_CRC32C_JOIN_TARGET inline std::uint32_t AdvanceThreeStreams(std::uint32_t crc,
                                                                     const unsigned char*& bytes,
                                                                     std::size_t& count) {
    static_assert(kPiece % kWordBytes == 0);
    constexpr std::uint32_t kMoveOnOnePiece = MoveOnMultiplier(kPiece);
    constexpr std::uint32_t kMoveOnTwoPieces = MoveOnMultiplier(2 * kPiece);
    for (; count >= 3 * kPiece; count -= 3 * kPiece, bytes += 3 * kPiece) {
        std::uint32_t first = crc;
        std::uint32_t second = 0;
        std::uint32_t third = 0;
        for (std::size_t at = 0; at < kPiece; at += kWordBytes) {
            first = AdvanceWord(first, bytes + at);
            second = AdvanceWord(second, bytes + kPiece + at);
            third = AdvanceWord(third, bytes + 2 * kPiece + at);
        }
        crc = MoveOn(first, kMoveOnTwoPieces) ^ MoveOn(second, kMoveOnOnePiece) ^ third;
    }
    return crc;
}

}  // namespace

namespace digest_internal {

HASHCALC_CRC32C_TARGET std::uint32_t UpdateCrc32cInstruction(std::uint32_t crc,
                                                             const unsigned char* bytes,
                                                             std::size_t count) {
    return AdvanceOneStream(crc, bytes, count);
}

// Long pieces keep the joins rare; the shorter ones still beat one stream on what is left.
HASHCALC_CRC32C_JOIN_TARGET std::uint32_t UpdateCrc32cInterleaved(std::uint32_t crc,
                                                                  const unsigned char* bytes,
                                                                  std::size_t count) {
    crc = AdvanceThreeStreams<4096>(crc, bytes, count);
    crc = AdvanceThreeStreams<256>(crc, bytes, count);
    return AdvanceOneStream(crc, bytes, count);
}

}  // namespace digest_internal

#endif
