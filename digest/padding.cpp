// Message padding for the routines that work inside the caller's buffer, and the hexadecimal
// text every cryptographic digest ends with.
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
                       const std::uint32_t* initialWords, int wordCount, BlocksFunction* blocks) {
    const std::uint64_t paddedLength = PadInPlace(message, length);
    std::uint32_t words[5];
    for (int i = 0; i < wordCount; ++i) words[i] = initialWords[i];
    // A padded length of up to 2^32 + 63 bytes is a block count that fits any size_t.
    blocks(words, message, static_cast<std::size_t>(paddedLength / 64));
    for (int i = 0; i < wordCount; ++i) {
        words[i] = ByteSwap32(words[i]);
        StoreLE32(state + 4 * i, words[i]);
    }
    FormatWords(reinterpret_cast<char*>(message), words, wordCount);
}

void FormatWords(char* text, const std::uint32_t* words, int count) {
    for (int i = 0; i < count; ++i) wsprintfA(text + 8 * i, "%.8x", words[i]);
    if (count == 0) text[0] = '\0';
}

}  // namespace digest_internal
