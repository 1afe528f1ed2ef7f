// Helpers shared by the digest tests.
#include "digest_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace digest_test {

const DigestInfo& Routine(const std::string& name) {
    for (const DigestInfo& info : DigestCatalogue) {
        if (name == info.name) return info;
    }
    ADD_FAILURE() << "no routine named " << name;
    return DigestCatalogue[0];
}

std::string Digest(const DigestInfo& info, const std::string& message) {
    const auto length = static_cast<std::uint32_t>(message.size());
    std::vector<char> buffer(DigestBufferLength(length), '\0');
    std::memcpy(buffer.data(), message.data(), message.size());
    unsigned char scratch[kDigestScratchBytes];
    if (info.withScratch != nullptr) {
        info.withScratch(buffer.data(), length, scratch);
    } else {
        info.routine(buffer.data(), length);
    }
    return std::string(buffer.data());
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
