// The reading pipeline against the one-shot routines: inputs around the block and ring sizes,
// several inputs through one pipeline, one or more workers; and how inputs fail to open.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "digest_test_support.h"
#include "pipeline.h"

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
    // MD2 is left out only because it would make the test slow.
    const AlgorithmSet algorithms = kAllAlgorithms & ~AlgorithmBit(DigestKind::kMD2);
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

// When no worker thread can start (here: no address space is left for a thread's stack) the
// reading thread hashes every block itself instead of the process ending. AddressSanitizer
// needs address space of its own, so this runs in builds without it only.
#if !defined(__SANITIZE_ADDRESS__)
TEST(CliPipeline, WithoutWorkerThreadsTheReaderHashesEveryBlock) {
    const std::string message = digest_test::PatternMessage(3 * kBlockBytes + 7);
    const TempFile input("no_workers.bin", message);
    const AlgorithmSet algorithms = AlgorithmBit(DigestKind::kSHA256) |
                                    AlgorithmBit(DigestKind::kBLAKE3) |
                                    AlgorithmBit(DigestKind::kCRC32C);
    std::string expected;
    for (const DigestKind kind : {DigestKind::kSHA256, DigestKind::kBLAKE3, DigestKind::kCRC32C}) {
        expected += digest_test::Digest(DigestRow(kind), message);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const auto page = static_cast<rlim_t>(getpagesize());
        rlimit limit{static_cast<rlim_t>(pages + 64) * page, RLIM_INFINITY};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        // Stacks the C library kept from finished threads need no new space: use them up.
        int never[2];
        if (pipe(never) != 0) _exit(4);
        const auto wait = [](void* end) -> void* {
            char byte;
            while (read(*static_cast<int*>(end), &byte, 1) < 0) {
            }
            return nullptr;
        };
        pthread_t holder;
        while (pthread_create(&holder, nullptr, wait, &never[0]) == 0) {
        }
        // Room for the ring, not for a thread's stack besides.
        limit.rlim_cur += kRingBlocks * kBlockBytes + (std::size_t{1} << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(5);
        HashPipeline* pipeline = CreateHashPipeline(2);
        InputFile file;
        int error = 0;
        if (!OpenInputFile(input.path.c_str(), &file, &error)) _exit(6);
        DigestTexts texts;
        if (!HashFile(pipeline, file, algorithms, &texts, &error)) _exit(7);
        const std::string got = std::string(texts.text[static_cast<int>(DigestKind::kSHA256)]) +
                                texts.text[static_cast<int>(DigestKind::kBLAKE3)] +
                                texts.text[static_cast<int>(DigestKind::kCRC32C)];
        _exit(got == expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST(CliPipeline, DirectoriesAndMissingFilesAreRefusedWithTheirReason) {
    InputFile file;
    int error = 0;
    EXPECT_FALSE(OpenInputFile(::testing::TempDir().c_str(), &file, &error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_FALSE(OpenInputFile(TempPath("missing").c_str(), &file, &error));
    EXPECT_EQ(error, ENOENT);
}

}  // namespace
