#include <gtest/gtest.h>

#include <cstring>

#include "win32.h"

TEST(PlatformText, FormatsZeroFilledHexAsTheDigestsUseIt) {
    char text[64];
    EXPECT_EQ(wsprintfA(text, "%.8x%.8x", 0x0164b8a9u, 0xffffffffu), 16);
    EXPECT_STREQ(text, "0164b8a9ffffffff");
    wsprintfA(text, "%.4X", 0x9738u);
    EXPECT_STREQ(text, "9738");
    wsprintfA(text, "%.8X", 0xABCDu);
    EXPECT_STREQ(text, "0000ABCD");
    wsprintfA(text, "%.4X", 0u);
    EXPECT_STREQ(text, "0000");
}

TEST(PlatformText, FormattingStopsAtTheLimitOf1024Bytes) {
    static char longText[2000];
    std::memset(longText, 'a', sizeof longText - 1);
    static char out[2048];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(wsprintfA(out, "%s", longText), 1023);
    EXPECT_EQ(out[1023], '\0');
    EXPECT_EQ(out[1024], 'z');
}

TEST(PlatformText, CopyAppendAndMoveBehaveAsKernel32) {
    char text[32];
    EXPECT_EQ(lstrcpyA(text, "abc"), text);
    lstrcatA(text, "def");
    EXPECT_STREQ(text, "abcdef");
    RtlMoveMemory(text + 1, text, 5);  // overlapping ranges move correctly
    EXPECT_STREQ(text, "aabcde");
    RtlMoveMemory(nullptr, nullptr, 0);
}

TEST(PlatformText, GlobalAllocZeroFillsOnRequest) {
    auto* block = static_cast<unsigned char*>(GlobalAlloc(GMEM_ZEROINIT, 4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(GlobalFree(block), nullptr);
    void* empty = GlobalAlloc(GPTR, 0);
    EXPECT_NE(empty, nullptr);
    GlobalFree(empty);
}
