// The context menu's music switch, in a program of its own: the player takes one start per
// process, and every dialog starts it, so this must be the only dialog the process shows
// (in the shared window suite an earlier dialog's start made the pause wait for ever).
#include <gtest/gtest.h>

#include <QDialog>

#include "resource.h"
#include "window_harness.h"

namespace {

TEST(MusicSwitch, PlayMusicTurnsTheSongOffAndOnAgainFromAnyPartOfTheWindow) {
    RunMainDialog([&](QDialog& window) {
        // The mark is the player's own answer to the switch; SDL's silent driver plays here.
        bool checked = false;
        ChooseFromContextMenu(&window, QStringLiteral("Play music"), &checked);
        EXPECT_TRUE(checked) << "not marked as playing at the start";
        ChooseFromContextMenu(Control(window, IDC_CRC32), QStringLiteral("Play music"), &checked);
        EXPECT_FALSE(checked) << "the music did not stop";
        ChooseFromContextMenu(&window, QStringLiteral("Play music"), &checked);
        EXPECT_TRUE(checked) << "the music did not start again";
        // Once more each way: the switch does not wear out after one round.
        ChooseFromContextMenu(Control(window, IDC_MD5), QStringLiteral("Play music"), &checked);
        EXPECT_FALSE(checked);
        ChooseFromContextMenu(&window, QStringLiteral("Play music"), &checked);
        EXPECT_TRUE(checked);
    });
}

}  // namespace
