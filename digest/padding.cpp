// Message padding shared by the digest routines: in place behind the message for the routines
// that work inside the caller's buffer, or into a context's last blocks for those that read
// full blocks in place and copy only the tail.
#include "digest_internal.h"
#include "win32.h"

namespace digest_internal {

std::uint64_t PadInPlace(unsigned char* message, std::uint32_t length) {
    // (length + 1) mod 64 is the same whether or not length + 1 wraps at 2^32.
    std::uint32_t zeroCount = 64 - ((length + 1) & 63);
    if (zeroCount < 8) zeroCount += 64;
    unsigned char* padding = message + length;
    padding[0] = 0x80;
    std::memset(padding + 1, 0, zeroCount);
    unsigned char* lengthField = padding + 1 + zeroCount - 8;
    StoreLE32(lengthField, length << 3);
    StoreLE32(lengthField + 4, length >> 29);
    // Counted in 64 bits: for lengths near 2^32 the padded length no longer fits in 32.
    return static_cast<std::uint64_t>(length) + 1 + zeroCount;
}

void HashPaddedInPlace(unsigned char* message, std::uint32_t length, unsigned char* state,
                       const std::uint32_t* initialWords, int wordCount,
                       CompressFunction* compress) {
    const std::uint64_t paddedLength = PadInPlace(message, length);
    for (int i = 0; i < wordCount; ++i) StoreLE32(state + 4 * i, initialWords[i]);
    // An unsigned 64-bit offset walks every block of any padded length, up to 2^32 + 63 bytes.
    for (std::uint64_t offset = 0; offset < paddedLength; offset += 64) {
        compress(state, message + offset);
    }
    for (int i = 0; i < wordCount; ++i) {
        StoreLE32(state + 4 * i, ByteSwap32(LoadLE32(state + 4 * i)));
    }
}

TailLayout BuildLastBlocks(unsigned char* lastBlocks, const unsigned char* message,
                           std::uint32_t length, LengthOrder order) {
    TailLayout layout{};
    layout.fullBlockCount = length >> 6;
    const std::uint32_t tailLength = length & 63;
    const std::uint32_t lengthFieldAt = tailLength < 56 ? 56 : 120;
    layout.lastBlockCount = tailLength < 56 ? 1 : 2;
    RtlMoveMemory(lastBlocks, message + static_cast<std::size_t>(layout.fullBlockCount) * 64,
                  tailLength);
    RtlMoveMemory(lastBlocks + tailLength, kPaddingBytes, lengthFieldAt - tailLength);
    layout.bitCountLow = length << 3;
    layout.bitCountHigh = length >> 29;
    unsigned char* lengthField = lastBlocks + lengthFieldAt;
    if (order == LengthOrder::kBigEndian) {
        StoreBE32(lengthField, layout.bitCountHigh);
        StoreBE32(lengthField + 4, layout.bitCountLow);
    } else {
        StoreLE32(lengthField, layout.bitCountLow);
        StoreLE32(lengthField + 4, layout.bitCountHigh);
    }
    return layout;
}

}  // namespace digest_internal
