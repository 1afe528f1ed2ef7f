// The reading pipeline against the one-shot routines: inputs around the block and ring sizes,
// several inputs through one pipeline, one or more workers; and how inputs fail to open.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>

#include "digest_test_support.h"
#include "pipeline.h"

namespace {

// This program is linked with --wrap=pthread_create: while `refuseNewThreads` is set, every new
// thread fails to start as it would with no memory left for its stack.
std::atomic<bool> refuseNewThreads{false};
std::atomic<int> threadsRefused{0};

}  // namespace

extern "C" int RealPthreadCreate(pthread_t* thread, const pthread_attr_t* attributes,
                                 void* (*routine)(void*),
                                 void* argument) asm("__real_pthread_create");

extern "C" int WrappedPthreadCreate(pthread_t* thread, const pthread_attr_t* attributes,
                                    void* (*routine)(void*),
                                    void* argument) asm("__wrap_pthread_create");

extern "C" int WrappedPthreadCreate(pthread_t* thread, const pthread_attr_t* attributes,
                                    void* (*routine)(void*), void* argument) {
    if (refuseNewThreads) {
        ++threadsRefused;
        return EAGAIN;
    }
    return RealPthreadCreate(thread, attributes, routine, argument);
}

namespace {

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "hashcalc_pipeline_" + std::to_string(getpid()) + "_" + name;
}

struct TempFile {
    TempFile(const std::string& name, const std::string& content) : path(TempPath(name)) {
        std::ofstream(path, std::ios::binary) << content;
    }
    ~TempFile() { unlink(path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string path;
};

// Hashes the file at `path` through `pipeline` and compares each selected text with the
// one-shot routine's text for `message`.
void ExpectPipelineMatches(HashPipeline* pipeline, const std::string& path,
                           const std::string& message, AlgorithmSet algorithms) {
    InputFile file;
    int error = 0;
    ASSERT_TRUE(OpenInputFile(path.c_str(), &file, &error)) << error;
    EXPECT_EQ(file.size, message.size());
    DigestTexts texts;
    const bool hashed = HashFile(pipeline, file, algorithms, &texts, &error);
    CloseInputFile(&file);
    ASSERT_TRUE(hashed) << error;
    for (int k = 0; k < kDigestCount; ++k) {
        if (!Contains(algorithms, static_cast<DigestKind>(k))) continue;
        EXPECT_EQ(texts.text[k], digest_test::Digest(DigestTable[k], message))
            << DigestTable[k].name << " of " << message.size() << " bytes";
    }
}

TEST(CliPipeline, EveryAlgorithmMatchesTheRoutineAroundBlockSizes) {
    HashPipeline* pipeline = CreateHashPipeline(2);
    // Below and above the size hashed on the reading thread, one block, one block and a byte.
    for (const std::size_t size : {std::size_t{0}, std::size_t{65536}, std::size_t{65537},
                                   kBlockBytes - 1, kBlockBytes, kBlockBytes + 1}) {
        const std::string message = digest_test::PatternMessage(size);
        const TempFile input("sizes.bin", message);
        ExpectPipelineMatches(pipeline, input.path, message, kAllAlgorithms);
    }
    DestroyHashPipeline(pipeline);
}

TEST(CliPipeline, InputsLongerThanTheRingWithOneAndWithManyWorkers) {
    // One algorithm of each kind of stream (64- and 128-byte blocks, a CRC, forms with states of
    // their own) keeps several workers busy; every algorithm is checked against the ring's block
    // size above, and more of them here would only make the test slow.
    const AlgorithmSet algorithms =
        AlgorithmBit(DigestKind::kMD5) | AlgorithmBit(DigestKind::kCRC32) |
        AlgorithmBit(DigestKind::kSHA512) | AlgorithmBit(DigestKind::kSHA3_256) |
        AlgorithmBit(DigestKind::kBLAKE2b) | AlgorithmBit(DigestKind::kBLAKE3);
    const std::string message = digest_test::PatternMessage(kRingBlocks * kBlockBytes * 5 / 4 + 3);
    const TempFile input("ring.bin", message);
    for (const unsigned workers : {1u, 3u}) {
        HashPipeline* pipeline = CreateHashPipeline(workers);
        ExpectPipelineMatches(pipeline, input.path, message, algorithms);
        ExpectPipelineMatches(pipeline, input.path, message, AlgorithmBit(DigestKind::kSHA256));
        // One algorithm leaves a processor spare, which BLAKE3 takes for half of each block.
        ExpectPipelineMatches(pipeline, input.path, message, AlgorithmBit(DigestKind::kBLAKE3));
        DestroyHashPipeline(pipeline);
    }
}

// When no worker thread can start the reading thread hashes every block itself instead of the
// process ending, and BLAKE3 stays on one thread.
TEST(CliPipeline, WithoutWorkerThreadsTheReaderHashesEveryBlock) {
    const std::string message = digest_test::PatternMessage(3 * kBlockBytes + 7);
    const TempFile input("no_workers.bin", message);
    const AlgorithmSet algorithms = AlgorithmBit(DigestKind::kSHA256) |
                                    AlgorithmBit(DigestKind::kBLAKE3) |
                                    AlgorithmBit(DigestKind::kCRC32C);
    struct RefusingThreads {
        RefusingThreads() { refuseNewThreads = true; }
        ~RefusingThreads() { refuseNewThreads = false; }
    } refusing;
    threadsRefused = 0;
    HashPipeline* pipeline = CreateHashPipeline(2);
    ExpectPipelineMatches(pipeline, input.path, message, algorithms);
    // One algorithm on its own: BLAKE3 would take a side thread for half of each block.
    ExpectPipelineMatches(pipeline, input.path, message, AlgorithmBit(DigestKind::kBLAKE3));
    DestroyHashPipeline(pipeline);
    EXPECT_GT(threadsRefused.load(), 0);
}

TEST(CliPipeline, DirectoriesAndMissingFilesAreRefusedWithTheirReason) {
    InputFile file;
    int error = 0;
    EXPECT_FALSE(OpenInputFile(::testing::TempDir().c_str(), &file, &error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_FALSE(OpenInputFile(TempPath("missing").c_str(), &file, &error));
    EXPECT_EQ(error, ENOENT);
}

}  // namespace
