// Independent references for the digest tests: Crypto++ for the cryptographic digests it
// offers, and a CRC computed one bit at a time from each checksum's parameters.
#pragma once

#include <cstdint>
#include <string>

namespace digest_test {

// The lowercase text Crypto++ gives for the named digest ("MD5", "SHA3-256", "BLAKE2b", ...;
// SHA512-256 on its SHA-512 compression), or the CRC text a bit-wise computation gives
// ("CRC16", "CRC32C", "CKSUM" in decimal, ...), or for BLAKE3 b3sum's text when the message is
// the test pattern's first 0 to 1100 bytes. Empty where there is none: SHA0, BLAKE3 of other
// messages, and every cryptographic digest but BLAKE3 in builds without Crypto++.
std::string ReferenceDigest(const std::string& name, const std::string& message);

#ifdef HASHCALC_HAVE_CRYPTOPP
// Crypto++'s text of a message of `length` bytes produced by `fill` in pieces, for messages too
// large to hold at once. `fill` writes the next `count` bytes at `bytes`.
std::string ReferenceMD5OfGenerated(std::uint64_t length,
                                    void (*fill)(unsigned char* bytes, std::size_t count,
                                                 std::uint64_t offset));
#endif

}  // namespace digest_test
