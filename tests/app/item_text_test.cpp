// Reading and writing control texts: byte limits, whole UTF-8 characters, CR LF line breaks.
#include <gtest/gtest.h>

#include <cstring>

#include "resource.h"
#include "window_harness.h"

TEST(ItemText, ReadingStopsBeforeTheBufferEndsAndNeverSplitsACharacter) {
    RunMainDialog([](QDialog&) {
        // "aé€": 1 + 2 + 3 bytes.
        ASSERT_TRUE(SetDlgItemTextA(Observed.dialog, IDC_INPUT, "a\xC3\xA9\xE2\x82\xAC"));
        struct Case {
            int size;
            UINT count;
        };
        for (const Case c : {Case{16, 6}, Case{7, 6}, Case{6, 3}, Case{5, 3}, Case{4, 3},
                             Case{3, 1}, Case{2, 1}, Case{1, 0}}) {
            char text[16];
            std::memset(text, 'z', sizeof text);
            SCOPED_TRACE(c.size);
            EXPECT_EQ(GetDlgItemTextA(Observed.dialog, IDC_INPUT, text, c.size), c.count);
            EXPECT_EQ(std::memcmp(text, "a\xC3\xA9\xE2\x82\xAC", c.count), 0);
            EXPECT_EQ(text[c.count], '\0');
            for (int i = c.size; i < 16; ++i) EXPECT_EQ(text[i], 'z') << "wrote past the end";
        }
        char untouched = 'z';
        EXPECT_EQ(GetDlgItemTextA(Observed.dialog, IDC_INPUT, &untouched, 0), 0u);
        EXPECT_EQ(untouched, 'z');
    });
}

TEST(ItemText, LinesOfAMultiLineEditReadBackWithCrLf) {
    RunMainDialog([](QDialog&) {
        ASSERT_TRUE(SetDlgItemTextA(Observed.dialog, IDC_INPUT, "first\r\nsecond\r\n"));
        EXPECT_EQ(ReadItem(IDC_INPUT), "first\r\nsecond\r\n");
        ASSERT_TRUE(SetDlgItemTextA(Observed.dialog, IDC_MD5, "x\r\ny"));
        EXPECT_EQ(ReadItem(IDC_MD5), "x\r\ny");
    });
}

TEST(ItemText, ProgramWrittenTextNotifiesOnlyForSingleLineEdits) {
    RunMainDialog([](QDialog&) {
        Observed.commands.clear();
        SetDlgItemTextA(Observed.dialog, IDC_INPUT, "quiet");
        SetDlgItemTextA(Observed.dialog, IDC_SHA256, "quiet");
        EXPECT_FALSE(ReceivedCommand(IDC_INPUT, EN_CHANGE));
        EXPECT_FALSE(ReceivedCommand(IDC_SHA256, EN_CHANGE));
        SetDlgItemTextA(Observed.dialog, IDC_MD2, "heard");
        EXPECT_TRUE(ReceivedCommand(IDC_MD2, EN_CHANGE));
    });
}

TEST(ItemText, UnknownControlsAndDialogsAreRefused) {
    RunMainDialog([](QDialog&) {
        char text[8] = "zzzzzzz";
        EXPECT_EQ(GetDlgItemTextA(Observed.dialog, 4242, text, sizeof text), 0u);
        EXPECT_STREQ(text, "");
        EXPECT_FALSE(SetDlgItemTextA(Observed.dialog, 4242, "x"));
        EXPECT_FALSE(SetDlgItemTextA(nullptr, IDC_MD5, "x"));
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4242), nullptr, nullptr, 0), -1);
}
