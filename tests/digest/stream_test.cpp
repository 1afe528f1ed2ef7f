// The incremental digests: for every kind and every path this processor offers, a stream fed
// in any pieces finishes into the one-shot routine's text and the independent reference's.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "digest_stream.h"
#include "digest_test_support.h"
#include "processor.h"
#include "reference_digests.h"

namespace {

using digest_test::Digest;
using digest_test::PatternMessage;
using digest_test::ReferenceDigest;

constexpr std::size_t kLongestSweep = 1100;

DigestKind KindAt(int index) {
    return static_cast<DigestKind>(index);
}

std::string Finish(DigestStream& stream) {
    char text[kLongestStreamTextBytes];
    FinishDigest(&stream, text);
    return text;
}

std::string StreamWhole(DigestKind kind, const std::string& message) {
    DigestStream stream;
    StartDigest(&stream, kind);
    FeedDigest(&stream, message.data(), message.size());
    return Finish(stream);
}

std::string StreamByteByByte(DigestKind kind, const std::string& message) {
    DigestStream stream;
    StartDigest(&stream, kind);
    for (char byte : message) FeedDigest(&stream, &byte, 1);
    return Finish(stream);
}

// Pieces of random sizes, empty ones included, from 0 to a little over two blocks.
std::string StreamInRandomPieces(DigestKind kind, const std::string& message,
                                 std::mt19937& random) {
    DigestStream stream;
    StartDigest(&stream, kind);
    std::uniform_int_distribution<std::size_t> pieceSize(0, 150);
    std::size_t at = 0;
    while (at < message.size()) {
        const std::size_t count = std::min(pieceSize(random), message.size() - at);
        FeedDigest(&stream, message.data() + at, count);
        at += count;
    }
    return Finish(stream);
}

// Runs `check` once on the portable paths and once more on the processor-specific ones, when
// this processor has any; leaves the hardware paths allowed.
template <typename Check>
void OnEveryPath(Check check) {
    AllowHardwareDigests(false);
    check("portable");
    AllowHardwareDigests(true);
    bool anyHardware = false;
    for (int i = 0; i < kDigestCount; ++i)
        anyHardware = anyHardware || UsesHardwareDigest(KindAt(i));
    if (anyHardware) check("hardware");
}

class DigestStreamSweep : public ::testing::TestWithParam<int> {};

TEST_P(DigestStreamSweep, EveryLengthAndSplitMatchesTheRoutineAndTheReference) {
    const DigestKind kind = KindAt(GetParam());
    const DigestAlgorithm& info = DigestTable[GetParam()];
    const std::string all = PatternMessage(kLongestSweep);
    OnEveryPath([&](const char* path) {
        std::mt19937 random(1234);
        for (std::size_t length = 0; length <= kLongestSweep; ++length) {
            const std::string message = all.substr(0, length);
            std::string expected = ReferenceDigest(info.name, message);
            const std::string routine = Digest(info, message);
            // SHA-0, and without Crypto++ every cryptographic digest: their vectors and the Linux
            // build's output are checked elsewhere.
            if (expected.empty()) expected = routine;
            ASSERT_EQ(routine, expected) << info.name << " " << path << ", " << length << " bytes";
            ASSERT_EQ(StreamWhole(kind, message), expected)
                << info.name << " " << path << ", " << length << " bytes in one piece";
            ASSERT_EQ(StreamByteByByte(kind, message), expected)
                << info.name << " " << path << ", " << length << " bytes one at a time";
            ASSERT_EQ(StreamInRandomPieces(kind, message, random), expected)
                << info.name << " " << path << ", " << length << " bytes in random pieces";
        }
    });
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DigestStreamSweep, ::testing::Range(0, kDigestCount),
                         [](const ::testing::TestParamInfo<int>& param) {
                             // Test names take letters, digits and '_' only: SHA3_256.
                             std::string name = DigestTable[param.param].name;
                             for (char& c : name) {
                                 if (c == '-') c = '_';
                             }
                             return name;
                         });

// Long runs through the processor-specific paths, where their wide loops do most of the work,
// against the portable paths.
TEST(DigestStream, HardwarePathsAgreeWithPortableOnLongMessages) {
    const std::string message = PatternMessage((std::size_t{1} << 20) + 77);
    for (int i = 0; i < kDigestCount; ++i) {
        AllowHardwareDigests(true);
        if (!UsesHardwareDigest(KindAt(i))) continue;
        const std::string hardware = StreamWhole(KindAt(i), message);
        AllowHardwareDigests(false);
        EXPECT_EQ(StreamWhole(KindAt(i), message), hardware) << DigestTable[i].name;
    }
    AllowHardwareDigests(true);
}

// The switch turns every processor-specific path off; on, each is chosen exactly when the
// processor offers it, so the sweeps above really run them on a machine that has them.
TEST(DigestStream, HardwarePathsFollowTheSwitchAndTheProcessor) {
    AllowHardwareDigests(false);
    for (int i = 0; i < kDigestCount; ++i) EXPECT_FALSE(UsesHardwareDigest(KindAt(i)));
    AllowHardwareDigests(true);
    for (DigestKind kind : {DigestKind::kMD5, DigestKind::kMD2, DigestKind::kRIPEMD160}) {
        EXPECT_FALSE(UsesHardwareDigest(kind)) << "no processor-specific path exists for these";
    }
#if defined(__i386__) || defined(__x86_64__)
    const unsigned detected = DetectedProcessorFeatures();
    const bool sha = (detected & kFeatureSHA) != 0;
    EXPECT_EQ(UsesHardwareDigest(DigestKind::kSHA1), sha);
    EXPECT_EQ(UsesHardwareDigest(DigestKind::kSHA256), sha);
    const bool carryless = (detected & kFeatureCLMUL) != 0;
    for (DigestKind kind : {DigestKind::kCRC16, DigestKind::kCRC32, DigestKind::kCRC32b}) {
        EXPECT_EQ(UsesHardwareDigest(kind), carryless);
    }
#endif
}

// Streams are independent records: interleaved feeds do not disturb each other, and a stream
// started again after its finish starts from scratch.
TEST(DigestStream, StreamsAreIndependentAndRestartable) {
    const std::string first = PatternMessage(300);
    const std::string second = "a different message, fed in between";
    for (int i = 0; i < kDigestCount; ++i) {
        DigestStream one;
        DigestStream other;
        StartDigest(&one, KindAt(i));
        StartDigest(&other, KindAt(i));
        FeedDigest(&one, first.data(), 100);
        FeedDigest(&one, nullptr, 0);
        FeedDigest(&other, second.data(), second.size());
        FeedDigest(&one, first.data() + 100, first.size() - 100);
        EXPECT_EQ(Finish(one), Digest(DigestTable[i], first)) << DigestTable[i].name;
        EXPECT_EQ(Finish(other), Digest(DigestTable[i], second)) << DigestTable[i].name;
        StartDigest(&one, KindAt(i));
        EXPECT_EQ(Finish(one), Digest(DigestTable[i], "")) << DigestTable[i].name;
    }
}

TEST(DigestStream, AKindOutsideTheTableFinishesIntoAnEmptyText) {
    DigestStream stream;
    StartDigest(&stream, static_cast<DigestKind>(kDigestCount));
    FeedDigest(&stream, "abc", 3);
    EXPECT_EQ(Finish(stream), "");
}

#ifdef HASHCALC_HAVE_CRYPTOPP
// Bytes of a message too large to hold: a pattern that depends on the offset, so that a block
// fed twice or skipped changes the digest.
void FillLarge(unsigned char* bytes, std::size_t count, std::uint64_t offset) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = offset + i;
        bytes[i] = static_cast<unsigned char>((at * 2654435761u) >> 13 ^ (at >> 32));
    }
}

// 4 GiB and a few bytes, past every 32-bit count; about a minute.
// Run with: digest_tests --gtest_also_run_disabled_tests --gtest_filter='*Above4GiB*'
TEST(DigestStream, DISABLED_MD5Above4GiBMatchesTheReference) {
    constexpr std::uint64_t kLength = (std::uint64_t{1} << 32) + 1000003;
    const std::string expected = digest_test::ReferenceMD5OfGenerated(kLength, FillLarge);
    DigestStream stream;
    StartDigest(&stream, DigestKind::kMD5);
    std::vector<unsigned char> piece((std::size_t{1} << 20) + 13);  // not a multiple of a block
    for (std::uint64_t offset = 0; offset < kLength; offset += piece.size()) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), kLength - offset));
        FillLarge(piece.data(), count, offset);
        FeedDigest(&stream, piece.data(), count);
    }
    EXPECT_EQ(Finish(stream), expected);
}
#endif

}  // namespace
