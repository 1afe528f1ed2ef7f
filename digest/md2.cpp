// MD2 (RFC 1319) with a static context. Full 16-byte blocks are read in place from the caller's
// buffer; the tail is copied into the context and padded there; the checksum goes last.
#include <array>

#include "digest.h"
#include "digest_internal.h"
#include "win32.h"

namespace {

// The substitution table: a permutation of 0..255 derived from the digits of pi.
constexpr unsigned char kSubstitution[256] = {
    0x29, 0x2E, 0x43, 0xC9, 0xA2, 0xD8, 0x7C, 0x01, 0x3D, 0x36, 0x54, 0xA1, 0xEC, 0xF0, 0x06, 0x13,
    0x62, 0xA7, 0x05, 0xF3, 0xC0, 0xC7, 0x73, 0x8C, 0x98, 0x93, 0x2B, 0xD9, 0xBC, 0x4C, 0x82, 0xCA,
    0x1E, 0x9B, 0x57, 0x3C, 0xFD, 0xD4, 0xE0, 0x16, 0x67, 0x42, 0x6F, 0x18, 0x8A, 0x17, 0xE5, 0x12,
    0xBE, 0x4E, 0xC4, 0xD6, 0xDA, 0x9E, 0xDE, 0x49, 0xA0, 0xFB, 0xF5, 0x8E, 0xBB, 0x2F, 0xEE, 0x7A,
    0xA9, 0x68, 0x79, 0x91, 0x15, 0xB2, 0x07, 0x3F, 0x94, 0xC2, 0x10, 0x89, 0x0B, 0x22, 0x5F, 0x21,
    0x80, 0x7F, 0x5D, 0x9A, 0x5A, 0x90, 0x32, 0x27, 0x35, 0x3E, 0xCC, 0xE7, 0xBF, 0xF7, 0x97, 0x03,
    0xFF, 0x19, 0x30, 0xB3, 0x48, 0xA5, 0xB5, 0xD1, 0xD7, 0x5E, 0x92, 0x2A, 0xAC, 0x56, 0xAA, 0xC6,
    0x4F, 0xB8, 0x38, 0xD2, 0x96, 0xA4, 0x7D, 0xB6, 0x76, 0xFC, 0x6B, 0xE2, 0x9C, 0x74, 0x04, 0xF1,
    0x45, 0x9D, 0x70, 0x59, 0x64, 0x71, 0x87, 0x20, 0x86, 0x5B, 0xCF, 0x65, 0xE6, 0x2D, 0xA8, 0x02,
    0x1B, 0x60, 0x25, 0xAD, 0xAE, 0xB0, 0xB9, 0xF6, 0x1C, 0x46, 0x61, 0x69, 0x34, 0x40, 0x7E, 0x0F,
    0x55, 0x47, 0xA3, 0x23, 0xDD, 0x51, 0xAF, 0x3A, 0xC3, 0x5C, 0xF9, 0xCE, 0xBA, 0xC5, 0xEA, 0x26,
    0x2C, 0x53, 0x0D, 0x6E, 0x85, 0x28, 0x84, 0x09, 0xD3, 0xDF, 0xCD, 0xF4, 0x41, 0x81, 0x4D, 0x52,
    0x6A, 0xDC, 0x37, 0xC8, 0x6C, 0xC1, 0xAB, 0xFA, 0x24, 0xE1, 0x7B, 0x08, 0x0C, 0xBD, 0xB1, 0x4A,
    0x78, 0x88, 0x95, 0x8B, 0xE3, 0x63, 0xE8, 0x6D, 0xE9, 0xCB, 0xD5, 0xFE, 0x3B, 0x00, 0x1D, 0x39,
    0xF2, 0xEF, 0xB7, 0x0E, 0x66, 0x58, 0xD0, 0xE4, 0xA6, 0x77, 0x72, 0xF8, 0xEB, 0x75, 0x4B, 0x0A,
    0x31, 0x44, 0x50, 0xB4, 0x8F, 0xED, 0x1F, 0x1A, 0xDB, 0x99, 0x8D, 0x33, 0x9F, 0x11, 0x83, 0x14,
};

// Row v holds v bytes of value v: the padding of a tail that is v bytes short of a block.
constexpr std::array<std::array<unsigned char, 16>, 17> MakePadRows() {
    std::array<std::array<unsigned char, 16>, 17> rows{};
    for (int v = 1; v <= 16; ++v) {
        for (int i = 0; i < v; ++i) rows[v][i] = static_cast<unsigned char>(v);
    }
    return rows;
}
constexpr auto kPadRows = MakePadRows();

struct MD2Context {
    unsigned char state[16];
    unsigned char checksum[16];
    unsigned char work[48];  // state, block, block XOR state
    unsigned char lastBlock[16];
    std::uint32_t blockCount;  // full 16-byte blocks of the message
    char digestText[33];
    char wordText[12];
};

MD2Context Context;

// The substitution table widened to 32-bit entries, so that the chained lookups below need no
// byte extraction between them.
constexpr std::array<std::uint32_t, 256> MakeWideSubstitution() {
    std::array<std::uint32_t, 256> wide{};
    for (int i = 0; i < 256; ++i) wide[i] = kSubstitution[i];
    return wide;
}
constexpr auto kWideSubstitution = MakeWideSubstitution();

// Makes the compiler hold a value in a register. Without it GCC folds each step into a
// read-modify-write of the work area and reloads t from memory, which puts a store-to-load
// round trip on the chain of 864 dependent steps.
inline void KeepInRegister(std::uint32_t& value) {
#if defined(__GNUC__)
    __asm__("" : "+r"(value));
#else
    (void)value;
#endif
}

void MD2Block(const unsigned char* block) {
    // The 48-byte work area (state, block, block XOR state) is worked on in 32-bit locals and
    // stored back afterwards: every step depends on the one before through t, and keeping
    // each value in a full register keeps that chain down to one load and one XOR per step.
    std::uint32_t work[48];
    for (int k = 0; k < 16; ++k) {
        work[k] = Context.state[k];
        work[16 + k] = block[k];
        work[32 + k] = block[k] ^ static_cast<std::uint32_t>(Context.state[k]);
    }

    // 18 passes of 48 substitutions, each chained to the one before through t.
    std::uint32_t t = 0;
    for (std::uint32_t pass = 0; pass < 18; ++pass) {
#if defined(__GNUC__)
#pragma GCC unroll 48
#endif
        for (int k = 0; k < 48; ++k) {
            std::uint32_t value = work[k];
            KeepInRegister(value);
            t = value ^ kWideSubstitution[t];
            work[k] = t;
        }
        t = (t + pass) & 0xFF;
    }
    for (int k = 0; k < 48; ++k) Context.work[k] = static_cast<unsigned char>(work[k]);
    for (int k = 0; k < 16; ++k) Context.state[k] = Context.work[k];

    // The checksum is updated with XOR (the corrected rule the published digests follow). Each
    // block byte is read before the checksum byte of the same index is written, so the block
    // may be the checksum itself.
    unsigned previous = Context.checksum[15];
    for (int j = 0; j < 16; ++j) {
        Context.checksum[j] ^= kSubstitution[block[j] ^ previous];
        previous = Context.checksum[j];
    }
}

}  // namespace

void HashMD2(char* buffer, std::uint32_t length) {
    const auto* message = reinterpret_cast<const unsigned char*>(buffer);
    for (char& c : Context.digestText) c = 0;
    for (int k = 0; k < 16; ++k) Context.state[k] = Context.checksum[k] = 0;

    Context.blockCount = length / 16;
    const std::uint32_t tailLength = length % 16;
    const std::uint32_t padLength = 16 - tailLength;
    RtlMoveMemory(Context.lastBlock, message + (length - tailLength), tailLength);
    RtlMoveMemory(Context.lastBlock + tailLength, kPadRows[padLength].data(), padLength);

    for (std::uint32_t i = 0; i < Context.blockCount; ++i) {
        MD2Block(message + static_cast<std::size_t>(i) * 16);
    }
    MD2Block(Context.lastBlock);
    MD2Block(Context.checksum);

    // Each word is loaded little-endian and swapped, so its digits follow the state's bytes.
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t word = digest_internal::LoadLE32(Context.state + 4 * i);
        wsprintfA(Context.wordText, "%.8x", digest_internal::ByteSwap32(word));
        lstrcatA(Context.digestText, Context.wordText);
    }
    lstrcpyA(buffer, Context.digestText);
}
