// Counts past 4 GiB without feeding 4 GiB: a stream is told that 2^32 bytes have gone through
// (a whole number of blocks, none pending; its words stay a fresh stream's) and is then fed a
// few more. A count held in 32 bits, as `long` and `size_t` are on a 32-bit machine, would wrap
// to the few bytes and pad as if the message were short.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "digest_stream.h"
#include "digest_test_support.h"

#if HASHCALC_HAVE_CRYPTOPP
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>
#endif

namespace {

constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;
const std::string kTail = "abcdefg";

std::string FinishAfterFourGiB(DigestKind kind, DigestStream* stream) {
    StartDigest(stream, kind);
    stream->blocks.length = kFourGiB;
    FeedDigest(stream, kTail.data(), kTail.size());
    char text[kLongestStreamTextBytes];
    FinishDigest(stream, text);
    return text;
}

bool PadsWithTheCount(DigestKind kind) {
    return kind != DigestKind::kMD2 && kind != DigestKind::kCRC16 && kind != DigestKind::kCRC32 &&
           kind != DigestKind::kCRC32b;
}

// The count keeps its high word, and reaches the text exactly where the algorithm pads with
// it: MD2 and the CRCs never look at it. (The window's twelve keep the shared block record;
// the other rows count in states of their own, checked by their long tests.)
TEST(DigestStreamLength, ACountPastFourGiBKeepsItsHighWord) {
    for (int i = 0; i < kWindowDigestCount; ++i) {
        const auto kind = static_cast<DigestKind>(i);
        const DigestAlgorithm& row = DigestTable[i];
        DigestStream stream;
        const std::string text = FinishAfterFourGiB(kind, &stream);
        EXPECT_EQ(stream.blocks.length, kFourGiB + kTail.size()) << row.name;
        if (PadsWithTheCount(kind)) {
            EXPECT_NE(text, digest_test::Digest(row, kTail)) << row.name;
        } else {
            EXPECT_EQ(text, digest_test::Digest(row, kTail)) << row.name;
        }
    }
}

#if HASHCALC_HAVE_CRYPTOPP
// The exact text: Crypto++'s MD5 compression run on the last block laid out by hand, the
// tail, 0x80, zeros and the 64-bit bit count least significant byte first.
TEST(DigestStreamLength, MD5PadsWithTheWhole64BitBitCount) {
    unsigned char block[64] = {};
    for (std::size_t i = 0; i < kTail.size(); ++i) block[i] = static_cast<unsigned char>(kTail[i]);
    block[kTail.size()] = 0x80;
    const std::uint64_t bits = (kFourGiB + kTail.size()) * 8;
    for (int i = 0; i < 8; ++i) block[56 + i] = static_cast<unsigned char>(bits >> (8 * i));
    CryptoPP::word32 words[16];
    for (std::size_t i = 0; i < 16; ++i) {
        words[i] = block[4 * i] | block[4 * i + 1] << 8 | block[4 * i + 2] << 16 |
                   static_cast<CryptoPP::word32>(block[4 * i + 3]) << 24;
    }
    CryptoPP::word32 state[4];
    CryptoPP::Weak::MD5::InitState(state);
    CryptoPP::Weak::MD5::Transform(state, words);
    std::string expected;
    for (CryptoPP::word32 word : state) {
        for (int byte = 0; byte < 4; ++byte) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x",
                          static_cast<unsigned>(word >> (8 * byte)) & 0xFF);
            expected += hex;
        }
    }
    DigestStream stream;
    EXPECT_EQ(FinishAfterFourGiB(DigestKind::kMD5, &stream), expected);
}
#endif

}  // namespace
