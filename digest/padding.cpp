// Message padding for the routines that work inside the caller's buffer, and the hexadecimal
// text every cryptographic digest ends with.
#include <algorithm>

#include "digest_internal.h"
#include "row_streams.h"
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
                       const BlockAlgorithm& algorithm) {
    const std::uint64_t paddedLength = PadInPlace(message, length);
    std::uint32_t words[8];
    std::copy_n(algorithm.initialWords, algorithm.wordCount, words);
    // A padded length of up to 2^32 + 63 bytes is a block count that fits any size_t.
    ChooseBlocks(algorithm, UseBlocksHardware(algorithm))(
        words, message, static_cast<std::size_t>(paddedLength / 64));
    for (int i = 0; i < algorithm.wordCount; ++i) {
        words[i] = ByteSwap32(words[i]);
        StoreLE32(state + 4 * static_cast<std::size_t>(i), words[i]);
    }
    FormatWords(reinterpret_cast<char*>(message), words, algorithm.wordCount);
}

void FormatWords(char* text, const std::uint32_t* w, int count) {
    // One call per text: formatting costs as much as hashing a short message, per call.
    switch (count) {
        case 4: wsprintfA(text, "%.8x%.8x%.8x%.8x", w[0], w[1], w[2], w[3]); break;
        case 5: wsprintfA(text, "%.8x%.8x%.8x%.8x%.8x", w[0], w[1], w[2], w[3], w[4]); break;
        case 8:
            wsprintfA(text, "%.8x%.8x%.8x%.8x%.8x%.8x%.8x%.8x", w[0], w[1], w[2], w[3], w[4], w[5],
                      w[6], w[7]);
            break;
        default:
            for (int i = 0; i < count; ++i) {
                wsprintfA(text + 8 * static_cast<std::size_t>(i), "%.8x", w[i]);
            }
            text[8 * static_cast<std::size_t>(count)] = '\0';
            break;
    }
}

}  // namespace digest_internal
