// Independent references for the digest tests: Crypto++ for the eight cryptographic digests it
// offers, and a CRC computed one bit at a time from each checksum's parameters.
#pragma once

#include <cstdint>
#include <string>

namespace digest_test {

// The lowercase text Crypto++ gives for the named digest ("MD5", "RIPEMD256", ...), or the
// CRC text a bit-wise computation gives ("CRC16", ...); empty for SHA0, which has no reference,
// and for every cryptographic digest in builds without Crypto++.
std::string ReferenceDigest(const std::string& name, const std::string& message);

#ifdef HASHCALC_HAVE_CRYPTOPP
// Crypto++'s text of a message of `length` bytes produced by `fill` in pieces, for messages too
// large to hold at once. `fill` writes the next `count` bytes at `bytes`.
std::string ReferenceMD5OfGenerated(std::uint64_t length,
                                    void (*fill)(unsigned char* bytes, std::size_t count,
                                                 std::uint64_t offset));
#endif

}  // namespace digest_test
