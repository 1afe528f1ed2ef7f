// BLAKE3 as a stream. The input is cut into 1024-byte chunks, each hashed in 64-byte blocks to
// a chaining value; chaining values pair up into parent nodes, the left subtree always holding
// the largest power of two of chunks that leaves something for the right, and the last node
// is compressed once more as the root. The stream keeps the chunk in progress and a stack of
// the chaining values of complete subtrees still waiting for their right neighbour.
//
// Where a chunk begins in the caller's range and more than a chunk lies ahead, whole chunks are
// hashed where they lie by a form's wide kernels, a complete subtree at a time, so a form that
// hashes many chunks at once needs no copy of them in the state.
#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "blake3.h"
#include "file_digests.h"
#include "processor.h"
#include "side_thread.h"

namespace digest_internal {

namespace {

// The largest subtree hashed from the caller's range in one go: enough for the widest form's
// lanes to stay full for a few levels of parents.
constexpr std::size_t kMaxRunChunks = 64;

// A stream of 2^64 bytes has fewer than 2^54 chunks, so at most 54 complete subtrees, plus
// the one pushed before they are merged.
constexpr int kStackDepth = 55;

struct Blake3Stream {
    std::uint32_t cv[8];         // the current chunk's chaining value so far
    std::uint64_t chunkCounter;  // chunks of this stream completed before the current one
    std::uint64_t chunkBase;     // chunks of the whole input before this stream's part
    std::uint32_t blocksDone;    // blocks of the current chunk compressed
    std::uint32_t pendingCount;  // bytes in `pending`
    std::uint32_t stackCount;
    alignas(16) unsigned char pending[kBLAKE3BlockBytes];
    std::uint32_t stack[kStackDepth][8];
};
static_assert(sizeof(Blake3Stream) <= kStreamStateBytes);
static_assert(alignof(Blake3Stream) <= kStreamStateAlignment);

// A node not yet compressed: what the root's compression, or a chaining value, is made from.
struct Node {
    std::uint32_t cv[8];
    std::uint32_t block[16];
    std::uint64_t counter;
    std::uint32_t blockLength;
    std::uint32_t flags;
};

void LoadBlock(const unsigned char* bytes, std::uint32_t* m) {
    for (std::size_t i = 0; i < 16; ++i) m[i] = LoadLE32(bytes + 4 * i);
}

Node ParentNode(const std::uint32_t* left, const std::uint32_t* right) {
    Node node;
    std::copy_n(kSHA256InitialWords, 8, node.cv);
    std::copy_n(left, 8, node.block);
    std::copy_n(right, 8, node.block + 8);
    node.counter = 0;
    node.blockLength = kBLAKE3BlockBytes;
    node.flags = kBLAKE3Parent;
    return node;
}

void ChainingValue(const Node& node, std::uint32_t extraFlags, std::uint32_t* out) {
    BLAKE3Compress(node.cv, node.block, node.counter, node.blockLength, node.flags | extraFlags,
                   out);
}

void StartBlake3(void* state) {
    auto* stream = static_cast<Blake3Stream*>(state);
    std::memset(stream, 0, sizeof *stream);
    std::copy_n(kSHA256InitialWords, 8, stream->cv);
}

// Once a node follows the first `chunkCounter` chunks, the subtrees on the stack are merged
// down to one per set bit of that count: those are the complete left siblings the rest of the
// tree hangs from. Merging waits until then because the last node must not be compressed
// before the finish knows whether it is the root.
void MergeStack(Blake3Stream* stream) {
    const auto keep = static_cast<std::uint32_t>(std::popcount(stream->chunkCounter));
    while (stream->stackCount > keep) {
        --stream->stackCount;
        std::uint32_t* left = stream->stack[stream->stackCount - 1];
        ChainingValue(ParentNode(left, stream->stack[stream->stackCount]), 0, left);
    }
}

// The number of the chunk in progress within the whole input.
std::uint64_t ChunkNumber(const Blake3Stream* stream) {
    return stream->chunkBase + stream->chunkCounter;
}

// Adds the chaining value of the complete subtree of `chunks` chunks that starts at the
// current chunk counter.
void PushSubtree(Blake3Stream* stream, const std::uint32_t* cv, std::uint64_t chunks) {
    MergeStack(stream);
    std::copy_n(cv, 8, stream->stack[stream->stackCount]);
    ++stream->stackCount;
    stream->chunkCounter += chunks;
}

// Compresses the full block held back, known now not to be the input's last; the chunk's last
// block closes the chunk and adds it to the stack.
void CompressPendingBlock(Blake3Stream* stream) {
    std::uint32_t m[16];
    LoadBlock(stream->pending, m);
    const std::uint32_t start = stream->blocksDone == 0 ? kBLAKE3ChunkStart : 0;
    if (stream->blocksDone + 1 == kBLAKE3ChunkBytes / kBLAKE3BlockBytes) {
        BLAKE3Compress(stream->cv, m, ChunkNumber(stream), kBLAKE3BlockBytes,
                       start | kBLAKE3ChunkEnd, stream->cv);
        PushSubtree(stream, stream->cv, 1);
        std::copy_n(kSHA256InitialWords, 8, stream->cv);
        stream->blocksDone = 0;
    } else {
        BLAKE3Compress(stream->cv, m, ChunkNumber(stream), kBLAKE3BlockBytes, start, stream->cv);
        ++stream->blocksDone;
    }
    stream->pendingCount = 0;
}

// The chaining value of the complete subtree of `chunkCount` chunks (a power of two, at most
// kMaxRunChunks) at `input`, whose first chunk is number `counter`.
template <auto kChunks, auto kParents>
void HashSubtree(const unsigned char* input, std::size_t chunkCount, std::uint64_t counter,
                 std::uint32_t* cv) {
    alignas(64) std::uint32_t cvs[2][kMaxRunChunks * 8];
    kChunks(input, chunkCount, counter, cvs[0]);
    int level = 0;
    for (std::size_t nodes = chunkCount; nodes > 1; nodes /= 2) {
        kParents(cvs[level], nodes / 2, cvs[1 - level]);
        level = 1 - level;
    }
    std::copy_n(cvs[level], 8, cv);
}

// Hashes whole chunks from the caller's range, subtree by subtree, and returns how many bytes
// it took. The very first chunks of a stream are left whole to the chunk path when nothing
// follows them, since their last node may turn out to be the root.
template <auto kChunks, auto kParents>
std::size_t FeedWholeChunks(Blake3Stream* stream, const unsigned char* bytes, std::size_t count) {
    std::size_t chunks = count / kBLAKE3ChunkBytes;
    if (stream->chunkCounter == 0 && chunks * kBLAKE3ChunkBytes == count) --chunks;
    std::size_t taken = 0;
    while (chunks != 0) {
        // The subtree must start at a multiple of its size to be one node of the tree.
        std::size_t size = std::bit_floor(std::min(chunks, kMaxRunChunks));
        if (stream->chunkCounter != 0) {
            const auto alignment = std::uint64_t{1} << std::countr_zero(stream->chunkCounter);
            size = static_cast<std::size_t>(std::min<std::uint64_t>(size, alignment));
        }
        std::uint32_t cv[8];
        HashSubtree<kChunks, kParents>(bytes + taken, size, ChunkNumber(stream), cv);
        PushSubtree(stream, cv, size);
        taken += size * kBLAKE3ChunkBytes;
        chunks -= size;
    }
    return taken;
}

template <auto kChunks, auto kParents>
void FeedBlake3(void* state, const unsigned char* bytes, std::size_t count) {
    auto* stream = static_cast<Blake3Stream*>(state);
    while (count != 0) {
        const bool atChunkStart = stream->blocksDone == 0 && stream->pendingCount == 0;
        if (atChunkStart && count > kBLAKE3ChunkBytes) {
            const std::size_t taken = FeedWholeChunks<kChunks, kParents>(stream, bytes, count);
            bytes += taken;
            count -= taken;
            if (count == 0) return;
        }
        // A full block is held back until more bytes show it is not the chunk's last.
        if (stream->pendingCount == kBLAKE3BlockBytes) {
            CompressPendingBlock(stream);
            continue;
        }
        const std::size_t take =
            std::min<std::size_t>(count, kBLAKE3BlockBytes - stream->pendingCount);
        std::memcpy(stream->pending + stream->pendingCount, bytes, take);
        stream->pendingCount += static_cast<std::uint32_t>(take);
        bytes += take;
        count -= take;
    }
}

void FinishBlake3(void* state, char* text) {
    auto* stream = static_cast<Blake3Stream*>(state);
    std::uint32_t count = stream->stackCount;
    Node node;
    if (stream->blocksDone != 0 || stream->pendingCount != 0 || count == 0) {
        // The chunk in progress is the last node (for an empty input, an empty chunk).
        MergeStack(stream);
        count = stream->stackCount;
        std::copy_n(stream->cv, 8, node.cv);
        unsigned char block[kBLAKE3BlockBytes] = {};
        std::memcpy(block, stream->pending, stream->pendingCount);
        LoadBlock(block, node.block);
        node.counter = ChunkNumber(stream);
        node.blockLength = stream->pendingCount;
        node.flags = kBLAKE3ChunkEnd | (stream->blocksDone == 0 ? kBLAKE3ChunkStart : 0);
    } else {
        // The input ended with a subtree already on the stack.
        count -= 2;
        node = ParentNode(stream->stack[count], stream->stack[count + 1]);
    }
    // Down the right edge of the tree: every node left is the left sibling of the one built.
    while (count != 0) {
        std::uint32_t right[8];
        ChainingValue(node, 0, right);
        --count;
        node = ParentNode(stream->stack[count], right);
    }
    std::uint32_t root[8];
    ChainingValue(node, kBLAKE3Root, root);
    for (std::uint32_t& word : root) word = ByteSwap32(word);  // bytes least significant first
    FormatWords(text, root, 8);
}

// Below this the second thread costs more than it saves.
constexpr std::uint64_t kTwoThreadsFromChunks = 1024;

const StreamForm& ChosenBlake3Form() {
    for (std::size_t i = 0; i + 1 < kBLAKE3StreamFormCount; ++i) {
        if (ProcessorFeaturesUsable(kBLAKE3StreamForms[i].features)) return kBLAKE3StreamForms[i];
    }
    return kBLAKE3StreamForms[kBLAKE3StreamFormCount - 1];
}

// A stream over one part of a larger input whose first `chunkBase` chunks lie before it.
void HashPart(const StreamForm& form, Blake3Stream* stream, std::uint64_t chunkBase,
              const unsigned char* bytes, std::size_t count) {
    form.start(stream);
    stream->chunkBase = chunkBase;
    form.feed(stream, bytes, count);
}

// The first part of a range, for the side thread.
struct LeftPart {
    const StreamForm* form;
    Blake3Stream* stream;
    std::uint64_t chunkBase;
    const unsigned char* bytes;
    std::size_t count;
};

void HashLeftPart(void* opaque) {
    const auto* part = static_cast<const LeftPart*>(opaque);
    HashPart(*part->form, part->stream, part->chunkBase, part->bytes, part->count);
}

// Continues `left`, which ends on a chunk boundary, with the part `right` hashed: the right
// part's complete subtrees join the left's stack, largest first, and its last chunk becomes the
// chunk in progress.
void AppendPart(Blake3Stream* left, Blake3Stream* right) {
    if (left->pendingCount == kBLAKE3BlockBytes) CompressPendingBlock(left);  // its last chunk
    MergeStack(right);
    std::uint64_t chunks = right->chunkCounter;
    for (std::uint32_t i = 0; i < right->stackCount; ++i) {
        const std::uint64_t size = std::bit_floor(chunks);
        PushSubtree(left, right->stack[i], size);
        chunks -= size;
    }
    std::copy_n(right->cv, 8, left->cv);
    left->blocksDone = right->blocksDone;
    left->pendingCount = right->pendingCount;
    std::memcpy(left->pending, right->pending, sizeof left->pending);
}

template <auto kChunks, auto kParents>
constexpr StreamForm Blake3Form(unsigned features) {
    return {features, StartBlake3, FeedBlake3<kChunks, kParents>, FinishBlake3};
}

}  // namespace

void BLAKE3Compress(const std::uint32_t* cv, const std::uint32_t* m, std::uint64_t counter,
                    std::uint32_t blockLength, std::uint32_t flags, std::uint32_t* out) {
    std::uint32_t v[16];
    for (int i = 0; i < 8; ++i) v[i] = cv[i];
    for (int i = 0; i < 4; ++i) v[8 + i] = kSHA256InitialWords[i];
    v[12] = static_cast<std::uint32_t>(counter);
    v[13] = static_cast<std::uint32_t>(counter >> 32);
    v[14] = blockLength;
    v[15] = flags;
#if defined(__GNUC__)
#pragma GCC unroll 7
#endif
    for (int round = 0; round < kBLAKE3Rounds; ++round) {
        Round<std::uint32_t, kBLAKE2sRotations>(v, m, kBLAKE3Schedule.word[round]);
    }
    for (int i = 0; i < 8; ++i) out[i] = v[i] ^ v[i + 8];
}

void BLAKE3Chunks(const unsigned char* chunks, std::size_t count, std::uint64_t counter,
                  std::uint32_t* cvs) {
    for (std::size_t chunk = 0; chunk < count; ++chunk) {
        std::uint32_t* cv = cvs + 8 * chunk;
        std::copy_n(kSHA256InitialWords, 8, cv);
        for (std::size_t block = 0; block < kBLAKE3ChunkBytes / kBLAKE3BlockBytes; ++block) {
            std::uint32_t m[16];
            LoadBlock(chunks + chunk * kBLAKE3ChunkBytes + block * kBLAKE3BlockBytes, m);
            std::uint32_t flags = 0;
            if (block == 0) flags |= kBLAKE3ChunkStart;
            if (block + 1 == kBLAKE3ChunkBytes / kBLAKE3BlockBytes) flags |= kBLAKE3ChunkEnd;
            BLAKE3Compress(cv, m, counter + chunk, kBLAKE3BlockBytes, flags, cv);
        }
    }
}

void BLAKE3Parents(const std::uint32_t* children, std::size_t count, std::uint32_t* cvs) {
    for (std::size_t i = 0; i < count; ++i) {
        ChainingValue(ParentNode(children + 16 * i, children + 16 * i + 8), 0, cvs + 8 * i);
    }
}

}  // namespace digest_internal

using namespace digest_internal;

const StreamForm kBLAKE3StreamForms[] = {
#if HASHCALC_DIGEST_X86
#if !defined(_WIN32)
    Blake3Form<BLAKE3ChunksAVX512, BLAKE3ParentsAVX512>(kFeatureAVX512),
    Blake3Form<BLAKE3ChunksAVX2, BLAKE3ParentsAVX2>(kFeatureAVX2),
#endif
    Blake3Form<BLAKE3ChunksSSE41, BLAKE3ParentsSSE41>(kFeatureSSE41 | kFeatureSSSE3),
#endif
    Blake3Form<BLAKE3Chunks, BLAKE3Parents>(0),
};

void HashBLAKE3OnTwoThreads(const unsigned char* bytes, std::size_t count, char* text) {
    const StreamForm& form = ChosenBlake3Form();
    Blake3Stream left;
    const std::uint64_t chunks = (count + kBLAKE3ChunkBytes - 1) / kBLAKE3ChunkBytes;
    if (chunks < kTwoThreadsFromChunks) {
        HashPart(form, &left, 0, bytes, count);
        FinishBlake3(&left, text);
        return;
    }
    // The right part must start at a multiple of a power of two of chunks no smaller than any
    // complete subtree inside it, so that its subtrees are nodes of the whole tree: it starts
    // at `unit` or 2 * `unit` chunks and keeps under 2 * `unit`, a third to two thirds of the
    // input.
    const std::uint64_t unit = std::bit_floor(chunks / 2);
    const std::uint64_t split = chunks < 3 * unit ? unit : 2 * unit;
    const std::size_t leftBytes = static_cast<std::size_t>(split * kBLAKE3ChunkBytes);
    LeftPart leftPart{&form, &left, 0, bytes, leftBytes};
    SideThread side;
    const bool twoThreads = StartSideThread(&side, HashLeftPart, &leftPart);
    Blake3Stream right;
    HashPart(form, &right, split, bytes + leftBytes, count - leftBytes);
    // Without a second thread the left part is hashed here, after the right: the same text.
    if (twoThreads) {
        JoinSideThread(&side);
    } else {
        HashLeftPart(&leftPart);
    }
    AppendPart(&left, &right);
    FinishBlake3(&left, text);
}

// Ranges shorter than this are fed on the calling thread alone.
constexpr std::size_t kTwoThreadsFeedFromBytes = std::size_t{256} * 1024;

void FeedBLAKE3OnTwoThreads(const StreamForm& form, void* state, const unsigned char* bytes,
                            std::size_t count) {
    auto* stream = static_cast<Blake3Stream*>(state);
    // A chunk held back at the end of the last range is known now not to be the input's last.
    if (count != 0 && stream->pendingCount == kBLAKE3BlockBytes &&
        stream->blocksDone + 1 == kBLAKE3ChunkBytes / kBLAKE3BlockBytes) {
        CompressPendingBlock(stream);
    }
    // The left part is a complete subtree of `leftChunks` chunks, a power of two no smaller
    // than what the right part holds, so both parts' subtrees are nodes of the whole tree; it
    // must start at a multiple of its size.
    const std::uint64_t first = ChunkNumber(stream);
    const std::uint64_t chunks = count / kBLAKE3ChunkBytes;
    const std::uint64_t leftChunks = chunks < 2 ? 0 : std::bit_ceil((chunks + 1) / 2);
    const bool atChunkStart = stream->blocksDone == 0 && stream->pendingCount == 0;
    if (count < kTwoThreadsFeedFromBytes || !atChunkStart || leftChunks == 0 ||
        leftChunks >= chunks || first % leftChunks != 0) {
        form.feed(state, bytes, count);
        return;
    }
    const std::size_t leftBytes = static_cast<std::size_t>(leftChunks * kBLAKE3ChunkBytes);
    Blake3Stream left;
    LeftPart leftPart{&form, &left, first, bytes, leftBytes};
    SideThread side;
    const bool twoThreads = StartSideThread(&side, HashLeftPart, &leftPart);
    Blake3Stream right;
    HashPart(form, &right, first + leftChunks, bytes + leftBytes, count - leftBytes);
    if (twoThreads) {
        JoinSideThread(&side);
    } else {
        HashLeftPart(&leftPart);
    }
    // The left part's subtrees, its last chunk held back; then the right's, which closes it.
    AppendPart(stream, &left);
    AppendPart(stream, &right);
}
