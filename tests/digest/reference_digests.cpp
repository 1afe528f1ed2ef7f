// Independent references for the digest tests.
#include "reference_digests.h"

// Builds without Crypto++ (Windows) have the bit-wise CRCs only; the cryptographic digests
// are then held to the Linux build's output instead.
#ifdef HASHCALC_HAVE_CRYPTOPP
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/blake2.h>
#include <cryptopp/md2.h>
#include <cryptopp/md4.h>
#include <cryptopp/md5.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/sha.h>
#include <cryptopp/sha3.h>
#endif

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "digest_test_support.h"

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

// SHA-512/256 (FIPS 180-4, 5.3.6.2): SHA-512's compression from an initial value of its own,
// the digest cut to 32 bytes. Crypto++ offers the compression; the padding is written here.
#ifdef HASHCALC_HAVE_CRYPTOPP
std::string CryptoppSHA512_256(const std::string& message) {
    CryptoPP::word64 state[8] = {0x22312194FC2BF72C, 0x9F555FA3C84C64C2, 0x2393B86B6F53B151,
                                 0x963877195940EABD, 0x96283EE2A88EFFE3, 0xBE5E1E2553863992,
                                 0x2B0199FC2C85B8AA, 0x0EB72DDC81C52CA2};
    std::vector<unsigned char> padded(message.begin(), message.end());
    padded.push_back(0x80);
    while (padded.size() % 128 != 112) padded.push_back(0);
    const std::uint64_t bits = std::uint64_t{message.size()} * 8;
    for (int i = 0; i < 8; ++i) padded.push_back(0);  // the count's high 64 bits
    for (int i = 7; i >= 0; --i) padded.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    for (std::size_t block = 0; block < padded.size(); block += 128) {
        CryptoPP::word64 words[16];
        for (std::size_t w = 0; w < 16; ++w) {
            words[w] = 0;
            for (std::size_t b = 0; b < 8; ++b) {
                words[w] = (words[w] << 8) | padded[block + 8 * w + b];
            }
        }
        CryptoPP::SHA512::Transform(state, words);
    }
    unsigned char digest[32];
    for (int i = 0; i < 32; ++i) {
        digest[i] = static_cast<unsigned char>(state[i / 8] >> (56 - 8 * (i % 8)));
    }
    return Hex(digest, sizeof digest);
}
#endif

// POSIX cksum: CRC32b's polynomial from a register of 0, the message and then its length in as
// few bytes as hold it (least significant first), inverted, in decimal.
std::string BitwiseCksum(const std::string& message) {
    std::string withLength = message;
    for (std::uint64_t rest = message.size(); rest != 0; rest >>= 8) {
        withLength += static_cast<char>(rest & 0xFF);
    }
    const std::string hex = BitwiseCrc({32, 0x04C11DB7, 0, false, 0xFFFFFFFF}, withLength);
    return std::to_string(std::stoul(hex, nullptr, 16));
}

// BLAKE3 has no reference library here: b3sum's texts of the pattern's first 0 to 1100
// bytes, which is what the sweeps hash (make_blake3_sweep.py).
const char* const kBlake3Sweep[] = {
#include "blake3_sweep.inc"
};

std::string TabledBlake3(const std::string& message) {
    if (message.size() >= std::size(kBlake3Sweep)) return "";
    if (message != PatternMessage(message.size())) return "";
    return kBlake3Sweep[message.size()];
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
    if (name == "SHA224") return CryptoppText<CryptoPP::SHA224>(message);
    if (name == "SHA384") return CryptoppText<CryptoPP::SHA384>(message);
    if (name == "SHA512") return CryptoppText<CryptoPP::SHA512>(message);
    if (name == "SHA512-256") return CryptoppSHA512_256(message);
    if (name == "SHA3-224") return CryptoppText<CryptoPP::SHA3_224>(message);
    if (name == "SHA3-256") return CryptoppText<CryptoPP::SHA3_256>(message);
    if (name == "SHA3-384") return CryptoppText<CryptoPP::SHA3_384>(message);
    if (name == "SHA3-512") return CryptoppText<CryptoPP::SHA3_512>(message);
    if (name == "BLAKE2b") return CryptoppText<CryptoPP::BLAKE2b>(message);
    if (name == "BLAKE2s") return CryptoppText<CryptoPP::BLAKE2s>(message);
#endif
    if (name == "BLAKE3") return TabledBlake3(message);
    if (name == "CKSUM") return BitwiseCksum(message);
    if (name == "CRC32C") {
        return BitwiseCrc({32, 0x1EDC6F41, 0xFFFFFFFF, true, 0xFFFFFFFF}, message);
    }
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
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), length - offset));
        fill(piece.data(), count, offset);
        hash.Update(piece.data(), count);
    }
    unsigned char digest[CryptoPP::Weak::MD5::DIGESTSIZE];
    hash.Final(digest);
    return Hex(digest, sizeof digest);
}

#endif

}  // namespace digest_test
