// What the routines do to the memory they are given: the two-argument routines write only
// their text and NUL, the four that pad in place overwrite exactly the padded length and use
// only their chaining words of the scratch, nothing carries over from one call to the next,
// and the count, not a NUL, ends the message.
#include <gtest/gtest.h>
#ifdef HASHCALC_HAVE_CRYPTOPP
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md4.h>
#endif
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <cstring>
#include <string>
#include <vector>

#include "digest_internal.h"
#include "digest_test_support.h"
#include "row_streams.h"

namespace {

using digest_test::Digest;
using digest_test::PatternMessage;

constexpr unsigned char kUntouched = 0xA5;
const std::uint32_t kLengths[] = {0, 1, 3, 55, 56, 63, 64, 119, 120, 247, 248, 767};

// The rows the window shows, each with its routine.
std::vector<const DigestAlgorithm*> WindowRows() {
    std::vector<const DigestAlgorithm*> rows;
    for (const DigestAlgorithm& row : DigestTable) {
        if (row.windowRoutine != nullptr) rows.push_back(&row);
    }
    return rows;
}

TEST(DigestBuffer, TwoArgumentRoutinesWriteOnlyTheirTextAndNul) {
    for (const DigestAlgorithm* row : WindowRows()) {
        const DigestAlgorithm& info = *row;
        if (info.padsInPlace) continue;
        for (std::uint32_t length : kLengths) {
            std::vector<char> buffer(length + 200, static_cast<char>(kUntouched));
            const std::string message = PatternMessage(length);
            std::memcpy(buffer.data(), message.data(), length);
            const std::vector<char> before = buffer;
            unsigned char scratch[kDigestScratchBytes];
            std::memset(scratch, kUntouched, sizeof scratch);
            info.windowRoutine(buffer.data(), length, scratch);
            for (unsigned char byte : scratch) ASSERT_EQ(byte, kUntouched) << info.name;
            const std::size_t textEnd = static_cast<std::size_t>(info.textLength) + 1;
            ASSERT_EQ(std::strlen(buffer.data()), textEnd - 1) << info.name;
            for (std::size_t i = textEnd; i < buffer.size(); ++i) {
                ASSERT_EQ(buffer[i], before[i])
                    << info.name << " of " << length << " bytes changed byte " << i;
            }
        }
    }
}

TEST(DigestBuffer, PaddingRoutinesOverwriteExactlyThePaddedLength) {
    constexpr std::size_t kGuard = 16;
    for (const DigestAlgorithm* row : WindowRows()) {
        const DigestAlgorithm& info = *row;
        if (!info.padsInPlace) continue;
        for (std::uint32_t length : kLengths) {
            const std::size_t padded = PaddedLength(length);
            std::vector<unsigned char> buffer(padded + kGuard, kUntouched);
            const std::string message = PatternMessage(length);
            std::memcpy(buffer.data(), message.data(), length);
            unsigned char scratch[kDigestScratchBytes];
            info.windowRoutine(reinterpret_cast<char*>(buffer.data()), length, scratch);

            const std::size_t textEnd = static_cast<std::size_t>(info.textLength) + 1;
            for (std::size_t i = padded; i < buffer.size(); ++i) {
                ASSERT_EQ(buffer[i], kUntouched)
                    << info.name << " of " << length << " bytes wrote past the padding at " << i;
            }
            // The padding stays where the text does not cover it: 0x80, zeros, bit count.
            if (length >= textEnd) {
                EXPECT_EQ(buffer[length], 0x80) << info.name << " " << length;
            }
            for (std::size_t i = std::max<std::size_t>(length + 1, textEnd); i < padded - 8; ++i) {
                ASSERT_EQ(buffer[i], 0) << info.name << " of " << length << " bytes, byte " << i;
            }
            EXPECT_EQ(digest_internal::LoadLE32(&buffer[padded - 8]), length * 8);
            EXPECT_EQ(digest_internal::LoadLE32(&buffer[padded - 4]), 0u);
        }
    }
}

TEST(DigestBuffer, BufferLengthsFollowTheBlockBoundaries) {
    EXPECT_EQ(PaddedLength(0), 64u);
    EXPECT_EQ(PaddedLength(55), 64u);
    EXPECT_EQ(PaddedLength(56), 128u);
    EXPECT_EQ(PaddedLength(119), 128u);
    EXPECT_EQ(PaddedLength(120), 192u);
    EXPECT_EQ(PaddedLength(247), 256u);
    EXPECT_EQ(PaddedLength(248), 320u);
    EXPECT_EQ(PaddedLength(767), 832u);
    EXPECT_EQ(PaddedLength(0xFFFFFFFF), 0x100000040u);
    // A 64-digit text and its NUL need one byte more than a short message's padding.
    EXPECT_EQ(DigestBufferLength(0), 65u);
    EXPECT_EQ(DigestBufferLength(55), 65u);
    EXPECT_EQ(DigestBufferLength(56), 128u);
}

TEST(DigestBuffer, Ripemd128OfAbcLeavesTextPaddingAndSwappedScratch) {
    unsigned char buffer[64];
    std::memset(buffer, kUntouched, sizeof buffer);
    // The routine takes a length, and the bytes past it must be seen untouched: no terminator.
    std::memcpy(buffer, "abc", 3);  // NOLINT(bugprone-not-null-terminated-result)
    unsigned char scratch[16];
    HashRIPEMD128(reinterpret_cast<char*>(buffer), 3, scratch);

    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "c14a12199c66e4ba84636b0f69144c77");
    for (int i = 33; i < 56; ++i) EXPECT_EQ(buffer[i], 0) << i;
    const unsigned char lengthField[8] = {0x18, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(buffer + 56, lengthField, 8), 0);
    const unsigned char swapped[16] = {0x19, 0x12, 0x4a, 0xc1, 0xba, 0xe4, 0x66, 0x9c,
                                       0x0f, 0x6b, 0x63, 0x84, 0x77, 0x4c, 0x14, 0x69};
    EXPECT_EQ(std::memcmp(scratch, swapped, 16), 0);
}

TEST(DigestBuffer, Md5OfAbcLeavesTheSwappedStateWordsInScratch) {
    char buffer[64] = "abc";
    unsigned char scratch[16];
    HashMD5(buffer, 3, scratch);
    EXPECT_STREQ(buffer, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digest_internal::LoadLE32(scratch), 0x90015098u);
    EXPECT_EQ(digest_internal::LoadLE32(scratch + 4), 0x3CD24FB0u);
    EXPECT_EQ(digest_internal::LoadLE32(scratch + 8), 0xD6963F7Du);
    EXPECT_EQ(digest_internal::LoadLE32(scratch + 12), 0x28E17F72u);
}

TEST(DigestBuffer, ScratchUsesOnlyTheChainingWordsAndItsContentsDoNotMatter) {
    const std::string message = PatternMessage(200);
    for (const DigestAlgorithm* row : WindowRows()) {
        const DigestAlgorithm& info = *row;
        if (!info.padsInPlace) continue;
        const auto used = static_cast<std::size_t>(info.textLength / 2);  // 16 or 20 chaining bytes
        std::string first;
        for (int fill : {0x00, 0xFF, 0x5C}) {
            unsigned char scratch[64];
            std::memset(scratch, fill, sizeof scratch);
            std::vector<char> buffer(PaddedLength(200));
            std::memcpy(buffer.data(), message.data(), message.size());
            info.windowRoutine(buffer.data(), 200, scratch);
            if (first.empty()) first = buffer.data();
            EXPECT_EQ(std::string(buffer.data()), first) << info.name << " fill " << fill;
            for (std::size_t i = used; i < sizeof scratch; ++i) {
                ASSERT_EQ(scratch[i], fill) << info.name << " wrote scratch byte " << i;
            }
        }
    }
}

TEST(DigestBuffer, NothingCarriesOverFromTheCallBefore) {
    for (const DigestAlgorithm* row : WindowRows()) {
        const DigestAlgorithm& info = *row;
        const std::string abc = Digest(info, "abc");
        // A longer message with one or two last blocks leaves the most behind in a context.
        Digest(info, PatternMessage(767));
        Digest(info, PatternMessage(63));
        EXPECT_EQ(Digest(info, "abc"), abc) << info.name;
        EXPECT_EQ(Digest(info, PatternMessage(120)), Digest(info, PatternMessage(120)))
            << info.name;
    }
}

TEST(DigestBuffer, TheCountEndsTheMessageNotANul) {
    for (const DigestAlgorithm* row : WindowRows()) {
        const DigestAlgorithm& info = *row;
        std::vector<char> buffer(DigestBufferLength(12), '\0');
        std::memcpy(buffer.data(), "abcdefghijk", 12);
        unsigned char scratch[kDigestScratchBytes];
        info.windowRoutine(buffer.data(), 3, scratch);
        EXPECT_EQ(std::string(buffer.data()), Digest(info, "abc")) << info.name;
        EXPECT_NE(Digest(info, std::string("a\0c", 3)), Digest(info, "a")) << info.name;
    }
}

// Zero-filled memory that costs nothing until it is touched, or null when the address space
// cannot hold `bytes` (always so in a 32-bit process for the sizes below).
void* ReserveUntouchedZeros(std::uint64_t bytes) {
    if (bytes > SIZE_MAX) return nullptr;
#ifdef _WIN32
    return VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_RESERVE | MEM_COMMIT,
                        PAGE_READWRITE);
#else
    void* memory = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
#endif
}

void ReleaseUntouchedZeros(void* memory, std::uint64_t bytes) {
    if (memory == nullptr) return;
#ifdef _WIN32
    static_cast<void>(bytes);
    VirtualFree(memory, 0, MEM_RELEASE);
#else
    munmap(memory, static_cast<std::size_t>(bytes));
#endif
}

// Messages of 2^32 - 1 bytes: the padded length, 2^32 + 64, does not fit in 32 bits. The bytes
// are untouched zeros, so only the last pages are ever written.
class NearlyFourGiB : public ::testing::Test {
protected:
    static constexpr std::uint32_t kLength = 0xFFFFFFFF;
    void SetUp() override {
        memory_ = ReserveUntouchedZeros(kMapped);
        if (memory_ == nullptr) GTEST_SKIP() << "cannot reserve 4 GiB of address space";
    }
    void TearDown() override { ReleaseUntouchedZeros(memory_, kMapped); }
    unsigned char* Bytes() const { return static_cast<unsigned char*>(memory_); }

    static constexpr std::uint64_t kMapped = PaddedLength(kLength);
    void* memory_ = nullptr;
};

std::uint64_t CompressedBlocks;
const unsigned char* LastBlock;
void CountBlocks(std::uint32_t*, const unsigned char* blocks, std::size_t blockCount) {
    CompressedBlocks += blockCount;
    LastBlock = blocks + 64 * (blockCount - 1);
}

TEST_F(NearlyFourGiB, PaddingIsWrittenAndEveryBlockIsCompressed) {
    const std::uint32_t initial[4] = {1, 2, 3, 4};
    unsigned char state[16];
    CompressedBlocks = 0;
    const BlockAlgorithm counting = {initial, 4, true, CountBlocks, nullptr, 0};
    digest_internal::HashPaddedInPlace(Bytes(), kLength, state, counting);
    EXPECT_EQ(CompressedBlocks, kMapped / 64);
    EXPECT_EQ(LastBlock, Bytes() + kMapped - 64);
    EXPECT_EQ(Bytes()[kLength], 0x80);
    for (std::size_t i = kLength + std::size_t{1}; i < kMapped - 8; ++i) ASSERT_EQ(Bytes()[i], 0);
    EXPECT_EQ(digest_internal::LoadLE32(Bytes() + kMapped - 8), 0xFFFFFFF8u);  // low word of n * 8
    EXPECT_EQ(digest_internal::LoadLE32(Bytes() + kMapped - 4), 7u);           // high word
}

#ifdef HASHCALC_HAVE_CRYPTOPP
// Hashes 4 GiB twice (about a minute); run with --gtest_also_run_disabled_tests.
TEST_F(NearlyFourGiB, DISABLED_Md4MatchesTheReference) {
    unsigned char expected[CryptoPP::Weak::MD4::DIGESTSIZE];
    CryptoPP::Weak::MD4().CalculateDigest(expected, Bytes(), kLength);
    std::string expectedText;
    for (unsigned char byte : expected) {
        static const char kDigits[] = "0123456789abcdef";
        expectedText += kDigits[byte >> 4];
        expectedText += kDigits[byte & 15];
    }
    unsigned char scratch[kDigestScratchBytes];
    HashMD4(reinterpret_cast<char*>(Bytes()), kLength, scratch);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Bytes())), expectedText);
}

#endif

}  // namespace
