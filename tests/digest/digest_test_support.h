// Shared helpers of the digest tests: running any catalogue routine on a message in a buffer
// with room for its padding, and building test messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "digest.h"

namespace digest_test {

// The catalogue entry with the given name ("MD5", "CRC32b", ...); fails the test if unknown.
const DigestInfo& Routine(const std::string& name);

// Runs `info` on a copy of `message` in a buffer with room for any padding, and returns the
// text the routine left at the buffer's start.
std::string Digest(const DigestInfo& info, const std::string& message);
std::string Digest(const std::string& name, const std::string& message);

// `count` bytes of a repeating pattern that covers all 256 byte values.
std::string PatternMessage(std::size_t count);

}  // namespace digest_test
