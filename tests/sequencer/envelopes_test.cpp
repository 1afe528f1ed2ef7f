// Volume and panning envelopes with sustain and loop, fade-out, the envelope position effect
// and auto-vibrato, tick by tick.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "effects.h"
#include "player_state.h"
#include "sequencer.h"
#include "test_song.h"

namespace {

using Values = std::vector<std::int32_t>;

Channel& Ch() {
    return Player.channels[0];
}

void SetPoints(EnvelopePoint* points, std::uint8_t* count,
               std::initializer_list<EnvelopePoint> values) {
    int i = 0;
    for (EnvelopePoint point : values) points[i++] = point;
    *count = static_cast<std::uint8_t>(values.size());
}

// A one-channel song at speed 1: the note on row 0, a key-off on row `keyOffRow` (if any).
struct EnvelopeSong {
    explicit EnvelopeSong(std::int32_t keyOffRow = -1) : song(1, {300}, {0}) {
        ins = song.AddInstrument();
        song.song.defaultSpeed = 1;
        song.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
        if (keyOffRow >= 0) song.Put(0, keyOffRow, 0, kNoteKeyOff);
    }
    Instrument& instrument() { return song.InstrumentAt(ins); }
    Values Run(int ticks, std::int32_t Channel::*field) {
        StartTestPlayback(&song.song);
        Values values;
        for (int i = 0; i < ticks; ++i) {
            SequencerTick(&song.song);
            values.push_back(Ch().*field);
        }
        return values;
    }
    TestSong song;
    std::int32_t ins;
};

TEST(VolumeEnvelope, FallsAlongItsSegmentAndStaysWhenDone) {
    EnvelopeSong e;
    SetPoints(e.instrument().volumeEnvelope, &e.instrument().volumePointCount, {{0, 64}, {10, 0}});
    e.instrument().volumeType = 1;
    EXPECT_EQ(e.Run(14, &Channel::volEnvOutput),
              (Values{64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0, 0, 0}));
    EXPECT_EQ(Ch().volEnvDone, 1);
}

TEST(VolumeEnvelope, HoldsAtTheSustainPointUntilKeyOff) {
    EnvelopeSong e(8);
    SetPoints(e.instrument().volumeEnvelope, &e.instrument().volumePointCount,
              {{0, 64}, {5, 32}, {10, 0}});
    e.instrument().volumeType = 3;
    e.instrument().volumeSustainPoint = 1;
    EXPECT_EQ(e.Run(15, &Channel::volEnvOutput),
              (Values{64, 57, 51, 44, 38, 32, 32, 32, 32, 25, 19, 12, 6, 0, 0}));
}

TEST(VolumeEnvelope, LoopNeverOutputsTheLoopEndsValue) {
    EnvelopeSong e;
    SetPoints(e.instrument().volumeEnvelope, &e.instrument().volumePointCount, {{0, 0}, {4, 64}});
    e.instrument().volumeType = 5;
    e.instrument().volumeLoopStart = 0;
    e.instrument().volumeLoopEnd = 1;
    EXPECT_EQ(e.Run(10, &Channel::volEnvOutput), (Values{0, 16, 32, 48, 0, 16, 32, 48, 0, 16}));
}

TEST(PanningEnvelope, MovesThePanningAroundItsCentre) {
    EnvelopeSong e;
    SetPoints(e.instrument().panningEnvelope, &e.instrument().panningPointCount,
              {{0, 32}, {2, 64}});
    e.instrument().panningType = 1;
    EXPECT_EQ(e.Run(4, &Channel::panEnvOutput), (Values{32, 48, 64, 64}));
    EXPECT_EQ(Ch().voice->panning, 255);  // 128 + 32 x 4, clamped
}

TEST(FadeOut, WithoutEnvelopeAReleasedNoteIsSilentAtOnce) {
    EnvelopeSong e(2);
    e.instrument().fadeout = 244;
    Values volumes = e.Run(4, &Channel::fadeoutVolume);
    EXPECT_EQ(volumes, (Values{65536, 65536, 65536 - 244, 65536 - 488}));
    EXPECT_EQ(Ch().volEnvOutput, 0);
    EXPECT_EQ(Ch().voice->volume, 0);
}

TEST(FadeOut, WithAnEnvelopeItFadesOver269Ticks) {
    EnvelopeSong e(1);
    SetPoints(e.instrument().volumeEnvelope, &e.instrument().volumePointCount, {{0, 64}, {1, 64}});
    e.instrument().volumeType = 1;
    e.instrument().fadeout = 244;
    Values fade = e.Run(272, &Channel::fadeoutVolume);
    EXPECT_GT(fade[268], 0);  // the 269th tick after the release
    EXPECT_EQ(fade[269], 0);
    EXPECT_GT(Ch().volEnvOutput, 0);
    EXPECT_EQ(Ch().voice->volume, 0);
}

TEST(EnvelopePosition, JumpsIntoASegmentOrPastTheEnd) {
    Instrument instrument{};
    SetPoints(instrument.volumeEnvelope, &instrument.volumePointCount,
              {{0, 64}, {10, 0}, {20, 32}});
    instrument.volumeType = 1;
    Channel c{};
    SetEnvelopePosition(&c, &instrument, 5);
    EXPECT_EQ(c.volEnvPoint, 1);
    EXPECT_EQ(c.volEnvTick, 5);
    EXPECT_EQ(c.volEnvOutput, 32);
    EXPECT_EQ(c.volEnvDone, 0);
    SetEnvelopePosition(&c, &instrument, 15);
    EXPECT_EQ(c.volEnvPoint, 2);
    EXPECT_EQ(c.volEnvOutput, 15);  // 5 x 209715 falls just short of 16 x 65536
    SetEnvelopePosition(&c, &instrument, 200);
    EXPECT_EQ(c.volEnvOutput, 32);
    EXPECT_EQ(c.volEnvDone, 1);
    EXPECT_EQ(c.volEnvPoint, 3);
    // Twelve points and a position beyond all of them: the search stays inside the table.
    Instrument full{};
    for (int i = 0; i < kEnvelopePointCount; ++i)
        full.volumeEnvelope[i] = {static_cast<std::uint16_t>(i), 10};
    full.volumePointCount = kEnvelopePointCount;
    full.volumeType = 1;
    SetEnvelopePosition(&c, &full, 255);
    EXPECT_EQ(c.volEnvPoint, kEnvelopePointCount);
    EXPECT_EQ(c.volEnvOutput, 10);
    // Without an active volume envelope nothing changes.
    instrument.volumeType = 0;
    c.volEnvOutput = 7;
    SetEnvelopePosition(&c, &instrument, 5);
    EXPECT_EQ(c.volEnvOutput, 7);
}

TEST(EnvelopePosition, TheEnvelopeContinuesFromThere) {
    EnvelopeSong e;
    SetPoints(e.instrument().volumeEnvelope, &e.instrument().volumePointCount, {{0, 64}, {10, 0}});
    e.instrument().volumeType = 1;
    e.song.Put(0, 2, 0, 0, 0, 0, kEffectEnvelopePosition, 5);
    Values out = e.Run(5, &Channel::volEnvOutput);
    // Tick 2 steps the envelope first, then the effect moves it to position 5 (output 32).
    EXPECT_EQ(out, (Values{64, 57, 32, 25, 19}));
}

// Points far beyond any position L can set, read from a module: the value before the first
// point lies billions of 16.16 units off the segment, and stays clamped as it walks back.
TEST(EnvelopePosition, PointsAtTheFarEndOfTheRangeKeepTheOutputClamped) {
    struct Case {
        EnvelopePoint first, second;
        std::uint8_t position;
        std::int32_t expected;  // output on every tick of the run
    };
    for (const Case& c :
         {Case{{1000, 64}, {1001, 0}, 0, 64}, Case{{65534, 0}, {65535, 64}, 255, 0}}) {
        SCOPED_TRACE(c.first.x);
        EnvelopeSong e;
        SetPoints(e.instrument().volumeEnvelope, &e.instrument().volumePointCount,
                  {c.first, c.second});
        e.instrument().volumeType = 1;
        e.song.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(e.ins), 0,
                   kEffectEnvelopePosition, c.position);
        std::vector<std::uint8_t> image = e.song.XmImage();
        Song* song = LoadModule(image.data());
        ASSERT_NE(song, nullptr);
        StartTestPlayback(song);
        // 1100 ticks cover a whole wrap of a 32-bit value stepping 2^22 per tick.
        Values outputs;
        for (int tick = 0; tick < 1100; ++tick) {
            SequencerTick(song);
            outputs.push_back(Ch().volEnvOutput);
        }
        FreeModule(song);
        EXPECT_EQ(outputs, Values(1100, c.expected));
    }
}

TEST(AutoVibrato, WaveformsAtTheirKeyPhases) {
    EXPECT_EQ(AutoVibratoSine(32), 45);
    EXPECT_EQ(AutoVibratoSine(64), 64);
    EXPECT_EQ(AutoVibratoSine(192), -64);
    Instrument instrument{};
    instrument.autoVibratoDepth = 64;
    struct Case {
        std::uint8_t type;
        std::int32_t phase;
        std::int32_t wave;
    };
    for (Case c :
         {Case{0, 64, 64}, Case{1, 127, 64}, Case{1, 128, -64}, Case{2, 0, 0}, Case{2, 127, -64},
          Case{2, 128, 64}, Case{2, 255, 0}, Case{3, 0, 0}, Case{3, 127, 63}, Case{3, 128, 64},
          Case{3, 129, -64}, Case{3, 255, -1}, Case{7, 64, 0}}) {
        instrument.autoVibratoType = c.type;
        Channel ch{};
        ch.autoVibratoPhase = c.phase;
        StepAutoVibrato(&ch, &instrument);
        EXPECT_EQ(ch.periodDelta, c.wave) << int(c.type) << " " << c.phase;  // depth 64: a = 64 w
        EXPECT_NE(ch.requests & kRequestPitch, 0);
    }
}

TEST(AutoVibrato, SweepGrowsTheDepthLinearly) {
    EnvelopeSong e;
    Instrument& instrument = e.instrument();
    instrument.autoVibratoType = 1;  // square: a constant +64 for the first half
    instrument.autoVibratoDepth = 29;
    instrument.autoVibratoSweep = 29;
    instrument.autoVibratoRate = 0;
    Values deltas = e.Run(32, &Channel::periodDelta);
    for (std::int32_t t = 0; t < 32; ++t) {
        std::int32_t ticks = t < 29 ? t : 29;
        EXPECT_EQ(deltas[static_cast<std::size_t>(t)], (ticks * 29 * 64 / 29) >> 6) << t;
    }
}

TEST(AutoVibrato, PhaseAdvancesByTheRateAndWraps) {
    Instrument instrument{};
    instrument.autoVibratoRate = 200;
    Channel ch{};
    StepAutoVibrato(&ch, &instrument);
    EXPECT_EQ(ch.autoVibratoPhase, 200);
    StepAutoVibrato(&ch, &instrument);
    EXPECT_EQ(ch.autoVibratoPhase, 144);
    EXPECT_EQ(ch.periodDelta, 0);  // depth 0 adds nothing
}

}  // namespace
