// Helpers shared by the digest tests.
#include "digest_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "digest_stream.h"

namespace digest_test {

const DigestAlgorithm& Routine(const std::string& name) {
    for (const DigestAlgorithm& row : DigestTable) {
        if (name == row.name) return row;
    }
    ADD_FAILURE() << "no routine named " << name;
    return DigestTable[0];
}

std::string Digest(const DigestAlgorithm& row, const std::string& message) {
    if (row.windowRoutine == nullptr) return StreamDigest(row.kind, message);
    const auto length = static_cast<std::uint32_t>(message.size());
    std::vector<char> buffer(DigestBufferLength(length), '\0');
    std::memcpy(buffer.data(), message.data(), message.size());
    unsigned char scratch[kDigestScratchBytes];
    row.windowRoutine(buffer.data(), length, scratch);
    return std::string(buffer.data());
}

std::string StreamDigest(DigestKind kind, const std::string& message) {
    DigestStream stream;
    StartDigest(&stream, kind);
    FeedDigest(&stream, message.data(), message.size());
    char text[kLongestStreamTextBytes];
    FinishDigest(&stream, text);
    return text;
}

std::string Digest(const std::string& name, const std::string& message) {
    return Digest(Routine(name), message);
}

std::string PatternMessage(std::size_t count) {
    std::string message(count, '\0');
    std::uint32_t state = 0x12345678;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1664525 + 1013904223;  // a small linear congruential sequence
        message[i] = static_cast<char>(state >> 24);
    }
    return message;
}

}  // namespace digest_test
