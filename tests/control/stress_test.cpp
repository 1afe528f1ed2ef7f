// Many starts, pauses, resumes and stops in a row, meant to run under ThreadSanitizer (and
// LeakSanitizer): the controller and the output thread share only the three flags and what
// the start hands over before the thread exists, so no report, no hang and no leak may appear.
// Reads nothing of the player's state while its thread runs, so that only the player itself
// is under test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "control_support.h"
#include "embedded_song.h"
#include "player.h"
#include "player_state.h"

namespace {

// CONTROL_STRESS_ROUNDS overrides the number of rounds.
int Rounds() {
    const char* text = std::getenv("CONTROL_STRESS_ROUNDS");
    const int rounds = text != nullptr ? std::atoi(text) : 0;
    return rounds > 0 ? rounds : 200;
}

void Wait(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TEST(ControlStress, StartPauseResumeStopManyTimes) {
    if (!control_test::UseSilentDevice()) GTEST_SKIP() << "no wave output device";
    const int rounds = Rounds();
    for (int round = 0; round < rounds; ++round) {
        ASSERT_NE(PlayModule(EmbeddedSong), nullptr) << "round " << round;
        // Vary where the thread is when the controller acts: before it ran, between polls,
        // while it refills.
        Wait(round % 7 * 3);
        ASSERT_EQ(TogglePause(), 1);
        Wait(round % 3 * 4);
        ASSERT_EQ(TogglePause(), 0);
        Wait(round % 5 * 5);
        // Every fourth round stops while paused.
        if (round % 4 == 3) {
            ASSERT_EQ(TogglePause(), 1);
        }
        PlayModule(nullptr);
        ASSERT_EQ(Player.loadedSong, nullptr);
        ASSERT_EQ(Player.outputThread, nullptr);
        ASSERT_EQ(Player.device, nullptr);
        ASSERT_EQ(Player.waveBuffer, nullptr);
        ASSERT_EQ(Player.mixBufferAllocation, nullptr);
        ASSERT_EQ(Player.paused, 0);
    }
}

}  // namespace
