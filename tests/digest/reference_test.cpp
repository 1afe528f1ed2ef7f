// Every message length from 0 to 1100 bytes against independent implementations: Crypto++ for
// the eight cryptographic digests it offers, and a bit-at-a-time CRC for the three checksums.
// The messages cover all byte values, so a sign-extension slip shows up here as well.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md2.h>
#include <cryptopp/md4.h>
#include <cryptopp/md5.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/sha.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "digest_test_support.h"

namespace {

using digest_test::Digest;
using digest_test::PatternMessage;

constexpr std::size_t kLongestSweep = 1100;

template <typename Hash>
std::string ReferenceText(const std::string& message) {
    Hash hash;
    unsigned char digest[Hash::DIGESTSIZE];
    hash.CalculateDigest(digest, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size());
    std::string text;
    char pair[3];
    for (unsigned char byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

template <typename Hash>
void SweepAgainst(const char* name) {
    const std::string all = PatternMessage(kLongestSweep);
    for (std::size_t length = 0; length <= kLongestSweep; ++length) {
        const std::string message = all.substr(0, length);
        ASSERT_EQ(Digest(name, message), ReferenceText<Hash>(message))
            << name << " of " << length << " bytes";
    }
}

TEST(DigestReference, MD2) {
    SweepAgainst<CryptoPP::Weak::MD2>("MD2");
}
TEST(DigestReference, MD4) {
    SweepAgainst<CryptoPP::Weak::MD4>("MD4");
}
TEST(DigestReference, MD5) {
    SweepAgainst<CryptoPP::Weak::MD5>("MD5");
}
TEST(DigestReference, SHA1) {
    SweepAgainst<CryptoPP::SHA1>("SHA1");
}
TEST(DigestReference, SHA256) {
    SweepAgainst<CryptoPP::SHA256>("SHA256");
}
TEST(DigestReference, RIPEMD128) {
    SweepAgainst<CryptoPP::RIPEMD128>("RIPEMD128");
}
TEST(DigestReference, RIPEMD160) {
    SweepAgainst<CryptoPP::RIPEMD160>("RIPEMD160");
}
TEST(DigestReference, RIPEMD256) {
    SweepAgainst<CryptoPP::RIPEMD256>("RIPEMD256");
}

// The checksums computed one bit at a time straight from their catalogue parameters.
struct CrcParameters {
    const char* name;
    int width;
    std::uint32_t polynomial;  // most significant bit first
    std::uint32_t initial;
    bool reflected;  // input and output
    std::uint32_t finalXor;
};

std::uint32_t Reflect(std::uint32_t value, int width) {
    std::uint32_t result = 0;
    for (int bit = 0; bit < width; ++bit) {
        if ((value >> bit) & 1) result |= 1u << (width - 1 - bit);
    }
    return result;
}

std::string BitwiseCrc(const CrcParameters& crc, const std::string& message) {
    const std::uint32_t top = 1u << (crc.width - 1);
    const std::uint32_t mask = crc.width == 32 ? 0xFFFFFFFFu : (1u << crc.width) - 1;
    std::uint32_t value = crc.initial;
    for (char character : message) {
        std::uint32_t byte = static_cast<unsigned char>(character);
        if (crc.reflected) byte = Reflect(byte, 8);
        for (int bit = 7; bit >= 0; --bit) {
            const bool feedback = ((value & top) != 0) != (((byte >> bit) & 1) != 0);
            value = (value << 1) & mask;
            if (feedback) value ^= crc.polynomial;
        }
    }
    if (crc.reflected) value = Reflect(value, crc.width);
    value ^= crc.finalXor;
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", crc.width / 4, static_cast<unsigned>(value));
    return text;
}

TEST(DigestReference, ChecksumsAgainstBitwiseCrc) {
    const CrcParameters checksums[] = {
        {"CRC16", 16, 0x8005, 0, true, 0},
        {"CRC32", 32, 0x04C11DB7, 0xFFFFFFFF, true, 0xFFFFFFFF},
        {"CRC32b", 32, 0x04C11DB7, 0xFFFFFFFF, false, 0xFFFFFFFF},
    };
    const std::string all = PatternMessage(kLongestSweep);
    for (const CrcParameters& crc : checksums) {
        EXPECT_EQ(BitwiseCrc(crc, "123456789"), Digest(crc.name, "123456789")) << crc.name;
        for (std::size_t length = 0; length <= kLongestSweep; ++length) {
            const std::string message = all.substr(0, length);
            ASSERT_EQ(Digest(crc.name, message), BitwiseCrc(crc, message))
                << crc.name << " of " << length << " bytes";
        }
    }
}

TEST(DigestReference, HighBytesHashAsUnsignedValues) {
    std::string high;
    for (int value = 0x80; value <= 0xFF; ++value) high += static_cast<char>(value);
    EXPECT_EQ(Digest("MD5", high), ReferenceText<CryptoPP::Weak::MD5>(high));
    EXPECT_EQ(Digest("MD2", high), ReferenceText<CryptoPP::Weak::MD2>(high));
    EXPECT_EQ(Digest("SHA1", high), ReferenceText<CryptoPP::SHA1>(high));
    EXPECT_EQ(Digest("RIPEMD256", high), ReferenceText<CryptoPP::RIPEMD256>(high));
    EXPECT_EQ(Digest("CRC32", high),
              BitwiseCrc({"CRC32", 32, 0x04C11DB7, 0xFFFFFFFF, true, 0xFFFFFFFF}, high));
}

}  // namespace
