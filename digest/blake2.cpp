// BLAKE2b-512 and BLAKE2s-256 (RFC 7693), unkeyed, as streams: the compression and the
// stream around it. BLAKE2 marks the message's final block, so a stream always holds back the
// last block it has (full or not) until it learns whether more bytes follow.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "blake2.h"
#include "file_digests.h"
#include "processor.h"

namespace digest_internal {

namespace {

inline std::uint64_t LoadLE64(const unsigned char* bytes) {
    return LoadLE32(bytes) | static_cast<std::uint64_t>(LoadLE32(bytes + 4)) << 32;
}

template <typename Word>
Word LoadWord(const unsigned char* bytes) {
    if constexpr (sizeof(Word) == 8) {
        return LoadLE64(bytes);
    } else {
        return LoadLE32(bytes);
    }
}

template <typename Word, int kRounds, const int* kRotations, const Word* kInitialWords>
void PortableBlocks(Word* h, Word* counter, const unsigned char* blocks, std::size_t blockCount,
                    std::uint32_t counted, Word finalMask) {
    for (std::size_t block = 0; block < blockCount; ++block) {
        counter[0] += counted;
        if (counter[0] < counted) ++counter[1];
        Word m[16];
        for (std::size_t i = 0; i < 16; ++i) {
            m[i] = LoadWord<Word>(blocks + (16 * block + i) * sizeof(Word));
        }
        Word v[16];
        for (int i = 0; i < 8; ++i) {
            v[i] = h[i];
            v[i + 8] = kInitialWords[i];
        }
        v[12] ^= counter[0];
        v[13] ^= counter[1];
        v[14] ^= finalMask;
#if defined(__GNUC__)
#pragma GCC unroll 12
#endif
        for (int round = 0; round < kRounds; ++round) {
            Round<Word, kRotations>(v, m, kBLAKE2Sigma[round % 10]);
        }
        for (int i = 0; i < 8; ++i) h[i] ^= v[i] ^ v[i + 8];
    }
}

// A block is sixteen words.
template <typename Word>
inline constexpr std::size_t kBlockBytes = 16 * sizeof(Word);

// The stream of either width.
template <typename Word>
struct Blake2Stream {
    Word h[8];
    Word counter[2];  // bytes compressed, low word first
    std::uint32_t pendingCount;
    unsigned char pending[kBlockBytes<Word>];
};

template <typename Word, const Word* kInitialWords>
void StartBlake2(void* state) {
    auto* stream = static_cast<Blake2Stream<Word>*>(state);
    std::memset(stream, 0, sizeof *stream);
    std::copy_n(kInitialWords, 8, stream->h);
    // The parameter block's first word: digest length in bytes (the whole chaining value),
    // no key, fan-out 1, depth 1; the rest of it is zero.
    stream->h[0] ^= 0x01010000u | (sizeof(Word) * 8);
}

template <typename Word, auto kBlocks>
void FeedBlake2(void* state, const unsigned char* bytes, std::size_t count) {
    constexpr std::size_t kBytes = kBlockBytes<Word>;
    auto* stream = static_cast<Blake2Stream<Word>*>(state);
    if (count <= kBytes - stream->pendingCount) {
        if (count != 0) std::memcpy(stream->pending + stream->pendingCount, bytes, count);
        stream->pendingCount += static_cast<std::uint32_t>(count);
        return;
    }
    // More than the pending block can take: that block is not the last.
    if (stream->pendingCount != 0) {
        const std::size_t take = kBytes - stream->pendingCount;
        std::memcpy(stream->pending + stream->pendingCount, bytes, take);
        bytes += take;
        count -= take;
        kBlocks(stream->h, stream->counter, stream->pending, 1, kBytes, Word{0});
    }
    // Whole blocks where they lie, keeping back the last (1 to kBytes bytes).
    const std::size_t wholeBlocks = (count - 1) / kBytes;
    if (wholeBlocks != 0) {
        kBlocks(stream->h, stream->counter, bytes, wholeBlocks, kBytes, Word{0});
    }
    const std::size_t rest = count - wholeBlocks * kBytes;
    std::memcpy(stream->pending, bytes + wholeBlocks * kBytes, rest);
    stream->pendingCount = static_cast<std::uint32_t>(rest);
}

template <typename Word, auto kBlocks>
void FinishBlake2(void* state, char* text) {
    constexpr std::size_t kBytes = kBlockBytes<Word>;
    auto* stream = static_cast<Blake2Stream<Word>*>(state);
    std::memset(stream->pending + stream->pendingCount, 0, kBytes - stream->pendingCount);
    kBlocks(stream->h, stream->counter, stream->pending, 1, stream->pendingCount,
            static_cast<Word>(~Word{0}));
    // The digest is the words' bytes least significant first.
    std::uint32_t words[16];
    int count = 0;
    for (Word word : stream->h) {
        for (std::size_t half = 0; half < sizeof(Word) / 4; ++half) {
            words[count++] = ByteSwap32(static_cast<std::uint32_t>(word >> (32 * half)));
        }
    }
    FormatWords(text, words, count);
}

using Blake2bStream = Blake2Stream<std::uint64_t>;
using Blake2sStream = Blake2Stream<std::uint32_t>;
static_assert(sizeof(Blake2bStream) <= kStreamStateBytes);
static_assert(alignof(Blake2bStream) <= kStreamStateAlignment);
static_assert(sizeof(Blake2sStream) <= kStreamStateBytes);

template <auto kBlocks>
constexpr StreamForm Blake2bForm(unsigned features) {
    return {features, StartBlake2<std::uint64_t, kBLAKE2bInitialWords>,
            FeedBlake2<std::uint64_t, kBlocks>, FinishBlake2<std::uint64_t, kBlocks>};
}

template <auto kBlocks>
constexpr StreamForm Blake2sForm(unsigned features) {
    return {features, StartBlake2<std::uint32_t, kSHA256InitialWords>,
            FeedBlake2<std::uint32_t, kBlocks>, FinishBlake2<std::uint32_t, kBlocks>};
}

}  // namespace

void BLAKE2bBlocks(std::uint64_t* h, std::uint64_t* counter, const unsigned char* blocks,
                   std::size_t blockCount, std::uint32_t counted, std::uint64_t finalMask) {
    PortableBlocks<std::uint64_t, kBLAKE2bRounds, kBLAKE2bRotations, kBLAKE2bInitialWords>(
        h, counter, blocks, blockCount, counted, finalMask);
}

void BLAKE2sBlocks(std::uint32_t* h, std::uint32_t* counter, const unsigned char* blocks,
                   std::size_t blockCount, std::uint32_t counted, std::uint32_t finalMask) {
    PortableBlocks<std::uint32_t, kBLAKE2sRounds, kBLAKE2sRotations, kSHA256InitialWords>(
        h, counter, blocks, blockCount, counted, finalMask);
}

}  // namespace digest_internal

using namespace digest_internal;

// deliberate: BLAKE2 has only its portable form. Rows of the working words in SSE4.1 or AVX2
// vectors run one block as a single chain of dependent operations and measured at less than
// half this form's speed, which keeps four independent G's in flight (history: "BLAKE2b rows
// on AVX2 and SSE4.1").
const StreamForm kBLAKE2bStreamForms[] = {
    Blake2bForm<BLAKE2bBlocks>(0),
};

const StreamForm kBLAKE2sStreamForms[] = {
    Blake2sForm<BLAKE2sBlocks>(0),
};
