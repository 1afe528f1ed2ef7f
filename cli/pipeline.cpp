// One mutex guards the ring's bookkeeping; the bytes themselves are read and hashed outside
// it. A block's slot is reused once every selected algorithm has taken the block.
#include "pipeline.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <vector>

#include "side_thread.h"

namespace {

// Inputs that end within this many bytes are hashed on the reading thread: handing them to
// the workers would cost more than it saves.
constexpr std::size_t kInlineBytes = std::size_t{64} * 1024;
constexpr std::align_val_t kRingAlignment{4096};

struct RingBlock {
    std::size_t size = 0;
    int feedsLeft = 0;  // selected algorithms that have not yet taken this block
};

}  // namespace

struct HashPipeline {
    unsigned char* ring = nullptr;  // kRingBlocks blocks of kBlockBytes
    RingBlock blocks[kRingBlocks];

    std::mutex lock;
    std::condition_variable workReady;  // workers: a block was published, or stop
    std::condition_variable blockDone;  // reader: some block was taken by all algorithms
    DigestStream streams[kDigestCount];
    AlgorithmSet selected = 0;
    std::uint64_t published = 0;        // blocks of the current input handed out
    std::uint64_t fed[kDigestCount]{};  // blocks each algorithm has taken
    bool busy[kDigestCount]{};          // the algorithm is being fed on some worker
    // Fewer algorithms than processors: one that can split a block over two threads does.
    bool spareProcessors = false;
    bool stopping = false;
    // Started once and never moved; fewer than asked for, or none, when threads cannot start.
    std::vector<SideThread> workers;
    unsigned runningWorkers = 0;
};

namespace {

unsigned char* BlockBytes(HashPipeline* pipeline, std::uint64_t block) {
    return pipeline->ring + (block % kRingBlocks) * kBlockBytes;
}

// The selected algorithm furthest behind that has a block waiting and no worker, or -1.
int NextAlgorithm(const HashPipeline& pipeline) {
    int chosen = -1;
    for (int k = 0; k < kDigestCount; ++k) {
        if (!Contains(pipeline.selected, static_cast<DigestKind>(k)) || pipeline.busy[k] ||
            pipeline.fed[k] >= pipeline.published) {
            continue;
        }
        if (chosen < 0 || pipeline.fed[k] < pipeline.fed[chosen]) chosen = k;
    }
    return chosen;
}

void WorkerLoop(void* opaque) {
    auto* pipeline = static_cast<HashPipeline*>(opaque);
    std::unique_lock<std::mutex> guard(pipeline->lock);
    while (!pipeline->stopping) {
        const int k = NextAlgorithm(*pipeline);
        if (k < 0) {
            pipeline->workReady.wait(guard);
            continue;
        }
        const std::uint64_t block = pipeline->fed[k];
        RingBlock& slot = pipeline->blocks[block % kRingBlocks];
        pipeline->busy[k] = true;
        guard.unlock();
        if (pipeline->spareProcessors) {
            FeedDigestOnTwoThreads(&pipeline->streams[k], BlockBytes(pipeline, block), slot.size);
        } else {
            FeedDigest(&pipeline->streams[k], BlockBytes(pipeline, block), slot.size);
        }
        guard.lock();
        pipeline->busy[k] = false;
        ++pipeline->fed[k];
        if (--slot.feedsLeft == 0) pipeline->blockDone.notify_one();
    }
}

void StartStreams(DigestStream* streams, AlgorithmSet algorithms) {
    for (int k = 0; k < kDigestCount; ++k) {
        if (Contains(algorithms, static_cast<DigestKind>(k))) {
            StartDigest(&streams[k], static_cast<DigestKind>(k));
        }
    }
}

void FinishStreams(DigestStream* streams, AlgorithmSet algorithms, DigestTexts* texts) {
    for (int k = 0; k < kDigestCount; ++k) {
        if (Contains(algorithms, static_cast<DigestKind>(k))) {
            FinishDigest(&streams[k], texts->text[k]);
        }
    }
}

void FeedStreams(DigestStream* streams, AlgorithmSet algorithms, const void* bytes,
                 std::size_t count) {
    for (int k = 0; k < kDigestCount; ++k) {
        if (Contains(algorithms, static_cast<DigestKind>(k))) FeedDigest(&streams[k], bytes, count);
    }
}

// Blocks every selected algorithm has taken.
std::uint64_t BlocksDone(const HashPipeline& pipeline) {
    std::uint64_t done = pipeline.published;
    for (int k = 0; k < kDigestCount; ++k) {
        if (Contains(pipeline.selected, static_cast<DigestKind>(k)) && pipeline.fed[k] < done) {
            done = pipeline.fed[k];
        }
    }
    return done;
}

}  // namespace

HashPipeline* CreateHashPipeline(unsigned workers) {
    auto* pipeline = new HashPipeline;
    pipeline->ring =
        static_cast<unsigned char*>(::operator new(kRingBlocks* kBlockBytes, kRingAlignment));
    const unsigned wanted = workers == 0 ? 1 : workers;
    pipeline->workers.resize(wanted);
    while (pipeline->runningWorkers < wanted &&
           StartSideThread(&pipeline->workers[pipeline->runningWorkers], WorkerLoop, pipeline)) {
        ++pipeline->runningWorkers;
    }
    return pipeline;
}

void DestroyHashPipeline(HashPipeline* pipeline) {
    {
        const std::lock_guard<std::mutex> guard(pipeline->lock);
        pipeline->stopping = true;
    }
    pipeline->workReady.notify_all();
    for (unsigned i = 0; i < pipeline->runningWorkers; ++i) JoinSideThread(&pipeline->workers[i]);
    ::operator delete(pipeline->ring, kRingAlignment);
    delete pipeline;
}

bool HashFile(HashPipeline* pipeline, const InputFile& file, AlgorithmSet algorithms,
              DigestTexts* texts, int* error, ProgressSink progress) {
    // The workers are idle between inputs: every algorithm has taken every published block.
    std::unique_lock<std::mutex> guard(pipeline->lock);
    pipeline->selected = algorithms;
    pipeline->spareProcessors =
        static_cast<unsigned>(CountAlgorithms(algorithms)) < ProcessorCount();
    pipeline->published = 0;
    for (int k = 0; k < kDigestCount; ++k) pipeline->fed[k] = 0;
    for (RingBlock& slot : pipeline->blocks) slot = RingBlock{};
    StartStreams(pipeline->streams, algorithms);
    guard.unlock();

    const int feeds = CountAlgorithms(algorithms);
    bool readFailed = false;
    texts->byteCount = 0;
    for (std::uint64_t block = 0;; ++block) {
        RingBlock& slot = pipeline->blocks[block % kRingBlocks];
        guard.lock();
        pipeline->blockDone.wait(guard, [&] { return slot.feedsLeft == 0; });
        const std::uint64_t bytesDone = BlocksDone(*pipeline) * kBlockBytes;
        guard.unlock();
        if (progress.report != nullptr && block > 0) progress.report(progress.context, bytesDone);

        const std::int64_t got =
            ReadInputBlock(file, BlockBytes(pipeline, block), kBlockBytes, error);
        if (got < 0) {
            readFailed = true;
            break;
        }
        const auto size = static_cast<std::size_t>(got);
        texts->byteCount += size;
        if (block == 0 && size <= kInlineBytes) {
            FeedStreams(pipeline->streams, algorithms, BlockBytes(pipeline, 0), size);
            break;
        }
        // Without a worker every block is hashed here, more slowly but to the same texts.
        if (pipeline->runningWorkers == 0) {
            FeedStreams(pipeline->streams, algorithms, BlockBytes(pipeline, block), size);
            if (size < kBlockBytes) break;
            continue;
        }
        if (size == 0) break;
        guard.lock();
        slot.size = size;
        slot.feedsLeft = feeds;
        pipeline->published = block + 1;
        guard.unlock();
        pipeline->workReady.notify_all();
        if (size < kBlockBytes) break;
    }

    guard.lock();
    pipeline->blockDone.wait(guard, [&] { return BlocksDone(*pipeline) == pipeline->published; });
    guard.unlock();
    if (readFailed) return false;
    FinishStreams(pipeline->streams, algorithms, texts);
    return true;
}

void HashBytes(const void* bytes, std::size_t count, AlgorithmSet algorithms, DigestTexts* texts) {
    DigestStream streams[kDigestCount];
    StartStreams(streams, algorithms);
    FeedStreams(streams, algorithms, bytes, count);
    FinishStreams(streams, algorithms, texts);
    texts->byteCount = count;
}
