// Odd but loadable input: notes, effects and envelopes outside their meaningful ranges never
// read outside a table, never overflow and never stop the clock.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "effects.h"
#include "mixer.h"
#include "offline_render.h"
#include "player_state.h"
#include "sequencer.h"
#include "test_song.h"

namespace {

Channel& Ch() {
    return Player.channels[0];
}

using Values = std::vector<std::int32_t>;

// One later tick of a channel's envelopes, outside any song.
void StepEnvelopesOnce(Channel* channel, const Instrument* instrument) {
    StepEnvelopes(channel, instrument, false);
}

TEST(BadInput, NotesAboveTheRangeCountAsNoNote) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.Put(0, 1, 0, 200, static_cast<std::uint8_t>(ins));
    t.Put(0, 2, 0, 97);  // only the loader turns 97 into key-off
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    MixVoice* voice = Ch().voice;
    SequencerTick(&t.song);
    EXPECT_EQ(Ch().lastNote, 48);
    EXPECT_EQ(Ch().period, 1712);
    EXPECT_EQ(Ch().requests & kRequestNoteStart, 0);
    SequencerTick(&t.song);
    EXPECT_EQ(Ch().voice, voice);
    EXPECT_EQ(Ch().keyOff, 0);
}

TEST(BadInput, InstrumentBeyondTheSongPlaysNothing) {
    TestSong t(1, {2}, {0});
    t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), 9, 0, kEffectExtended, 0x57);
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_EQ(Ch().instrumentIndex, 8);
    EXPECT_EQ(Ch().voice->sample, &EmptySample);
    EXPECT_EQ(Ch().volume, 0);
    // The shared placeholder stays all zero, whatever the finetune effect asked for.
    EXPECT_EQ(EmptySample.finetune, 0);
}

TEST(BadInput, OffsetOnTheEmptySampleResetsThePosition) {
    TestSong t(1, {2}, {0});
    t.Put(0, 0, 0, NoteNumber("C-4"), 3, 0, kEffectSampleOffset, 0x10);
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_NE(Ch().requests & kRequestPositionReset, 0);
    EXPECT_EQ(Ch().voice->startOffset, 0u);
}

TEST(BadInput, SetVolumeAndSampleVolumeAreClampedOnEntry) {
    TestSong t(1, {2}, {0});
    std::int32_t ins = t.AddInstrument(200);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.Put(0, 1, 0, 0, 0, 0, kEffectSetVolume, 0xFF);
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_EQ(Ch().volume, 64);
    EXPECT_EQ(Ch().voice->volume, 128);
    SequencerTick(&t.song);
    EXPECT_EQ(Ch().volume, 64);
}

TEST(BadInput, EndlessSlidesSaturateInsteadOfOverflowing) {
    TestSong t(2, {1, 1}, {0, 1}, true);
    t.song.restartPosition = 1;
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.Put(0, 0, 1, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.Put(1, 0, 0, 0, 0, 0xDF, kEffectExtended, 0x1F);
    t.Put(1, 0, 1, 0, 0, 0xEF, kEffectExtended, 0x2F);
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    for (int i = 0; i < 300000; ++i) SequencerTick(&t.song);
    EXPECT_EQ(Player.channels[0].period, -kPeriodLimit);
    EXPECT_EQ(Player.channels[0].voice->frequency, kMaxFrequency);
    EXPECT_EQ(Player.channels[0].panning, -kPanningDriftLimit);
    EXPECT_EQ(Player.channels[0].voice->panning, 0);
    EXPECT_EQ(Player.channels[1].period, kPeriodLimit);
    EXPECT_EQ(Player.channels[1].voice->frequency, 0);
    EXPECT_EQ(Player.channels[1].panning, kPanningDriftLimit);
    EXPECT_EQ(Player.channels[1].voice->panning, 255);
}

TEST(BadInput, OrderEntriesAndRestartOutsideTheSong) {
    TestSong t(1, {2}, {0, 7});  // pattern 7 does not exist
    t.song.restartPosition = 40;
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    for (int i = 0; i < 3; ++i) SequencerTick(&t.song);
    EXPECT_EQ(PlayingRow().orderPosition, 1);
    SequencerTick(&t.song);
    EXPECT_EQ(PlayingRow().orderPosition, 0);  // the restart lies outside: the first position
    TestSong empty(1, {2}, {});
    empty.song.defaultSpeed = 0;
    StartTestPlayback(&empty.song);
    for (int i = 0; i < 10; ++i) SequencerTick(&empty.song);
    EXPECT_EQ(empty.song.tick, 0);
}

TEST(BadInput, EnvelopeIndicesAndPointsOutsideTheirRanges) {
    TestSong t(1, {300}, {0});
    std::int32_t ins = t.AddInstrument();
    Instrument& instrument = t.InstrumentAt(ins);
    // Points whose x fall back, heights far above 64, sustain and loop points past the count,
    // and a count above the table.
    instrument.volumeEnvelope[0] = {0, 64};
    instrument.volumeEnvelope[1] = {50, 65535};
    instrument.volumeEnvelope[2] = {10, 0};
    instrument.volumeEnvelope[3] = {5, 30};
    instrument.volumePointCount = 4;
    instrument.volumeType = 7;
    instrument.volumeSustainPoint = 200;
    instrument.volumeLoopStart = 200;
    instrument.volumeLoopEnd = 2;
    instrument.panningEnvelope[0] = {3, 64};
    instrument.panningPointCount = 250;
    instrument.panningType = 7;
    instrument.panningLoopStart = 11;
    instrument.panningLoopEnd = 11;
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    for (int i = 0; i < 120; ++i) {
        SequencerTick(&t.song);
        ASSERT_GE(Ch().volEnvOutput, 0) << i;
        ASSERT_LE(Ch().volEnvOutput, 64) << i;
        ASSERT_GE(Ch().panEnvOutput, 0) << i;
        ASSERT_LE(Ch().panEnvOutput, 64) << i;
    }
    EXPECT_EQ(Ch().volEnvDone, 1);
    EXPECT_EQ(Ch().volEnvOutput, 30);
}

TEST(BadInput, EnvelopePositionBeforeTheFirstPointKeepsTheOutputInRange) {
    Instrument instrument{};
    instrument.volumeEnvelope[0] = {10, 0};
    instrument.volumeEnvelope[1] = {20, 64};
    instrument.volumePointCount = 2;
    instrument.volumeType = 1;
    Channel c{};
    SetEnvelopePosition(&c, &instrument, 0);
    EXPECT_EQ(c.volEnvOutput, 0);
    Values outputs;
    for (int t = 0; t < 22; ++t) {
        StepEnvelopesOnce(&c, &instrument);
        outputs.push_back(c.volEnvOutput);
    }
    for (std::int32_t v : outputs) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 64);
    }
    EXPECT_EQ(outputs.back(), 64);
}

TEST(BadInput, TremorWithoutTimesStaysSilent) {
    TestSong t(1, {2}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectTremor, 0x00);
    StartTestPlayback(&t.song);
    for (int i = 0; i < 6; ++i) {
        SequencerTick(&t.song);
        EXPECT_EQ(Ch().voice->volume, 0) << i;
    }
}

// Random cells, instruments and envelopes played through the block loop: whatever the song
// says, the channel and voice values stay in their ranges (the sanitizer build also watches
// every table access and every arithmetic overflow).
TEST(BadInput, RandomSongsKeepEveryValueInRange) {
    std::mt19937 random(12345);
    auto byte = [&random]() { return static_cast<std::uint8_t>(random() & 0xFF); };
    for (int round = 0; round < 12; ++round) {
        TestSong t(8, {16, 5, 33}, {0, 1, 2, 1, 0}, round % 2 == 0);
        for (int i = 0; i < 3; ++i) {
            std::int32_t ins = t.AddInstrument(byte(), byte(), static_cast<std::int8_t>(byte()),
                                               static_cast<std::int8_t>(byte()),
                                               static_cast<std::uint32_t>(64 + byte() * 4),
                                               static_cast<std::uint8_t>(1 << (random() % 3)));
            Instrument& instrument = t.InstrumentAt(ins);
            for (std::uint32_t p = 0; p < kEnvelopePointCount; ++p) {
                instrument.volumeEnvelope[p] = {static_cast<std::uint16_t>(p * (random() % 20)),
                                                byte()};
                instrument.panningEnvelope[p] = {byte(), byte()};
            }
            instrument.volumePointCount = byte() % 16;
            instrument.panningPointCount = byte() % 16;
            instrument.volumeType = byte() & 7;
            instrument.panningType = byte() & 7;
            instrument.volumeSustainPoint = byte() % 14;
            instrument.volumeLoopStart = byte() % 14;
            instrument.volumeLoopEnd = byte() % 14;
            instrument.panningSustainPoint = byte() % 14;
            instrument.panningLoopStart = byte() % 14;
            instrument.panningLoopEnd = byte() % 14;
            instrument.autoVibratoType = byte() % 6;
            instrument.autoVibratoSweep = byte();
            instrument.autoVibratoDepth = byte();
            instrument.autoVibratoRate = byte();
            instrument.fadeout = static_cast<std::uint16_t>(byte() * 64);
            for (std::uint8_t& slot : instrument.sampleMap) slot = byte() % 20;
        }
        static const std::uint8_t effects[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                               13, 14, 15, 16, 17, 20, 21, 25, 27, 29, 33, 40};
        for (std::size_t p = 0; p < t.cells.size(); ++p) {
            for (Cell& cell : t.cells[p]) {
                if (random() % 3 == 0) continue;
                cell = Cell{static_cast<std::uint8_t>(random() % 4 == 0 ? byte() : random() % 98),
                            static_cast<std::uint8_t>(random() % 6), byte(),
                            effects[random() % sizeof effects], byte()};
                if (cell.effect == 15 && cell.effectParam < 32 && random() % 4 != 0)
                    cell.effectParam = 3;
            }
        }
        t.song.defaultSpeed = static_cast<std::int16_t>(random() % 8);
        std::string trace;
        TraceSong(&t.song, std::int64_t{44100} * 4, &trace);
        ASSERT_FALSE(trace.empty());
        for (int c = 0; c < 8; ++c) {
            const Channel& ch = Player.channels[c];
            EXPECT_GE(ch.volume, 0);
            EXPECT_LE(ch.volume, 64);
            EXPECT_GE(ch.fadeoutVolume, 0);
            EXPECT_LE(ch.voice->volume, 128);
            EXPECT_GE(ch.voice->volume, 0);
            EXPECT_LE(ch.voice->leftVolume, 255);
            EXPECT_LE(ch.voice->rightVolume, 255);
            EXPECT_GE(ch.vibratoPosition, -32);
            EXPECT_LE(ch.vibratoPosition, 31);
            EXPECT_GE(ch.autoVibratoPhase, 0);
            EXPECT_LE(ch.autoVibratoPhase, 255);
        }
        EXPECT_GE(t.song.globalVolume, 0);
        EXPECT_LE(t.song.globalVolume, 64);
    }
}

}  // namespace
