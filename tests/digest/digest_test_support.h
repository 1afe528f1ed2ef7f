// Shared helpers of the digest tests: running any algorithm of the digest table on a message
// (the window's routine in a buffer with room for its padding, or the stream for rows the
// window does not show), and building test messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "digest_table.h"

namespace digest_test {

// The table row with the given name ("MD5", "CRC32b", ...); fails the test if unknown.
const DigestAlgorithm& Routine(const std::string& name);

// Runs `row` on a copy of `message` and returns its text: the window routine's, in a buffer
// with room for any padding, where the row has one; the stream's otherwise.
std::string Digest(const DigestAlgorithm& row, const std::string& message);
std::string Digest(const std::string& name, const std::string& message);

// The text a stream of `kind` gives for `message` fed in one piece.
std::string StreamDigest(DigestKind kind, const std::string& message);

// `count` bytes of a repeating pattern that covers all 256 byte values.
std::string PatternMessage(std::size_t count);

}  // namespace digest_test
