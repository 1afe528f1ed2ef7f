// Every message length from 0 to 1100 bytes against independent implementations: Crypto++ for
// the eight cryptographic digests it offers, and a bit-at-a-time CRC for the three checksums.
// The messages cover all byte values, so a sign-extension slip shows up here as well.
#include <gtest/gtest.h>

#include <string>

#include "digest_test_support.h"
#include "reference_digests.h"

namespace {

using digest_test::Digest;
using digest_test::PatternMessage;
using digest_test::ReferenceDigest;

constexpr std::size_t kLongestSweep = 1100;

void SweepAgainst(const char* name) {
    const std::string all = PatternMessage(kLongestSweep);
    for (std::size_t length = 0; length <= kLongestSweep; ++length) {
        const std::string message = all.substr(0, length);
        ASSERT_EQ(Digest(name, message), ReferenceDigest(name, message))
            << name << " of " << length << " bytes";
    }
}

TEST(DigestReference, MD2) {
    SweepAgainst("MD2");
}
TEST(DigestReference, MD4) {
    SweepAgainst("MD4");
}
TEST(DigestReference, MD5) {
    SweepAgainst("MD5");
}
TEST(DigestReference, SHA1) {
    SweepAgainst("SHA1");
}
TEST(DigestReference, SHA256) {
    SweepAgainst("SHA256");
}
TEST(DigestReference, RIPEMD128) {
    SweepAgainst("RIPEMD128");
}
TEST(DigestReference, RIPEMD160) {
    SweepAgainst("RIPEMD160");
}
TEST(DigestReference, RIPEMD256) {
    SweepAgainst("RIPEMD256");
}

TEST(DigestReference, ChecksumsAgainstBitwiseCrc) {
    for (const char* name : {"CRC16", "CRC32", "CRC32b"}) {
        EXPECT_EQ(ReferenceDigest(name, "123456789"), Digest(name, "123456789")) << name;
        SweepAgainst(name);
    }
}

// The stream sweep takes a row without a reference on trust; only SHA-0 may be one.
TEST(DigestReference, EveryRowButSHA0HasAReferenceForTheSweep) {
    const std::string message = digest_test::PatternMessage(1100);
    for (const DigestAlgorithm& row : DigestTable) {
        if (row.kind == DigestKind::kSHA0) continue;
        EXPECT_FALSE(ReferenceDigest(row.name, message).empty()) << row.name;
    }
    // The published check values of the further CRCs, through the references themselves.
    EXPECT_EQ(ReferenceDigest("CRC32C", "123456789"), "E3069283");
    EXPECT_EQ(ReferenceDigest("CKSUM", "123456789"), "930766865");
    EXPECT_EQ(ReferenceDigest("CKSUM", ""), "4294967295");
    EXPECT_EQ(ReferenceDigest("SHA512-256", "abc"),
              "53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23");
}

TEST(DigestReference, HighBytesHashAsUnsignedValues) {
    std::string high;
    for (int value = 0x80; value <= 0xFF; ++value) high += static_cast<char>(value);
    for (const char* name : {"MD5", "MD2", "SHA1", "RIPEMD256", "CRC32", "SHA512", "SHA3-256",
                             "BLAKE2s", "CRC32C", "CKSUM"}) {
        EXPECT_EQ(Digest(name, high), ReferenceDigest(name, high)) << name;
    }
}

}  // namespace
