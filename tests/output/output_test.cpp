// Block loop tests: output parameters, tick length, tick callbacks within blocks, and the
// conversion to 16-bit samples.
#include <gtest/gtest.h>

#include <vector>

#include "mixer.h"
#include "output.h"
#include "player_state.h"
#include "song.h"
#include "tick_clock.h"

namespace {

TEST(OutputParameters, DerivedFromTheRate) {
    SetOutputParameters(44100);
    EXPECT_EQ(Player.mixer.outputRate, 44100);
    EXPECT_EQ(Player.blockFrames, 884);
    EXPECT_EQ(Player.ringFrames, 88400);
    EXPECT_EQ(Player.nBlocks, 100);
    EXPECT_EQ(Player.mixer.rampFrames, 128);
    EXPECT_EQ(Player.mixer.rampReciprocal, 0.0078125f);
    EXPECT_EQ(Player.mixer.voices[200].index, 200);
    EXPECT_EQ(Player.mixer.voices[200].stepInt, 1);

    SetOutputParameters(44000);  // 20 ms is 880 frames, already a multiple of 4
    EXPECT_EQ(Player.blockFrames, 880);
    EXPECT_EQ(Player.ringFrames, 88000);
    EXPECT_EQ(Player.mixer.rampFrames, 127);

    SetOutputParameters(48000);
    EXPECT_EQ(Player.blockFrames, 960);
    EXPECT_EQ(Player.mixer.rampFrames, 139);
    EXPECT_EQ(Player.mixer.rampReciprocal, 1.0f / 139.0f);
    SetOutputParameters(44100);
}

TEST(TickClock, TickLengthFollowsTheTempo) {
    Song song{};
    song.defaultBpm = 130;
    StartTickClock(&song, 44100, nullptr);
    EXPECT_EQ(song.tickFramesLeft, 0);
    EXPECT_EQ(song.bpm, 130);
    EXPECT_EQ(song.tickLength, 848);
    SetBpm(&song, 125);
    EXPECT_EQ(song.tickLength, 882);
    SetBpm(&song, 255);
    EXPECT_EQ(song.tickLength, 432);
    SetBpm(&song, 32);
    EXPECT_EQ(song.tickLength, 3445);  // 3445.3
    SetBpm(&song, 1);
    EXPECT_EQ(song.tickLength, 110250);
    // A tempo of 0 would make the tick endless: it is played as 1.
    SetBpm(&song, 0);
    EXPECT_EQ(song.bpm, 1);
    EXPECT_EQ(song.tickLength, 110250);
    SetBpm(&song, 1000000);
    EXPECT_EQ(song.tickLength, 1);
}

// A song whose tick callback starts a note at step 1 on its first tick and then records,
// at every tick, how far that voice has played: the frame at which the tick starts.
struct ClockTestSong {
    Song song{};
    std::vector<std::int64_t> tickStarts;
    std::int32_t bpmAtFirstTick = 0;
    std::int64_t framesBefore = 0;  // frames of earlier runs of the voice
};

ClockTestSong* currentClockSong = nullptr;
std::vector<std::int16_t> clockSampleValues(200000, 1000);
Sample clockSample{};

void RecordTick(Song* song) {
    ClockTestSong& test = *currentClockSong;
    MixVoice* voice = &Player.mixer.voices[0];
    if (test.tickStarts.empty()) {
        clockSample.data = clockSampleValues.data();
        clockSample.length = 190000;
        clockSample.loopLength = 190000;
        clockSample.loopKind = kLoopNone;
        StartVoiceNote(Player.mixer, &voice, &clockSample);
        if (test.bpmAtFirstTick != 0) SetBpm(song, test.bpmAtFirstTick);
    }
    test.tickStarts.push_back(voice->positionInt);
}

class BlockLoop : public ::testing::Test {
protected:
    void SetUp() override {
        SetOutputParameters(44100);
        mix.assign(2 * static_cast<std::size_t>(Player.ringFrames) + 64, 0.0f);
        wave.assign(2 * static_cast<std::size_t>(Player.ringFrames), 0);
        Player.mixBuffer = mix.data();
        Player.waveBuffer = wave.data();
        Player.writeBlock = 0;
        test.song.defaultBpm = 130;
        StartTickClock(&test.song, 44100, &RecordTick);
        currentClockSong = &test;
        Player.activeSong = &test.song;
    }
    void TearDown() override {
        Player.activeSong = nullptr;
        Player.mixBuffer = nullptr;
        Player.waveBuffer = nullptr;
        currentClockSong = nullptr;
        ResetVoiceTable(Player.mixer);
    }

    std::vector<float> mix;
    std::vector<std::int16_t> wave;
    ClockTestSong test;
};

TEST_F(BlockLoop, TickBeforeTheFirstFrameAndOncePerTickAcrossBlocks) {
    FillBlock();
    // The first tick comes before frame 0 is mixed; the second starts at 848, inside the
    // same block.
    EXPECT_EQ(test.tickStarts, (std::vector<std::int64_t>{0, 848}));
    EXPECT_EQ(test.song.tickFramesLeft, 848 - 36);
    EXPECT_EQ(Player.writeBlock, 1);
    // Over 100 blocks (88400 frames) ticks start at every multiple of 848: 105 of them.
    for (int i = 1; i < 100; ++i) FillBlock();
    ASSERT_EQ(test.tickStarts.size(), 105u);
    for (std::size_t i = 0; i < test.tickStarts.size(); ++i)
        EXPECT_EQ(test.tickStarts[i], 848 * static_cast<std::int64_t>(i));
    EXPECT_EQ(test.song.tickFramesLeft, 105 * 848 - 88400);
    EXPECT_EQ(Player.writeBlock, 0);
}

TEST_F(BlockLoop, TempoChangeAppliesToTheTickItStarts) {
    test.bpmAtFirstTick = 65;  // 1696 frames per tick
    FillBlock();
    EXPECT_EQ(test.tickStarts.size(), 1u);
    EXPECT_EQ(test.song.tickFramesLeft, 1696 - 884);
    FillBlock();
    EXPECT_EQ(test.tickStarts, (std::vector<std::int64_t>{0, 1696}));
    EXPECT_EQ(test.song.tickFramesLeft, 2 * 1696 - 2 * 884);
}

TEST_F(BlockLoop, MixesTheVoicesIntoTheBlockAndConvertsIt) {
    std::vector<std::int16_t> values(2000, 12000);
    values.resize(2008, 0);
    Sample sample{};
    sample.data = values.data();
    sample.length = 2000;
    sample.loopLength = 2000;
    sample.loopKind = kLoopNone;
    test.song.tickCallback = nullptr;
    test.song.tickFramesLeft = 5000;
    MixVoice* voice = &Player.mixer.voices[1];
    StartVoiceNote(Player.mixer, &voice, &sample);
    SetVoiceGains(voice, 255, 0);
    Player.writeBlock = 3;
    wave[2 * 3 * 884 - 2] = 77;  // the block before is left alone
    FillBlock();
    EXPECT_EQ(Player.writeBlock, 4);
    const std::size_t start = std::size_t{2} * 3 * 884;
    EXPECT_EQ(wave[start], 0);  // the ramp starts from silence
    EXPECT_EQ(wave[start + std::size_t{2} * 200], 12000);
    EXPECT_EQ(wave[start + std::size_t{2} * 200 + 1], 0);
    EXPECT_EQ(wave[start - 2], 77);
    EXPECT_EQ(voice->positionInt, 884u);
    // The float block is cleared before it is mixed again.
    Player.writeBlock = 3;
    voice->sample = nullptr;
    FillBlock();
    EXPECT_EQ(wave[start + std::size_t{2} * 200], 0);
}

TEST(ConvertBlock, RoundsToNearestEvenAndClips) {
    const std::vector<float> source = {40000.4f, -40000.0f, 2.5f,      3.5f,  -2.5f,
                                       -3.5f,    32767.4f,  -32768.4f, 0.49f, -0.51f};
    std::vector<std::int16_t> out(source.size(), 99);
    ConvertBlock(out.data(), source.data(), static_cast<std::int32_t>(source.size() / 2));
    const std::vector<std::int16_t> expected = {32767, -32768, 2, 4, -2, -4, 32767, -32768, 0, -1};
    EXPECT_EQ(out, expected);

    std::vector<std::int16_t> untouched(2, 99);
    ConvertBlock(untouched.data(), source.data(), 0);
    ConvertBlock(nullptr, source.data(), 1);
    ConvertBlock(untouched.data(), nullptr, 1);
    EXPECT_EQ(untouched, (std::vector<std::int16_t>{99, 99}));
}

}  // namespace
