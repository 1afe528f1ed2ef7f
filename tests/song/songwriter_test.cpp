// The composer's building blocks: cell packing and delta coding as the loader reads them back,
// the deterministic maths against the C library, and the score notation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "det_math.h"
#include "instruments.h"
#include "score.h"
#include "score_notation.h"
#include "song.h"
#include "xm_writer.h"

namespace {

std::vector<std::uint8_t> Packed(const Cell& cell) {
    std::vector<std::uint8_t> out;
    AppendPackedCell(out, cell);
    return out;
}

TEST(CellPacking, UsesTheShortestForm) {
    EXPECT_EQ(Packed({0, 0, 0, 0, 0}), (std::vector<std::uint8_t>{0x80}));
    EXPECT_EQ(Packed({49, 3, 0x20, 0xF, 6}), (std::vector<std::uint8_t>{49, 3, 0x20, 0xF, 6}));
    EXPECT_EQ(Packed({49, 3, 0, 0, 0}), (std::vector<std::uint8_t>{0x83, 49, 3}));
    // An arpeggio with effect number 0 is told by its parameter alone.
    EXPECT_EQ(Packed({0, 0, 0, 0, 0x37}), (std::vector<std::uint8_t>{0x90, 0x37}));
    // Key-off is stored as note 97.
    EXPECT_EQ(Packed({kNoteKeyOff, 0, 0, 0, 0}), (std::vector<std::uint8_t>{0x81, 97}));
}

TEST(DeltaCoding, StoresDifferencesModuloTheSampleWidth) {
    EXPECT_EQ(DeltaEncode({5, 8, 6}, false), (std::vector<std::uint8_t>{5, 3, 254}));
    EXPECT_EQ(DeltaEncode({-128, 127}, false), (std::vector<std::uint8_t>{0x80, 0xFF}));
    EXPECT_EQ(DeltaEncode({32767, -32768, 1}, true),
              (std::vector<std::uint8_t>{0xFF, 0x7F, 0x01, 0x00, 0x01, 0x80}));
}

// A tiny module: one pattern, one instrument with an 8-bit looped sample, one without samples.
XmModule TinyModule() {
    XmModule module;
    module.name = "tiny";
    module.channelCount = 2;
    module.restartPosition = 0;
    module.defaultSpeed = 5;
    module.defaultBpm = 140;
    module.orders = {0, 0};
    XmPattern pattern = EmptyPattern(2, 4);
    CellAt(pattern, 2, 1, 1) = Cell{61, 1, 0x30, 0xA, 0x0F};
    CellAt(pattern, 2, 3, 0) = Cell{kNoteKeyOff, 0, 0, 0, 0};
    module.patterns.push_back(pattern);
    XmInstrument instrument;
    instrument.name = "blip";
    XmSample sample;
    sample.values = {0, 50, 100, 50, 0, -50};
    sample.loopKind = kLoopPingPong;
    sample.loopStart = 2;
    sample.loopLength = 3;
    sample.volume = 40;
    sample.relativeNote = -12;
    sample.finetune = -16;
    instrument.samples.push_back(sample);
    instrument.volumeEnvelope.points = {{0, 64}, {10, 32}, {20, 0}};
    instrument.volumeEnvelope.sustainPoint = 1;
    instrument.fadeout = 300;
    module.instruments.push_back(instrument);
    module.instruments.push_back(XmInstrument{});
    return module;
}

TEST(ModuleWriter, WritesWhatTheLoaderReadsBack) {
    const std::vector<std::uint8_t> image = SerializeModule(TinyModule());
    std::vector<std::uint8_t> prefixed(4 + image.size());
    const auto size = static_cast<std::uint32_t>(image.size());
    for (std::size_t i = 0; i < 4; ++i) {
        prefixed[i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    std::memcpy(prefixed.data() + 4, image.data(), image.size());
    Song* song = LoadModule(prefixed.data());
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->channelCount, 2);
    EXPECT_EQ(song->songLength, 2);
    EXPECT_EQ(song->defaultSpeed, 5);
    EXPECT_EQ(song->defaultBpm, 140);
    EXPECT_EQ(song->instrumentCount, 2);
    ASSERT_EQ(song->patterns[0].rowCount, 4);
    const Cell& cell = song->patterns[0].cells[1 * 2 + 1];
    EXPECT_EQ(cell.note, 61);
    EXPECT_EQ(cell.instrument, 1);
    EXPECT_EQ(cell.volumeCommand, 0x30);
    EXPECT_EQ(cell.effect, 0xA);
    EXPECT_EQ(cell.effectParam, 0x0F);
    EXPECT_EQ(song->patterns[0].cells[3 * 2 + 0].note, kNoteKeyOff);

    const Instrument& blip = song->instruments[0];
    ASSERT_EQ(blip.sampleCount, 1);
    EXPECT_EQ(blip.volumePointCount, 3);
    EXPECT_EQ(blip.volumeType, 3);  // on, with sustain
    EXPECT_EQ(blip.volumeSustainPoint, 1);
    EXPECT_EQ(blip.fadeout, 600);
    const Sample& s = *blip.samples[0];
    EXPECT_EQ(s.length, 6u);
    EXPECT_EQ(s.loopKind, kLoopPingPong);
    EXPECT_EQ(s.loopStart, 2u);
    EXPECT_EQ(s.loopLength, 3u);
    EXPECT_EQ(s.volume, 40);
    EXPECT_EQ(s.relativeNote, -12);
    EXPECT_EQ(s.finetune, -16);
    const std::int16_t expected[5] = {0, 50 * 256, 100 * 256, 50 * 256, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.data[i], expected[i]) << "frame " << i;
    }
    // Frame 5 lies at the ping-pong loop's end, where the loader puts the turning frame.
    EXPECT_EQ(s.data[5], s.data[4]);
    EXPECT_EQ(song->instruments[1].sampleCount, 0);
    FreeModule(song);
}

TEST(DeterministicMaths, AgreesWithTheLibraryFunctions) {
    for (double turns = -3.0; turns <= 3.0; turns += 0.0137) {
        EXPECT_NEAR(Sine(turns), std::sin(2.0 * kPi * turns), 1e-9) << turns;
    }
    for (double x = -30.0; x <= 30.0; x += 0.173) {
        EXPECT_NEAR(Exp2(x) / std::exp2(x), 1.0, 1e-12) << x;
    }
    EXPECT_NEAR(SemitoneRatio(12.0), 2.0, 1e-12);
    EXPECT_EQ(RoundToInt(2.5), 3);
    EXPECT_EQ(RoundToInt(-2.5), -3);
    EXPECT_EQ(RoundToInt(-0.4), 0);
}

TEST(DeterministicMaths, NoiseRepeatsFromTheSameSeedAndStaysInRange) {
    NoiseSource a{7};
    NoiseSource b{7};
    double sum = 0.0;
    for (int i = 0; i < 10000; ++i) {
        const double v = NextNoise(a);
        EXPECT_EQ(v, NextNoise(b));
        EXPECT_GE(v, -1.0);
        EXPECT_LT(v, 1.0);
        sum += v;
    }
    EXPECT_NEAR(sum / 10000.0, 0.0, 0.05);
}

TEST(ScoreNotation, ReadsNoteNames) {
    EXPECT_EQ(NoteNumber("C-0"), 1);
    EXPECT_EQ(NoteNumber("C-4"), 49);
    EXPECT_EQ(NoteNumber("A4"), 58);
    EXPECT_EQ(NoteNumber("G#5"), 69);
    EXPECT_EQ(NoteNumber("B-7"), 96);
    EXPECT_EQ(NoteNumber("H-4"), 0);
    EXPECT_EQ(NoteNumber("C-8"), 0);
    EXPECT_EQ(NoteNumber("C"), 0);
}

TEST(ScoreNotation, ReadsMelodyLines) {
    const std::vector<NoteEvent> line = ParseLine("A4:2 -:4 /C5:3~ | E5:1", 16);
    ASSERT_EQ(line.size(), 3u);
    EXPECT_EQ(line[0].row, 16);
    EXPECT_EQ(line[0].note, 58);
    EXPECT_EQ(line[0].length, 2);
    EXPECT_EQ(line[1].row, 22);
    EXPECT_TRUE(line[1].slide);
    EXPECT_TRUE(line[1].vibrato);
    EXPECT_EQ(line[1].length, 3);
    EXPECT_EQ(line[2].row, 25);
    EXPECT_FALSE(line[2].slide);
}

TEST(ScoreNotation, WritesKeyOffsGlidesAndVibrato) {
    XmPattern p = EmptyPattern(1, 16);
    WriteLine(p, 1, 0, ParseLine("A4:2 /C5:6~ -:2 E5:2"), LineStyle{3, 0, 0x04, 0x51, true});
    EXPECT_EQ(CellAt(p, 1, 0, 0).instrument, 3);
    // The glide bends the sounding note: no instrument, tone portamento for two rows.
    EXPECT_EQ(CellAt(p, 1, 2, 0).note, NoteNumber("C-5"));
    EXPECT_EQ(CellAt(p, 1, 2, 0).instrument, 0);
    EXPECT_EQ(CellAt(p, 1, 2, 0).effect, kTonePorta);
    EXPECT_EQ(CellAt(p, 1, 2, 0).effectParam, 0x04);
    EXPECT_EQ(CellAt(p, 1, 3, 0).effect, kTonePorta);
    EXPECT_EQ(CellAt(p, 1, 4, 0).effect, kVibrato);
    EXPECT_EQ(CellAt(p, 1, 4, 0).effectParam, 0x51);
    EXPECT_EQ(CellAt(p, 1, 7, 0).effect, kVibrato);
    EXPECT_EQ(CellAt(p, 1, 8, 0).note, kNoteKeyOff);
    EXPECT_EQ(CellAt(p, 1, 10, 0).note, NoteNumber("E-5"));
    // A note that ends at the pattern's end is left to ring into the next one.
    EXPECT_EQ(CellAt(p, 1, 12, 0).note, kNoteKeyOff);
}

TEST(ScoreNotation, HarmonyTakesTheChordToneAtLeastAMinorThirdBelow) {
    // Bar 1 over A minor, bar 2 over E major.
    const std::vector<NoteEvent> line = HarmonyBelow(
        ParseLine("A4:4 C5:4 E5:4 D5:4 G#5:4 B5:4 E6:4 F5:4"), {ChordNamed("Am"), ChordNamed("E")});
    const char* const expected[8] = {"E-4", "A-4", "C-5", "A-4", "E-5", "G#5", "B-5", "B-4"};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(line[i].note, NoteNumber(expected[i])) << i;
    }
}

TEST(ScoreNotation, ChordsGiveTonesAndArpeggios) {
    const Chord am = ChordNamed("Am");
    const Chord e = ChordNamed("E");
    EXPECT_EQ(ChordTone(am, 0, NoteNumber("C-4")), NoteNumber("A-4"));
    EXPECT_EQ(ChordTone(am, 1, NoteNumber("C-4")), NoteNumber("C-4"));
    EXPECT_EQ(ChordTone(e, 1, NoteNumber("A-4")), NoteNumber("G#5"));
    EXPECT_EQ(ArpeggioParam(am), 0x37);
    EXPECT_EQ(ArpeggioParam(e), 0x47);
    EXPECT_EQ(ChordNamed("G#m").root, 8);
}

TEST(ScoreNotation, RefusesToOverwriteACell) {
    XmPattern p = EmptyPattern(2, 4);
    const int before = CompositionClashes();
    EXPECT_TRUE(PutNote(p, 2, 1, 1, 49, 1));
    EXPECT_FALSE(PutNote(p, 2, 1, 1, 50, 2));
    EXPECT_TRUE(PutEffect(p, 2, 1, 1, kVibrato, 0x44));
    EXPECT_FALSE(PutEffect(p, 2, 1, 1, kArpeggio, 0x37));
    EXPECT_FALSE(PutNote(p, 2, 4, 0, 49, 1));  // beyond the last row: refused, not a clash
    EXPECT_EQ(CompositionClashes() - before, 2);
    EXPECT_EQ(CellAt(p, 2, 1, 1).note, 49);
    EXPECT_EQ(CellAt(p, 2, 1, 1).effectParam, 0x44);
}

TEST(Composer, ScoreAndInstrumentsFitTogether) {
    const int before = CompositionClashes();
    const XmModule module = ComposeSong();
    EXPECT_EQ(CompositionClashes(), before);  // no cell written twice
    ASSERT_EQ(module.patterns.size(), static_cast<std::size_t>(kSongPatterns));
    for (const XmPattern& pattern : module.patterns) {
        EXPECT_EQ(pattern.rowCount, 64);
        EXPECT_EQ(pattern.cells.size(), static_cast<std::size_t>(64 * kSongChannels));
    }
    EXPECT_EQ(module.orders.size(), static_cast<std::size_t>(kSongLength));
    const std::vector<XmInstrument> instruments = BuildInstruments();
    ASSERT_EQ(instruments.size(), static_cast<std::size_t>(kInstrumentCount));
    EXPECT_TRUE(instruments[kSilent - 1].samples.empty());
    for (const XmInstrument& instrument : instruments) {
        for (const XmSample& sample : instrument.samples) {
            // Loops end at the sample's end; 8-bit values fit a byte.
            if (sample.loopKind != kLoopNone) {
                EXPECT_EQ(sample.loopStart + sample.loopLength, sample.values.size())
                    << instrument.name;
            }
            for (const std::int16_t v : sample.values) {
                if (!sample.sixteenBit) {
                    ASSERT_TRUE(v >= -128 && v <= 127) << instrument.name;
                }
            }
        }
    }
}

}  // namespace
