// The row and tick clock and the effects that move it: speed and tempo, position jumps,
// pattern breaks, pattern loops and delays, and looping to the restart position.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "effects.h"
#include "player_state.h"
#include "sequencer.h"
#include "test_song.h"

namespace {

using Position = std::pair<std::int32_t, std::int32_t>;  // order position, row

// The order position and row of each row's first tick over `ticks` ticks.
std::vector<Position> RowsPlayed(Song* song, int ticks) {
    std::vector<Position> rows;
    for (int i = 0; i < ticks; ++i) {
        bool first = song->tick == 0;
        SequencerTick(song);
        if (first) rows.emplace_back(PlayingRow().orderPosition, PlayingRow().row);
    }
    return rows;
}

TEST(Clock, RowsLastSpeedTicksAndTheFirstCallPlaysTheStart) {
    TestSong t(1, {4}, {0});
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_EQ(PlayingRow().orderPosition, 0);
    EXPECT_EQ(PlayingRow().row, 0);
    for (int i = 1; i < 6; ++i) SequencerTick(&t.song);
    EXPECT_EQ(PlayingRow().row, 0);
    EXPECT_EQ(t.song.tick, 0);
    SequencerTick(&t.song);  // the seventh call
    EXPECT_EQ(PlayingRow().row, 1);
}

TEST(Clock, SongContinuesAtTheRestartPosition) {
    TestSong t(1, {2, 1, 3}, {0, 1, 2, 1});
    t.song.restartPosition = 2;
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    std::vector<Position> expected = {{0, 0}, {0, 1}, {1, 0}, {2, 0}, {2, 1}, {2, 2},
                                      {3, 0}, {2, 0}, {2, 1}, {2, 2}, {3, 0}, {2, 0}};
    EXPECT_EQ(RowsPlayed(&t.song, 12), expected);
}

TEST(Clock, SpeedZeroPlaysOneRowPerTickAndTempoChangesTheTickLength) {
    TestSong t(1, {8}, {0});
    t.Put(0, 0, 0, 0, 0, 0, kEffectSpeedTempo, 0x00);
    t.Put(0, 2, 0, 0, 0, 0, kEffectSpeedTempo, 0x20);
    t.Put(0, 3, 0, 0, 0, 0, kEffectExtended, 0xE3);  // a delay at speed 0 is empty
    StartTestPlayback(&t.song);
    std::vector<Position> expected = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}};
    EXPECT_EQ(RowsPlayed(&t.song, 5), expected);
    EXPECT_EQ(t.song.speed, 0);
    EXPECT_EQ(t.song.bpm, 32);
    EXPECT_EQ(t.song.tickLength, 3445);  // 44100 x 2.5 / 32 = 3445.3
}

TEST(Clock, PatternDelayRepeatsTheRowsTicksWithEffectsRunning) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument(0);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0x71);  // volume +1 per tick
    t.Put(0, 1, 0, 0, 0, 0x71, kEffectExtended, 0xE2);
    StartTestPlayback(&t.song);
    std::vector<Position> rows = RowsPlayed(&t.song, 6);
    EXPECT_EQ(Player.channels[0].volume, 6);
    rows = RowsPlayed(&t.song, 18);
    EXPECT_EQ(rows, (std::vector<Position>{{0, 1}}));
    EXPECT_EQ(Player.channels[0].volume, 24);
    rows = RowsPlayed(&t.song, 1);
    EXPECT_EQ(rows, (std::vector<Position>{{0, 2}}));
    EXPECT_EQ(t.song.extraTicks, 0);
}

TEST(Jumps, PositionJumpPastTheSongGoesToTheStart) {
    TestSong t(1, {4, 4}, {0, 1, 0, 1, 0});
    t.Put(0, 1, 0, 0, 0, 0, kEffectPositionJump, 0x05);
    t.Put(1, 0, 0, 0, 0, 0, kEffectPositionJump, 0xFF);
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    std::vector<Position> expected = {{0, 0}, {0, 1}, {0, 0}, {0, 1}};
    EXPECT_EQ(RowsPlayed(&t.song, 4), expected);
    TestSong u(1, {4, 4}, {0, 1, 0, 1, 0});
    u.Put(0, 1, 0, 0, 0, 0, kEffectPositionJump, 0x03);
    u.song.defaultSpeed = 1;
    StartTestPlayback(&u.song);
    expected = {{0, 0}, {0, 1}, {3, 0}, {3, 1}};
    EXPECT_EQ(RowsPlayed(&u.song, 4), expected);
}

TEST(Jumps, PatternBreakRowsAreDecimal) {
    struct Case {
        std::uint8_t param;
        std::int32_t row;
    };
    for (Case c : {Case{0x12, 12}, Case{0x64, 0}, Case{0x1F, 25}, Case{0x63, 63}, Case{0x00, 0}}) {
        TestSong t(1, {64, 64}, {0, 1});
        t.Put(0, 0, 0, 0, 0, 0, kEffectPatternBreak, c.param);
        t.song.defaultSpeed = 1;
        StartTestPlayback(&t.song);
        std::vector<Position> expected = {{0, 0}, {1, c.row}};
        EXPECT_EQ(RowsPlayed(&t.song, 2), expected) << int(c.param);
    }
}

TEST(Jumps, PatternBreakOnTheLastPositionGoesToTheFirstNotTheRestart) {
    TestSong t(1, {4, 4}, {0, 1});
    t.song.restartPosition = 1;
    t.Put(1, 0, 0, 0, 0, 0, kEffectPatternBreak, 0x02);
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    std::vector<Position> played = RowsPlayed(&t.song, 6);
    std::vector<Position> expected = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {0, 2}};
    EXPECT_EQ(played, expected);
}

TEST(Jumps, JumpThenBreakInALaterChannelCombine) {
    TestSong t(2, {4, 4, 8}, {0, 1, 2});
    t.Put(0, 1, 0, 0, 0, 0, kEffectPositionJump, 0x02);
    t.Put(0, 1, 1, 0, 0, 0, kEffectPatternBreak, 0x05);
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    std::vector<Position> expected = {{0, 0}, {0, 1}, {2, 5}, {2, 6}};
    EXPECT_EQ(RowsPlayed(&t.song, 4), expected);
    // A break before the jump, in an earlier channel, moves on by one position; the jump wins
    // the order position, the break keeps its row.
    TestSong u(2, {4, 4, 8}, {0, 1, 2});
    u.Put(0, 1, 0, 0, 0, 0, kEffectPatternBreak, 0x05);
    u.Put(0, 1, 1, 0, 0, 0, kEffectPositionJump, 0x02);
    u.song.defaultSpeed = 1;
    StartTestPlayback(&u.song);
    expected = {{0, 0}, {0, 1}, {2, 0}};
    EXPECT_EQ(RowsPlayed(&u.song, 3), expected);
}

TEST(Jumps, BreakPastTheLandingPatternPlaysItsFirstRow) {
    TestSong t(1, {4, 8}, {0, 1});
    t.Put(0, 0, 0, 0, 0, 0, kEffectPatternBreak, 0x20);  // row 20 of an 8-row pattern
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    std::vector<Position> expected = {{0, 0}, {1, 0}, {1, 1}};
    EXPECT_EQ(RowsPlayed(&t.song, 3), expected);
}

TEST(Loops, PatternLoopPlaysItsRowsThreeTimes) {
    TestSong t(1, {20}, {0});
    t.Put(0, 8, 0, 0, 0, 0, kEffectExtended, 0x60);
    t.Put(0, 15, 0, 0, 0, 0, kEffectExtended, 0x62);
    t.song.defaultSpeed = 2;
    StartTestPlayback(&t.song);
    std::vector<Position> played = RowsPlayed(&t.song, 2 * (8 + 3 * 8 + 4) + 2);
    std::vector<Position> expected;
    expected.reserve(played.size());
    for (int r = 0; r < 8; ++r) expected.emplace_back(0, r);
    for (int pass = 0; pass < 3; ++pass) {
        for (int r = 8; r < 16; ++r) expected.emplace_back(0, r);
    }
    for (int r = 16; r < 20; ++r) expected.emplace_back(0, r);
    expected.emplace_back(0, 0);
    EXPECT_EQ(played, expected);
}

TEST(Loops, LoopEndKeepsItsOwnCellsForTheRowsLaterTicks) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument(0);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectExtended, 0x60);
    t.Put(0, 1, 0, 0, 0, 0x71, kEffectExtended, 0x61);
    t.song.defaultSpeed = 3;
    StartTestPlayback(&t.song);
    RowsPlayed(&t.song, 6);
    // The row's later ticks ran its own volume column although `row` was moved back.
    EXPECT_EQ(Player.channels[0].volume, 3);
    EXPECT_EQ(RowsPlayed(&t.song, 1), (std::vector<Position>{{0, 0}}));
}

}  // namespace
