// The embedded song as the loader reads it: its figures, its patterns, the instrument without
// samples, and the player features the song is composed to exercise.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "embedded_song.h"
#include "song.h"
#include "xm_walk.h"

namespace {

std::uint32_t EmbeddedSize() {
    return static_cast<std::uint32_t>(EmbeddedSong[0]) |
           static_cast<std::uint32_t>(EmbeddedSong[1]) << 8 |
           static_cast<std::uint32_t>(EmbeddedSong[2]) << 16 |
           static_cast<std::uint32_t>(EmbeddedSong[3]) << 24;
}

class EmbeddedSongTest : public ::testing::Test {
protected:
    void SetUp() override {
        song = LoadModule(EmbeddedSong);
        ASSERT_NE(song, nullptr);
    }
    void TearDown() override { FreeModule(song); }

    // Every cell of every pattern the order table plays.
    template <typename Visit>
    void ForEachPlayedCell(Visit visit) const {
        for (int order = 0; order < song->songLength; ++order) {
            const Pattern& pattern = song->patterns[song->orderTable[order]];
            for (int i = 0; i < pattern.rowCount * song->channelCount; ++i) {
                visit(pattern.cells[i]);
            }
        }
    }

    Song* song = nullptr;
};

TEST_F(EmbeddedSongTest, HasTheModuleFigures) {
    EXPECT_EQ(song->channelCount, 10);
    EXPECT_EQ(song->patternSlotCount, 15);
    EXPECT_EQ(song->usedPatternCount, 15);
    EXPECT_EQ(song->instrumentCount, 22);
    EXPECT_EQ(song->songLength, 19);
    EXPECT_EQ(song->restartPosition, 3);
    EXPECT_EQ(song->defaultSpeed, 6);
    EXPECT_EQ(song->defaultBpm, 130);
    EXPECT_EQ(song->flags, 0);  // Amiga frequency table
    EXPECT_LE(EmbeddedSize(), 96u * 1024u);
}

TEST_F(EmbeddedSongTest, EveryPatternHoldsTenChannelsOfSixtyFourRows) {
    for (int i = 0; i < song->patternSlotCount; ++i) {
        EXPECT_EQ(song->patterns[i].rowCount, 64) << "pattern " << i;
        EXPECT_NE(song->patterns[i].cells, nullptr) << "pattern " << i;
    }
    // The file's own packed sizes agree with what decoding 10 x 64 cells consumes, so a reader
    // that trusts those sizes sees the same module.
    const XmWalk walk = WalkXm(EmbeddedSong + 4, EmbeddedSize());
    ASSERT_TRUE(walk.ok);
    ASSERT_EQ(walk.patternCount, 15);
    for (int i = 0; i < walk.patternCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        EXPECT_EQ(walk.decodedBytes.at(at), walk.declaredBytes.at(at)) << "pattern " << i;
    }
    EXPECT_EQ(walk.bytesWalked, EmbeddedSize());  // nothing left over after the last sample
}

TEST_F(EmbeddedSongTest, InstrumentEightAloneHasNoSamples) {
    for (int i = 0; i < song->instrumentCount; ++i) {
        const Instrument& instrument = song->instruments[i];
        if (i == 7) {
            EXPECT_EQ(instrument.sampleCount, 0);
            for (int slot = 0; slot < kSamplesPerInstrument; ++slot) {
                EXPECT_EQ(instrument.samples[slot], &EmptySample) << "slot " << slot;
            }
            continue;
        }
        EXPECT_GE(instrument.sampleCount, 1) << "instrument " << i + 1;
        const Sample* sample = instrument.samples[0];
        EXPECT_GT(sample->length, 0u) << "instrument " << i + 1;
        EXPECT_LE(sample->loopStart + sample->loopLength, sample->length) << "instrument " << i + 1;
        EXPECT_LE(sample->volume, 64) << "instrument " << i + 1;
    }
}

TEST_F(EmbeddedSongTest, EveryInstrumentAndPatternIsPlayed) {
    std::set<int> instruments;
    ForEachPlayedCell([&](const Cell& cell) {
        if (cell.instrument != 0) {
            instruments.insert(cell.instrument);
        }
    });
    EXPECT_EQ(instruments.size(), 22u);
    std::set<int> patterns(song->orderTable, song->orderTable + song->songLength);
    EXPECT_EQ(patterns.size(), 15u);
}

TEST_F(EmbeddedSongTest, SamplesUseBothDepthsAndBothLoopKinds) {
    const XmWalk walk = WalkXm(EmbeddedSong + 4, EmbeddedSize());
    ASSERT_TRUE(walk.ok);
    bool eightBit = false;
    bool sixteenBit = false;
    for (const std::uint8_t type : walk.sampleTypes) {
        ((type & 0x10) != 0 ? sixteenBit : eightBit) = true;
    }
    EXPECT_TRUE(eightBit);
    EXPECT_TRUE(sixteenBit);

    std::set<int> loopKinds;
    for (int i = 0; i < song->instrumentCount; ++i) {
        for (int j = 0; j < song->instruments[i].sampleCount; ++j) {
            loopKinds.insert(song->instruments[i].samples[j]->loopKind);
        }
    }
    EXPECT_TRUE(loopKinds.count(kLoopNone));
    EXPECT_TRUE(loopKinds.count(kLoopForward));
    EXPECT_TRUE(loopKinds.count(kLoopPingPong));
}

TEST_F(EmbeddedSongTest, InstrumentsUseEnvelopesFadeoutAndAutoVibrato) {
    bool sustain = false;
    bool loop = false;
    bool panning = false;
    bool fadeout = false;
    bool vibrato = false;
    for (int i = 0; i < song->instrumentCount; ++i) {
        const Instrument& instrument = song->instruments[i];
        sustain |= (instrument.volumeType & 3) == 3;
        loop |= (instrument.volumeType & 5) == 5;
        panning |= (instrument.panningType & 1) != 0;
        // Fade-out only shapes a release when the volume envelope is on.
        fadeout |= instrument.fadeout > 0 && (instrument.volumeType & 1) != 0;
        vibrato |= instrument.autoVibratoDepth > 0 && instrument.autoVibratoRate > 0;
        if ((instrument.volumeType & 1) != 0) {
            // Indices the player follows must name points that exist.
            EXPECT_LE(instrument.volumePointCount, kEnvelopePointCount);
            EXPECT_LT(instrument.volumeSustainPoint, instrument.volumePointCount);
            EXPECT_LT(instrument.volumeLoopEnd, instrument.volumePointCount);
        }
    }
    EXPECT_TRUE(sustain);
    EXPECT_TRUE(loop);
    EXPECT_TRUE(panning);
    EXPECT_TRUE(fadeout);
    EXPECT_TRUE(vibrato);
}

TEST_F(EmbeddedSongTest, PatternsUseTheEffectsAndVolumeColumn) {
    std::set<int> effects;  // effect number, or 0xE0 + x for the E commands
    bool arpeggio = false;
    bool volumeSet = false;
    bool volumeSlide = false;
    bool keyOff = false;
    ForEachPlayedCell([&](const Cell& cell) {
        if (cell.effect == 0xE) {
            effects.insert(0xE0 + (cell.effectParam >> 4));
        } else if (cell.effect != 0 || cell.effectParam != 0) {
            effects.insert(cell.effect);
        }
        arpeggio |= cell.effect == 0 && cell.effectParam != 0;
        volumeSet |= cell.volumeCommand >= 0x10 && cell.volumeCommand <= 0x50;
        volumeSlide |= cell.volumeCommand >= 0x60 && cell.volumeCommand <= 0x9F;
        keyOff |= cell.note == kNoteKeyOff;
    });
    EXPECT_TRUE(arpeggio);
    for (const int effect : {0x1, 0x2, 0x3, 0x4, 0x8, 0xA, 0xC, 0xD, 0xF, 0xEC, 0xED}) {
        EXPECT_TRUE(effects.count(effect)) << "effect " << std::hex << effect;
    }
    EXPECT_TRUE(effects.count(0xE9) || effects.count(27));  // retrigger
    EXPECT_TRUE(volumeSet);
    EXPECT_TRUE(volumeSlide);
    EXPECT_TRUE(keyOff);
}

TEST_F(EmbeddedSongTest, NotesStayWithinTheTables) {
    ForEachPlayedCell([&](const Cell& cell) {
        EXPECT_TRUE(cell.note <= 96 || cell.note == kNoteKeyOff) << int(cell.note);
        EXPECT_LE(cell.instrument, song->instrumentCount);
        if (cell.volumeCommand >= 0x10 && cell.volumeCommand <= 0x50) {
            EXPECT_LE(cell.volumeCommand - 0x10, 64);
        }
        if (cell.effect == 0xD) {
            EXPECT_LT((cell.effectParam >> 4) * 10 + (cell.effectParam & 15), 64);
        }
    });
}

}  // namespace
