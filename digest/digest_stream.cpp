// The incremental form of the twelve digests, and the one-shot routines that keep a static
// context (MD2, SHA-0, SHA-1, SHA-256, RIPEMD-256), which run as one stream over the message.
#include "digest_stream.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "block_functions.h"
#include "crc_functions.h"
#include "digest_internal.h"

namespace {

using namespace digest_internal;

// A digest over 64-byte blocks with a 64-bit bit count in its padding.
struct BlockAlgorithm {
    const std::uint32_t* initialWords;
    int wordCount;
    // The MD and RIPEMD families count bits little-endian and publish their words' bytes
    // least significant first (so the words are printed byte-swapped); SHA is big-endian.
    bool littleEndian;
    BlocksFunction* portable;
    BlocksFunction* hardware;  // the processor-specific path, or null
};

const BlockAlgorithm* FindBlockAlgorithm(DigestKind kind) {
    static constexpr BlocksFunction* kNone = nullptr;
#if HASHCALC_DIGEST_X86
    static constexpr BlocksFunction* kSHA1Hardware = SHA1BlocksOnShaInstructions;
    static constexpr BlocksFunction* kSHA256Hardware = SHA256BlocksOnShaInstructions;
#else
    static constexpr BlocksFunction* kSHA1Hardware = nullptr;
    static constexpr BlocksFunction* kSHA256Hardware = nullptr;
#endif
    static const BlockAlgorithm kMD5 = {kMdInitialWords, 4, true, MD5Blocks, kNone};
    static const BlockAlgorithm kMD4 = {kMdInitialWords, 4, true, MD4Blocks, kNone};
    static const BlockAlgorithm kSHA0 = {kMdInitialWords, 5, false, SHA0Blocks, kNone};
    static const BlockAlgorithm kSHA1 = {kMdInitialWords, 5, false, SHA1Blocks, kSHA1Hardware};
    static const BlockAlgorithm kSHA256 = {kSHA256InitialWords, 8, false, SHA256Blocks,
                                           kSHA256Hardware};
    static const BlockAlgorithm kRIPEMD128 = {kMdInitialWords, 4, true, RIPEMD128Blocks, kNone};
    static const BlockAlgorithm kRIPEMD160 = {kMdInitialWords, 5, true, RIPEMD160Blocks, kNone};
    static const BlockAlgorithm kRIPEMD256 = {kRIPEMD256InitialWords, 8, true, RIPEMD256Blocks,
                                              kNone};
    switch (kind) {
        case DigestKind::kMD5: return &kMD5;
        case DigestKind::kMD4: return &kMD4;
        case DigestKind::kSHA0: return &kSHA0;
        case DigestKind::kSHA1: return &kSHA1;
        case DigestKind::kSHA256: return &kSHA256;
        case DigestKind::kRIPEMD128: return &kRIPEMD128;
        case DigestKind::kRIPEMD160: return &kRIPEMD160;
        case DigestKind::kRIPEMD256: return &kRIPEMD256;
        default: return nullptr;
    }
}

const CrcAlgorithm* FindCrcAlgorithm(DigestKind kind) {
    switch (kind) {
        case DigestKind::kCRC16: return &kCrc16Algorithm;
        case DigestKind::kCRC32: return &kCrc32Algorithm;
        case DigestKind::kCRC32b: return &kCrc32bAlgorithm;
        default: return nullptr;
    }
}

BlocksFunction* ChooseBlocks(const BlockAlgorithm& algorithm, bool hardware) {
    return hardware ? algorithm.hardware : algorithm.portable;
}

bool HardwareDisabledByEnvironment() {
    const char* value = std::getenv("HASHCALC_NO_HARDWARE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

std::atomic<bool> hardwareAllowed{!HardwareDisabledByEnvironment()};

// Feeds a byte range to a stream of 64-byte or 16-byte blocks: completes the pending block
// first, then compresses whole blocks where they lie, and keeps what is left over.
template <typename CompressRun>
void FeedBlocks(DigestStream* stream, const unsigned char* bytes, std::size_t count,
                std::size_t blockBytes, CompressRun compress) {
    if (stream->pendingCount != 0) {
        const std::size_t take = std::min(count, blockBytes - stream->pendingCount);
        std::memcpy(stream->pending + stream->pendingCount, bytes, take);
        stream->pendingCount += static_cast<std::uint32_t>(take);
        bytes += take;
        count -= take;
        if (stream->pendingCount < blockBytes) return;
        compress(stream->pending, 1);
        stream->pendingCount = 0;
    }
    const std::size_t wholeBlocks = count / blockBytes;
    if (wholeBlocks != 0) compress(bytes, wholeBlocks);
    const std::size_t rest = count - wholeBlocks * blockBytes;
    std::memcpy(stream->pending, bytes + wholeBlocks * blockBytes, rest);
    stream->pendingCount = static_cast<std::uint32_t>(rest);
}

// Pads the pending tail where it lies with 0x80, zeros and the 64-bit bit count, and
// compresses it.
void FinishBlocks(DigestStream* stream, const BlockAlgorithm& algorithm, char* text) {
    unsigned char* tail = stream->pending;
    const std::uint32_t tailLength = stream->pendingCount;
    const std::uint32_t lengthFieldAt = tailLength < 56 ? 56 : 120;
    std::memcpy(tail + tailLength, kPaddingBytes, lengthFieldAt - tailLength);
    const std::uint64_t bitCount = stream->length << 3;  // modulo 2^64, as the standards say
    const auto low = static_cast<std::uint32_t>(bitCount);
    const auto high = static_cast<std::uint32_t>(bitCount >> 32);
    if (algorithm.littleEndian) {
        StoreLE32(tail + lengthFieldAt, low);
        StoreLE32(tail + lengthFieldAt + 4, high);
    } else {
        StoreBE32(tail + lengthFieldAt, high);
        StoreBE32(tail + lengthFieldAt + 4, low);
    }
    ChooseBlocks(algorithm, stream->hardware)(stream->state, tail, (lengthFieldAt + 8) / 64);

    std::uint32_t words[8];
    for (int i = 0; i < algorithm.wordCount; ++i) {
        words[i] = algorithm.littleEndian ? ByteSwap32(stream->state[i]) : stream->state[i];
    }
    FormatWords(text, words, algorithm.wordCount);
}

// MD2's last block holds the tail and v bytes of value v, where v is what the tail lacks of 16
// (a whole block of 16s when there is no tail); the checksum follows as one more block.
void FinishMD2(DigestStream* stream, char* text) {
    auto* stateAndChecksum = reinterpret_cast<unsigned char*>(stream->state);
    const std::uint32_t padCount = 16 - stream->pendingCount;
    std::memset(stream->pending + stream->pendingCount, static_cast<int>(padCount), padCount);
    MD2Blocks(stateAndChecksum, stream->pending, 1);
    unsigned char checksum[16];
    std::memcpy(checksum, stateAndChecksum + 16, 16);
    MD2Blocks(stateAndChecksum, checksum, 1);
    std::uint32_t words[4];
    for (int i = 0; i < 4; ++i) words[i] = LoadBE32(stateAndChecksum + 4 * i);
    FormatWords(text, words, 4);
}

// One-shot routines with a static context: the whole message as one stream.
void HashAsStream(DigestStream* context, DigestKind kind, char* buffer, std::uint32_t length) {
    StartDigest(context, kind);
    FeedDigest(context, buffer, length);
    FinishDigest(context, buffer);
}

DigestStream MD2Context;
DigestStream SHA0Context;
DigestStream SHA1Context;
DigestStream SHA256Context;
DigestStream RIPEMD256Context;

}  // namespace

namespace digest_internal {

bool HardwareDigestsAllowed() {
    return hardwareAllowed.load(std::memory_order_relaxed);
}

}  // namespace digest_internal

void AllowHardwareDigests(bool allowed) {
    hardwareAllowed.store(allowed, std::memory_order_relaxed);
}

bool UsesHardwareDigest(DigestKind kind) {
    if (!HardwareDigestsAllowed()) return false;
    if (const BlockAlgorithm* block = FindBlockAlgorithm(kind)) {
        return block->hardware != nullptr && ProcessorHasShaInstructions();
    }
    if (const CrcAlgorithm* crc = FindCrcAlgorithm(kind)) return ChooseCrcUpdate(*crc) != crc->portable;
    return false;
}

void StartDigest(DigestStream* stream, DigestKind kind) {
    std::memset(stream, 0, sizeof *stream);
    stream->kind = kind;
    stream->hardware = UsesHardwareDigest(kind);
    if (const BlockAlgorithm* block = FindBlockAlgorithm(kind)) {
        std::copy_n(block->initialWords, block->wordCount, stream->state);
    } else if (const CrcAlgorithm* crc = FindCrcAlgorithm(kind)) {
        stream->state[0] = crc->initial;
    }
    // MD2 starts from an all-zero state and checksum.
}

void FeedDigest(DigestStream* stream, const void* bytes, std::size_t count) {
    if (count == 0) return;  // an empty range may come with a null pointer
    const auto* data = static_cast<const unsigned char*>(bytes);
    stream->length += count;
    if (const BlockAlgorithm* block = FindBlockAlgorithm(stream->kind)) {
        BlocksFunction* blocks = ChooseBlocks(*block, stream->hardware);
        FeedBlocks(stream, data, count, 64,
                   [&](const unsigned char* run, std::size_t runBlocks) {
                       blocks(stream->state, run, runBlocks);
                   });
    } else if (const CrcAlgorithm* crc = FindCrcAlgorithm(stream->kind)) {
        CrcUpdate* update = stream->hardware ? crc->hardware : crc->portable;
        stream->state[0] = update(stream->state[0], data, count);
    } else if (stream->kind == DigestKind::kMD2) {
        auto* stateAndChecksum = reinterpret_cast<unsigned char*>(stream->state);
        FeedBlocks(stream, data, count, 16,
                   [&](const unsigned char* run, std::size_t runBlocks) {
                       MD2Blocks(stateAndChecksum, run, runBlocks);
                   });
    }
}

void FinishDigest(DigestStream* stream, char* text) {
    if (const BlockAlgorithm* block = FindBlockAlgorithm(stream->kind)) {
        FinishBlocks(stream, *block, text);
    } else if (const CrcAlgorithm* crc = FindCrcAlgorithm(stream->kind)) {
        FormatCrc(*crc, stream->state[0], text);
    } else if (stream->kind == DigestKind::kMD2) {
        FinishMD2(stream, text);
    } else {
        text[0] = '\0';
    }
}

void HashMD2(char* buffer, std::uint32_t length) {
    HashAsStream(&MD2Context, DigestKind::kMD2, buffer, length);
}

void HashSHA0(char* buffer, std::uint32_t length) {
    HashAsStream(&SHA0Context, DigestKind::kSHA0, buffer, length);
}

void HashSHA1(char* buffer, std::uint32_t length) {
    HashAsStream(&SHA1Context, DigestKind::kSHA1, buffer, length);
}

void HashSHA256(char* buffer, std::uint32_t length) {
    HashAsStream(&SHA256Context, DigestKind::kSHA256, buffer, length);
}

void HashRIPEMD256(char* buffer, std::uint32_t length) {
    HashAsStream(&RIPEMD256Context, DigestKind::kRIPEMD256, buffer, length);
}
