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

TEST(DigestReference, HighBytesHashAsUnsignedValues) {
    std::string high;
    for (int value = 0x80; value <= 0xFF; ++value) high += static_cast<char>(value);
    for (const char* name : {"MD5", "MD2", "SHA1", "RIPEMD256", "CRC32"}) {
        EXPECT_EQ(Digest(name, high), ReferenceDigest(name, high)) << name;
    }
}

}  // namespace
