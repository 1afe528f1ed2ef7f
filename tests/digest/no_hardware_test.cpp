// Run with HASHCALC_NO_HARDWARE=1 in the environment (CTest sets it): every stream starts on
// its portable path and still gives the right texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "digest_stream.h"
#include "digest_test_support.h"

namespace {

TEST(DigestNoHardware, TheEnvironmentTurnsEveryProcessorSpecificPathOff) {
    const char* setting = std::getenv("HASHCALC_NO_HARDWARE");
    ASSERT_TRUE(setting != nullptr && std::string(setting) == "1")
        << "this program checks a start-up setting; run it with HASHCALC_NO_HARDWARE=1";
    const std::string message = digest_test::PatternMessage(5000);
    for (int i = 0; i < kDigestCount; ++i) {
        const auto kind = static_cast<DigestKind>(i);
        EXPECT_FALSE(UsesHardwareDigest(kind)) << DigestTable[i].name;
        DigestStream stream;
        StartDigest(&stream, kind);
        FeedDigest(&stream, message.data(), message.size());
        char text[kLongestStreamTextBytes];
        FinishDigest(&stream, text);
        EXPECT_EQ(text, digest_test::Digest(DigestTable[i], message)) << DigestTable[i].name;
    }
}

}  // namespace
