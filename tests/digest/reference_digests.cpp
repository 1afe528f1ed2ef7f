// Independent references for the digest tests.
#include "reference_digests.h"

// Builds without Crypto++ (Windows) have the bit-wise CRCs only; the cryptographic digests
// are then held to the Linux build's output instead.
#ifdef HASHCALC_HAVE_CRYPTOPP
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md2.h>
#include <cryptopp/md4.h>
#include <cryptopp/md5.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/sha.h>
#endif

#include <cstdio>
#include <vector>

namespace digest_test {

namespace {

#ifdef HASHCALC_HAVE_CRYPTOPP
std::string Hex(const unsigned char* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

template <typename Hash>
std::string CryptoppText(const std::string& message) {
    Hash hash;
    unsigned char digest[Hash::DIGESTSIZE];
    hash.CalculateDigest(digest, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size());
    return Hex(digest, sizeof digest);
}
#endif

// A CRC's catalogue parameters.
struct CrcParameters {
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

}  // namespace

std::string ReferenceDigest(const std::string& name, const std::string& message) {
#ifdef HASHCALC_HAVE_CRYPTOPP
    if (name == "MD2") return CryptoppText<CryptoPP::Weak::MD2>(message);
    if (name == "MD4") return CryptoppText<CryptoPP::Weak::MD4>(message);
    if (name == "MD5") return CryptoppText<CryptoPP::Weak::MD5>(message);
    if (name == "SHA1") return CryptoppText<CryptoPP::SHA1>(message);
    if (name == "SHA256") return CryptoppText<CryptoPP::SHA256>(message);
    if (name == "RIPEMD128") return CryptoppText<CryptoPP::RIPEMD128>(message);
    if (name == "RIPEMD160") return CryptoppText<CryptoPP::RIPEMD160>(message);
    if (name == "RIPEMD256") return CryptoppText<CryptoPP::RIPEMD256>(message);
#endif
    if (name == "CRC16") return BitwiseCrc({16, 0x8005, 0, true, 0}, message);
    if (name == "CRC32") return BitwiseCrc({32, 0x04C11DB7, 0xFFFFFFFF, true, 0xFFFFFFFF}, message);
    if (name == "CRC32b") {
        return BitwiseCrc({32, 0x04C11DB7, 0xFFFFFFFF, false, 0xFFFFFFFF}, message);
    }
    return "";
}

#ifdef HASHCALC_HAVE_CRYPTOPP
std::string ReferenceMD5OfGenerated(std::uint64_t length,
                                    void (*fill)(unsigned char* bytes, std::size_t count,
                                                 std::uint64_t offset)) {
    CryptoPP::Weak::MD5 hash;
    std::vector<unsigned char> piece(std::size_t{1} << 20);
    for (std::uint64_t offset = 0; offset < length; offset += piece.size()) {
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(piece.size(), length - offset));
        fill(piece.data(), count, offset);
        hash.Update(piece.data(), count);
    }
    unsigned char digest[CryptoPP::Weak::MD5::DIGESTSIZE];
    hash.Final(digest);
    return Hex(digest, sizeof digest);
}

#endif

}  // namespace digest_test
