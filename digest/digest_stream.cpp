// The streams of every row of the digest table, and the one-shot routines that keep a static
// context (MD2, SHA-0, SHA-1, SHA-256, RIPEMD-256), which run as one stream over the message.
#include "digest_stream.h"

#include <algorithm>
#include <cstring>

#include "block_functions.h"
#include "crc_functions.h"
#include "digest_internal.h"
#include "file_digests.h"
#include "processor.h"
#include "row_streams.h"

namespace {

using namespace digest_internal;

// Feeds a byte range to a stream of 64-byte or 16-byte blocks: completes the pending block
// first, then compresses whole blocks where they lie, and keeps what is left over.
template <typename CompressRun>
void FeedBlocks(BlockStreamState* stream, const unsigned char* bytes, std::size_t count,
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
void FinishBlocks(BlockStreamState* stream, const BlockAlgorithm& algorithm, char* text) {
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
void FinishMD2(BlockStreamState* stream, char* text) {
    auto* stateAndChecksum = reinterpret_cast<unsigned char*>(stream->state);
    const std::uint32_t padCount = 16 - stream->pendingCount;
    std::memset(stream->pending + stream->pendingCount, static_cast<int>(padCount), padCount);
    MD2Blocks(stateAndChecksum, stream->pending, 1);
    unsigned char checksum[16];
    std::memcpy(checksum, stateAndChecksum + 16, 16);
    MD2Blocks(stateAndChecksum, checksum, 1);
    std::uint32_t words[4];
    for (std::size_t i = 0; i < 4; ++i) words[i] = LoadBE32(stateAndChecksum + 4 * i);
    FormatWords(text, words, 4);
}

void StartTableStream(BlockStreamState* stream, const DigestAlgorithm& row) {
    std::memset(stream, 0, sizeof *stream);
    switch (row.shape) {
        case StreamShape::kBlocks64:
            stream->hardware = UseBlocksHardware(row.blocks);
            std::copy_n(row.blocks.initialWords, row.blocks.wordCount, stream->state);
            break;
        case StreamShape::kCrc:
            stream->hardware = UseCrcHardware(row.crc);
            stream->state[0] = row.crc.initial;
            break;
        case StreamShape::kMD2:  // starts from an all-zero state and checksum
        case StreamShape::kForms: break;
    }
}

void FeedTableStream(BlockStreamState* stream, const DigestAlgorithm& row,
                     const unsigned char* bytes, std::size_t count) {
    stream->length += count;
    switch (row.shape) {
        case StreamShape::kBlocks64: {
            BlocksFunction* blocks = ChooseBlocks(row.blocks, stream->hardware);
            FeedBlocks(stream, bytes, count, 64,
                       [&](const unsigned char* run, std::size_t runBlocks) {
                           blocks(stream->state, run, runBlocks);
                       });
            break;
        }
        case StreamShape::kCrc:
            stream->state[0] =
                ChooseCrcUpdate(row.crc, stream->hardware)(stream->state[0], bytes, count);
            break;
        case StreamShape::kMD2: {
            auto* stateAndChecksum = reinterpret_cast<unsigned char*>(stream->state);
            FeedBlocks(stream, bytes, count, 16,
                       [&](const unsigned char* run, std::size_t runBlocks) {
                           MD2Blocks(stateAndChecksum, run, runBlocks);
                       });
            break;
        }
        case StreamShape::kForms: break;
    }
}

void FinishTableStream(BlockStreamState* stream, const DigestAlgorithm& row, char* text) {
    switch (row.shape) {
        case StreamShape::kBlocks64: FinishBlocks(stream, row.blocks, text); return;
        case StreamShape::kCrc: FormatCrc(row.crc, stream->state[0], text); return;
        case StreamShape::kMD2: FinishMD2(stream, text); return;
        case StreamShape::kForms: break;
    }
    text[0] = '\0';
}

// The first form, best first, whose features may be used now; the last needs none.
const StreamForm* ChooseForm(const StreamFormList& list) {
    for (int i = 0; i + 1 < list.count; ++i) {
        if (ProcessorFeaturesUsable(list.forms[i].features)) return &list.forms[i];
    }
    return &list.forms[list.count - 1];
}

// One-shot routines with a static context: the whole message as one stream.
void HashAsStream(BlockStreamState* context, DigestKind kind, char* buffer, std::uint32_t length) {
    const DigestAlgorithm& row = DigestRow(kind);
    StartTableStream(context, row);
    FeedTableStream(context, row, reinterpret_cast<const unsigned char*>(buffer), length);
    FinishTableStream(context, row, buffer);
}

BlockStreamState MD2Context;
BlockStreamState SHA0Context;
BlockStreamState SHA1Context;
BlockStreamState SHA256Context;
BlockStreamState RIPEMD256Context;

}  // namespace

namespace digest_internal {

bool UseBlocksHardware(const BlockAlgorithm& algorithm) {
    return algorithm.hardware != nullptr && ProcessorFeaturesUsable(algorithm.hardwareFeatures);
}

void StartDigestOnRow(DigestStream* stream, const DigestAlgorithm* row) {
    stream->row = row;
    stream->form = nullptr;
    if (row == nullptr) return;
    if (row->shape == StreamShape::kForms) {
        stream->form = ChooseForm(row->forms);
        stream->form->start(stream->formState);
    } else {
        StartTableStream(&stream->blocks, *row);
    }
}

}  // namespace digest_internal

void AllowHardwareDigests(bool allowed) {
    LimitProcessorFeatures(allowed ? kAllProcessorFeatures : 0u);
}

bool UsesHardwareDigest(DigestKind kind) {
    if (static_cast<unsigned>(kind) >= static_cast<unsigned>(kDigestCount)) return false;
    const DigestAlgorithm& row = DigestRow(kind);
    switch (row.shape) {
        case StreamShape::kBlocks64: return UseBlocksHardware(row.blocks);
        case StreamShape::kCrc: return UseCrcHardware(row.crc);
        case StreamShape::kMD2: return false;
        case StreamShape::kForms: return ChooseForm(row.forms)->features != 0;
    }
    return false;
}

void StartDigest(DigestStream* stream, DigestKind kind) {
    const bool inTable = static_cast<unsigned>(kind) < static_cast<unsigned>(kDigestCount);
    StartDigestOnRow(stream, inTable ? &DigestRow(kind) : nullptr);
}

void FeedDigest(DigestStream* stream, const void* bytes, std::size_t count) {
    if (count == 0 || stream->row == nullptr)
        return;  // an empty range may come with a null pointer
    const auto* data = static_cast<const unsigned char*>(bytes);
    if (stream->form != nullptr) {
        stream->form->feed(stream->formState, data, count);
    } else {
        FeedTableStream(&stream->blocks, *stream->row, data, count);
    }
}

void FeedDigestOnTwoThreads(DigestStream* stream, const void* bytes, std::size_t count) {
    if (count != 0 && stream->row != nullptr && stream->row->kind == DigestKind::kBLAKE3 &&
        stream->form != nullptr) {
        FeedBLAKE3OnTwoThreads(*stream->form, stream->formState,
                               static_cast<const unsigned char*>(bytes), count);
        return;
    }
    FeedDigest(stream, bytes, count);
}

void FinishDigest(DigestStream* stream, char* text) {
    if (stream->row == nullptr) {
        text[0] = '\0';
    } else if (stream->form != nullptr) {
        stream->form->finish(stream->formState, text);
    } else {
        FinishTableStream(&stream->blocks, *stream->row, text);
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
