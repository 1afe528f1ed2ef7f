// The stream shared by every SHA-2 digest as a StreamForm: eight chaining words of 32 bits
// (SHA-224) or 64 bits (SHA-384, SHA-512, SHA-512/256), blocks of sixteen words, and a padding
// that ends in the message's bit count, big-endian, in two words. Each digest is an initial
// value, a compression function and a count of digest bytes; the stream around them is here
// once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "digest_internal.h"
#include "stream_forms.h"

namespace digest_internal {

inline std::uint64_t LoadBE64(const unsigned char* bytes) {
    return (std::uint64_t{LoadBE32(bytes)} << 32) | LoadBE32(bytes + 4);
}

inline void StoreBE64(unsigned char* bytes, std::uint64_t value) {
    StoreBE32(bytes, static_cast<std::uint32_t>(value >> 32));
    StoreBE32(bytes + 4, static_cast<std::uint32_t>(value));
}

inline void StoreBEWord(unsigned char* bytes, std::uint32_t value) {
    StoreBE32(bytes, value);
}
inline void StoreBEWord(unsigned char* bytes, std::uint64_t value) {
    StoreBE64(bytes, value);
}

// Compresses `blockCount` consecutive blocks of sixteen words into the eight chaining words.
template <typename Word>
using Sha2Blocks = void(Word* chain, const unsigned char* blocks, std::size_t blockCount);

template <typename Word>
struct Sha2State {
    static constexpr std::size_t kBlockBytes = 16 * sizeof(Word);
    Word chain[8];
    std::uint64_t length;  // bytes fed so far
    std::size_t pendingCount;
    // A block not yet complete; at the finish, the padded last one or two blocks.
    unsigned char pending[2 * kBlockBytes];
};

template <typename Word, const Word* kInitialWords>
void StartSha2(void* opaque) {
    auto* state = static_cast<Sha2State<Word>*>(opaque);
    std::copy_n(kInitialWords, 8, state->chain);
    state->length = 0;
    state->pendingCount = 0;
}

// Completes the pending block first, then compresses whole blocks where they lie and keeps
// the rest.
template <typename Word, Sha2Blocks<Word>* kBlocks>
void FeedSha2(void* opaque, const unsigned char* bytes, std::size_t count) {
    constexpr std::size_t kBlockBytes = Sha2State<Word>::kBlockBytes;
    if (count == 0) return;  // an empty range may come with a null pointer
    auto* state = static_cast<Sha2State<Word>*>(opaque);
    state->length += count;
    if (state->pendingCount != 0) {
        const std::size_t take = std::min(count, kBlockBytes - state->pendingCount);
        std::memcpy(state->pending + state->pendingCount, bytes, take);
        state->pendingCount += take;
        bytes += take;
        count -= take;
        if (state->pendingCount < kBlockBytes) return;
        kBlocks(state->chain, state->pending, 1);
        state->pendingCount = 0;
    }
    const std::size_t wholeBlocks = count / kBlockBytes;
    if (wholeBlocks != 0) kBlocks(state->chain, bytes, wholeBlocks);
    const std::size_t rest = count - wholeBlocks * kBlockBytes;
    std::memcpy(state->pending, bytes + wholeBlocks * kBlockBytes, rest);
    state->pendingCount = rest;
}

// Pads the tail with 0x80, zeros and the bit count in two big-endian words, compresses it and
// writes the first `kDigestBytes` bytes of the chaining words, big-endian, as lowercase hex.
template <typename Word, Sha2Blocks<Word>* kBlocks, int kDigestBytes>
void FinishSha2(void* opaque, char* text) {
    constexpr std::size_t kBlockBytes = Sha2State<Word>::kBlockBytes;
    constexpr std::size_t kLengthFieldBytes = 2 * sizeof(Word);
    static_assert(kDigestBytes % 4 == 0 && kDigestBytes <= 8 * static_cast<int>(sizeof(Word)));
    auto* state = static_cast<Sha2State<Word>*>(opaque);
    unsigned char* tail = state->pending;
    const std::size_t lengthFieldAt = state->pendingCount < kBlockBytes - kLengthFieldBytes
                                          ? kBlockBytes - kLengthFieldBytes
                                          : 2 * kBlockBytes - kLengthFieldBytes;
    tail[state->pendingCount] = 0x80;
    std::memset(tail + state->pendingCount + 1, 0, lengthFieldAt - state->pendingCount - 1);
    // The byte count times eight, as a number of twice the word's width.
    const std::uint64_t bitsLow = state->length << 3;
    const std::uint64_t bitsHigh = state->length >> 61;
    if constexpr (sizeof(Word) == 8) {
        StoreBE64(tail + lengthFieldAt, bitsHigh);
        StoreBE64(tail + lengthFieldAt + 8, bitsLow);
    } else {
        StoreBE64(tail + lengthFieldAt, bitsLow);  // modulo 2^64, as the standard says
    }
    kBlocks(state->chain, tail, (lengthFieldAt + kLengthFieldBytes) / kBlockBytes);

    unsigned char digest[8 * sizeof(Word)];
    for (std::size_t i = 0; i < 8; ++i) StoreBEWord(digest + sizeof(Word) * i, state->chain[i]);
    constexpr auto kWordCount = static_cast<std::size_t>(kDigestBytes / 4);
    std::uint32_t words[kWordCount];
    for (std::size_t i = 0; i < kWordCount; ++i) words[i] = LoadBE32(digest + 4 * i);
    FormatWords(text, words, kDigestBytes / 4);
}

// The form of a SHA-2 digest on one compression function.
template <typename Word, const Word* kInitialWords, Sha2Blocks<Word>* kBlocks, int kDigestBytes>
constexpr StreamForm Sha2Form(unsigned features) {
    static_assert(sizeof(Sha2State<Word>) <= kStreamStateBytes &&
                  alignof(Sha2State<Word>) <= kStreamStateAlignment);
    return {features, StartSha2<Word, kInitialWords>, FeedSha2<Word, kBlocks>,
            FinishSha2<Word, kBlocks, kDigestBytes>};
}

}  // namespace digest_internal
