// Loader tests: XM images built field by field, read back through LoadModule.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "loader.h"
#include "sequencer.h"
#include "song.h"
#include "song_invariants.h"
#include "xm_builder.h"

namespace {

using namespace xmtest;

struct SongDeleter {
    void operator()(Song* song) const { FreeModule(song); }
};
using SongHandle = std::unique_ptr<Song, SongDeleter>;

SongHandle Load(const XmModule& module) {
    const Bytes image = WithLengthPrefix(BuildXm(module));
    return SongHandle(LoadModule(image.data()));
}

const Cell& CellAt(const Song& song, int pattern, int row, int channel) {
    return song.patterns[pattern].cells[row * song.channelCount + channel];
}

XmModule OneSampleModule(const XmSample& sample) {
    XmModule module;
    module.patterns.push_back(XmPattern{});
    XmInstrument instrument;
    instrument.samples.push_back(sample);
    module.instruments.push_back(instrument);
    return module;
}

const Sample& FirstSample(const Song& song) {
    return *song.instruments[0].samples[0];
}

TEST(Loader, ReadsTheHeaderAndDecodesMaskedAndRawCells) {
    SongHandle song = Load(SmallSongModule());
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 2);
    EXPECT_EQ(song->channelCount, 4);
    EXPECT_EQ(song->flags, 1);
    EXPECT_EQ(song->defaultSpeed, 6);
    EXPECT_EQ(song->defaultBpm, 125);
    EXPECT_EQ(song->initialGlobalVolume, 64);
    EXPECT_EQ(song->usedPatternCount, 1);
    EXPECT_EQ(song->patternSlotCount, 1);
    EXPECT_EQ(song->patterns[0].rowCount, 4);
    const Cell& raw = CellAt(*song, 0, 0, 0);
    EXPECT_EQ(raw.note, 49);
    EXPECT_EQ(raw.instrument, 1);
    EXPECT_EQ(raw.volumeCommand, 0x40);
    const Cell& masked = CellAt(*song, 0, 2, 0);
    EXPECT_EQ(masked.note, 61);
    EXPECT_EQ(masked.instrument, 1);
    EXPECT_EQ(masked.volumeCommand, 0);
    EXPECT_EQ(CellAt(*song, 0, 3, 0).note, kNoteKeyOff);
    EXPECT_EQ(CellAt(*song, 0, 1, 3).note, 0);
    EXPECT_TRUE(SongKeepsItsBounds(*song));
}

TEST(Loader, RejectsWhatCannotBePlayed) {
    XmModule wrongId = SmallSongModule();
    wrongId.id = "Extended Module:_";
    EXPECT_FALSE(Load(wrongId));

    const Bytes empty = {0, 0, 0, 0};
    EXPECT_EQ(LoadModule(empty.data()), nullptr);
    EXPECT_EQ(LoadModule(nullptr), nullptr);

    XmModule tooManyChannels = SmallSongModule();
    tooManyChannels.channels = 33;
    EXPECT_FALSE(Load(tooManyChannels));
    tooManyChannels.channels = 32;
    EXPECT_TRUE(Load(tooManyChannels));

    XmModule tooManySamples = SmallSongModule();
    tooManySamples.instruments[0].samples.resize(17);
    EXPECT_FALSE(Load(tooManySamples));
    tooManySamples.instruments[0].samples.resize(16);
    EXPECT_TRUE(Load(tooManySamples));
}

TEST(Loader, OrderTableAddsMissingPatternsAsEmpty64Rows) {
    XmModule module;
    module.channels = 2;
    for (int i = 0; i < 15; ++i) module.patterns.push_back(XmPattern{});
    module.songLength = 2;
    module.order[0] = 3;
    module.order[1] = 20;
    module.order[2] = 40;  // after the song's end: does not count
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->usedPatternCount, 21);
    EXPECT_EQ(song->patternSlotCount, 21);
    for (int i = 15; i <= 20; ++i) {
        EXPECT_EQ(song->patterns[i].rowCount, 64);
        for (int c = 0; c < 64 * 2; ++c) EXPECT_EQ(song->patterns[i].cells[c].note, 0);
    }
    // The entry after the end named a pattern that does not exist; it now names pattern 0.
    EXPECT_EQ(song->orderTable[2], 0);
    EXPECT_TRUE(SongKeepsItsBounds(*song));
}

TEST(Loader, PatternWithoutPackedDataTakesOnlyItsHeader) {
    XmModule module;
    module.channels = 2;
    XmPattern empty;
    empty.rows = 3;
    module.patterns.push_back(empty);
    XmPattern second;
    second.rows = 1;
    PutRawCell(second.packed, 5, 2, 3, 4, 5);
    Put8(second.packed, 0x80);
    module.patterns.push_back(second);
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->patterns[0].rowCount, 3);
    for (int c = 0; c < 6; ++c) EXPECT_EQ(song->patterns[0].cells[c].note, 0);
    const Cell& cell = CellAt(*song, 1, 0, 0);
    EXPECT_EQ(cell.note, 5);
    EXPECT_EQ(cell.instrument, 2);
    EXPECT_EQ(cell.volumeCommand, 3);
    EXPECT_EQ(cell.effect, 4);
    EXPECT_EQ(cell.effectParam, 5);
    const Cell& maskOnly = CellAt(*song, 1, 0, 1);
    EXPECT_EQ(std::memcmp(&maskOnly, "\0\0\0\0\0", 5), 0);
}

TEST(Loader, NoteAndInstrumentValuesAreHeldToPlayableOnes) {
    XmModule module;
    module.channels = 4;
    XmPattern pattern;
    pattern.rows = 1;
    Put8(pattern.packed, 0x83);
    Put8(pattern.packed, 97);
    Put8(pattern.packed, 129);
    Put8(pattern.packed, 0x83);
    Put8(pattern.packed, 96);
    Put8(pattern.packed, 128);
    Put8(pattern.packed, 0x81);
    Put8(pattern.packed, 100);  // no such note
    Put8(pattern.packed, 0x81);
    Put8(pattern.packed, 255);  // stored key-off
    module.patterns.push_back(pattern);
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(CellAt(*song, 0, 0, 0).note, kNoteKeyOff);
    EXPECT_EQ(CellAt(*song, 0, 0, 0).instrument, 0);
    EXPECT_EQ(CellAt(*song, 0, 0, 1).note, 96);
    EXPECT_EQ(CellAt(*song, 0, 0, 1).instrument, 128);
    EXPECT_EQ(CellAt(*song, 0, 0, 2).note, 0);
    EXPECT_EQ(CellAt(*song, 0, 0, 3).note, kNoteKeyOff);
}

TEST(Loader, PatternRowsAreHeldWithinTheFormat) {
    XmModule module;
    module.channels = 1;
    XmPattern noRows;
    noRows.rows = 0;
    module.patterns.push_back(noRows);
    XmPattern tall;
    tall.rows = 300;
    for (int r = 0; r < 300; ++r)
        PutRawCell(tall.packed, static_cast<std::uint8_t>(1 + r % 96), 0, 0, 0, 0);
    module.patterns.push_back(tall);
    XmPattern after;
    after.rows = 1;
    PutRawCell(after.packed, 7, 0, 0, 0, 0);
    module.patterns.push_back(after);
    module.songLength = 3;
    module.order[1] = 1;
    module.order[2] = 2;
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->patterns[0].rowCount, 64);
    EXPECT_EQ(song->patterns[1].rowCount, 256);
    EXPECT_EQ(CellAt(*song, 1, 255, 0).note, 1 + 255 % 96);
    // The rows beyond 256 were read past: the next pattern starts where they end.
    EXPECT_EQ(song->patterns[2].rowCount, 1);
    EXPECT_EQ(CellAt(*song, 2, 0, 0).note, 7);
}

TEST(Loader, HeaderFieldsAreHeldWithinTheSong) {
    XmModule module = SmallSongModule();
    module.restartPosition = 2;  // songLength is 2
    module.speed = 0;
    module.bpm = 0;
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->restartPosition, 0);
    EXPECT_EQ(song->defaultSpeed, 6);
    EXPECT_EQ(song->defaultBpm, 125);

    module.restartPosition = 1;
    module.songLength = 0;
    song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 1);
    EXPECT_EQ(song->restartPosition, 0);
    EXPECT_EQ(song->usedPatternCount, 1);

    module.songLength = 300;
    song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 256);
    EXPECT_EQ(song->restartPosition, 1);
    EXPECT_TRUE(SongKeepsItsBounds(*song));
}

TEST(Loader, SampleLoopsAreConvertedToFrames) {
    XmSample unlooped;
    unlooped.length = 50;
    unlooped.loopStart = 10;
    unlooped.loopLength = 20;
    unlooped.type = 0;
    unlooped.data = Bytes(50, 1);
    SongHandle song = Load(OneSampleModule(unlooped));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).loopKind, kLoopNone);
    EXPECT_EQ(FirstSample(*song).loopStart, 0u);
    EXPECT_EQ(FirstSample(*song).loopLength, 50u);

    XmSample emptyLoop = unlooped;
    emptyLoop.type = 1;
    emptyLoop.loopLength = 0;
    song = Load(OneSampleModule(emptyLoop));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).loopKind, kLoopNone);
    EXPECT_EQ(FirstSample(*song).loopLength, 50u);

    XmSample wide;
    wide.length = 1000;
    wide.loopStart = 200;
    wide.loopLength = 600;
    wide.type = 0x11;
    wide.data = Bytes(1000, 0);
    song = Load(OneSampleModule(wide));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).length, 500u);
    EXPECT_EQ(FirstSample(*song).loopStart, 100u);
    EXPECT_EQ(FirstSample(*song).loopLength, 300u);
    EXPECT_EQ(FirstSample(*song).bits, 16);
    EXPECT_EQ(FirstSample(*song).loopKind, kLoopForward);

    XmSample both = wide;
    both.type = 0x13;  // both loop bits: ping-pong
    song = Load(OneSampleModule(both));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).loopKind, kLoopPingPong);
}

TEST(Loader, SampleDataIsDeltaDecodedAndWidened) {
    XmSample narrow;
    narrow.length = 3;
    narrow.data = {5, 3, 254};
    SongHandle song = Load(OneSampleModule(narrow));
    ASSERT_TRUE(song);
    const Sample& sample = FirstSample(*song);
    EXPECT_EQ(sample.bits, 16);
    EXPECT_EQ(sample.data[0], 1280);
    EXPECT_EQ(sample.data[1], 2048);
    EXPECT_EQ(sample.data[2], 1536);
    EXPECT_EQ(sample.data[3], 0);  // no loop: the slack stays silent

    XmSample wide;
    wide.type = 0x10;
    wide.data = DeltaCode16({-32768, 32767, 0, -1});
    wide.length = static_cast<std::uint32_t>(wide.data.size());
    song = Load(OneSampleModule(wide));
    ASSERT_TRUE(song);
    const Sample& decoded = FirstSample(*song);
    ASSERT_EQ(decoded.length, 4u);
    EXPECT_EQ(decoded.data[0], -32768);
    EXPECT_EQ(decoded.data[1], 32767);
    EXPECT_EQ(decoded.data[2], 0);
    EXPECT_EQ(decoded.data[3], -1);
}

TEST(Loader, OddSixteenBitLengthLendsItsLastByteToTheNextSample) {
    XmModule module;
    module.patterns.push_back(XmPattern{});
    XmInstrument instrument;
    XmSample first;
    first.type = 0x10;
    first.length = 5;  // two frames and one stray byte
    first.data = {1, 0, 1, 0, 7};
    XmSample second;
    second.length = 2;
    second.data = {9};  // with the stray byte: 7, 9
    instrument.samples = {first, second};
    module.instruments.push_back(instrument);
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    const Sample& a = *song->instruments[0].samples[0];
    const Sample& b = *song->instruments[0].samples[1];
    EXPECT_EQ(a.length, 2u);
    EXPECT_EQ(a.data[1], 2);
    ASSERT_EQ(b.length, 2u);
    EXPECT_EQ(b.data[0], 7 * 256);
    EXPECT_EQ(b.data[1], 16 * 256);
}

TEST(Loader, WrapAroundFrameFollowsTheLoop) {
    std::vector<std::int8_t> values;
    values.reserve(400);
    for (int i = 0; i < 400; ++i) values.push_back(static_cast<std::int8_t>(i * 37));
    XmSample forward;
    forward.data = DeltaCode8(values);
    forward.length = 400;
    forward.loopStart = 100;
    forward.loopLength = 300;
    forward.type = 1;
    SongHandle song = Load(OneSampleModule(forward));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).data[400], FirstSample(*song).data[100]);

    XmSample pingPong = forward;
    pingPong.type = 2;
    song = Load(OneSampleModule(pingPong));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).data[400], FirstSample(*song).data[399]);
    EXPECT_NE(FirstSample(*song).data[400], FirstSample(*song).data[100]);
}

TEST(Loader, LoopsAreHeldInsideTheSample) {
    XmSample overlong;
    overlong.length = 100;
    overlong.data = Bytes(100, 1);
    overlong.loopStart = 60;
    overlong.loopLength = 0xFFFFFFF0u;  // also overflows 32 bits when added
    overlong.type = 1;
    SongHandle song = Load(OneSampleModule(overlong));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).loopKind, kLoopForward);
    EXPECT_EQ(FirstSample(*song).loopStart, 60u);
    EXPECT_EQ(FirstSample(*song).loopLength, 40u);
    EXPECT_EQ(FirstSample(*song).data[100], FirstSample(*song).data[60]);

    XmSample lateStart = overlong;
    lateStart.loopStart = 100;
    lateStart.loopLength = 5;
    lateStart.type = 2;
    song = Load(OneSampleModule(lateStart));
    ASSERT_TRUE(song);
    EXPECT_EQ(FirstSample(*song).loopKind, kLoopNone);
    EXPECT_EQ(FirstSample(*song).loopStart, 0u);
    EXPECT_EQ(FirstSample(*song).loopLength, 100u);
}

TEST(Loader, SampleLengthIsBoundByTheBytesInTheImage) {
    XmSample liar;
    liar.length = 0x7FFFFFF0u;
    liar.loopStart = 0x10000000u;
    liar.loopLength = 0x20000000u;
    liar.type = 1;
    liar.data = {10, 10, 10};
    SongHandle song = Load(OneSampleModule(liar));
    ASSERT_TRUE(song);
    const Sample& sample = FirstSample(*song);
    EXPECT_EQ(sample.length, 3u);
    EXPECT_EQ(sample.data[2], 30 * 256);
    // The loop began beyond what exists: no loop is left.
    EXPECT_EQ(sample.loopKind, kLoopNone);
    EXPECT_TRUE(SongKeepsItsBounds(*song));
}

TEST(Loader, InstrumentHeaderAndEnvelopes) {
    XmModule module;
    module.patterns.push_back(XmPattern{});
    XmInstrument silent;  // no samples, a header of 29 bytes
    module.instruments.push_back(silent);
    XmInstrument shaped;
    shaped.volume.count = 1;
    shaped.volume.type = 7;
    shaped.panning.count = 15;
    shaped.panning.sustain = 13;
    shaped.panning.loopStart = 2;
    shaped.panning.loopEnd = 200;
    shaped.panning.type = 5;
    shaped.panning.points[11][0] = 300;
    shaped.panning.points[11][1] = 32;
    shaped.fadeout = 122;
    shaped.vibratoDepth = 9;
    shaped.sampleMap[95] = 20;  // beyond the slots: left for the sequencer to treat as empty
    XmSample sample;
    sample.length = 2;
    sample.data = {1, 1};
    shaped.samples.push_back(sample);
    module.instruments.push_back(shaped);
    XmInstrument paddedSilent;  // no samples, yet a long header that must be skipped
    paddedSilent.headerSize = 263;
    module.instruments.push_back(paddedSilent);
    module.instruments.push_back(shaped);
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    ASSERT_EQ(song->instrumentCount, 4);
    for (int i : {0, 2}) {
        EXPECT_EQ(song->instruments[i].sampleCount, 0);
        for (const Sample* slot : song->instruments[i].samples) EXPECT_EQ(slot, &EmptySample);
    }
    for (int i : {1, 3}) {
        const Instrument& instrument = song->instruments[i];
        EXPECT_EQ(instrument.sampleCount, 1);
        EXPECT_EQ(instrument.samples[1], &EmptySample);
        EXPECT_EQ(instrument.volumeType, 0);
        EXPECT_EQ(instrument.panningPointCount, 12);
        EXPECT_EQ(instrument.panningSustainPoint, 11);
        EXPECT_EQ(instrument.panningLoopStart, 2);
        EXPECT_EQ(instrument.panningLoopEnd, 11);
        EXPECT_EQ(instrument.panningType, 5);
        EXPECT_EQ(instrument.panningEnvelope[11].x, 300);
        EXPECT_EQ(instrument.panningEnvelope[11].y, 32);
        EXPECT_EQ(instrument.fadeout, 244);
        EXPECT_EQ(instrument.autoVibratoDepth, 9);
        EXPECT_EQ(instrument.sampleMap[95], 20);
        EXPECT_EQ(instrument.samples[0]->data[1], 512);
    }
}

TEST(Loader, SeeksStayWithinTheImage) {
    const std::uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ImageReader reader{bytes, 8, 0};
    SeekImage(&reader, -5, SeekOrigin::kStart);
    EXPECT_EQ(reader.position, 0);
    SeekImage(&reader, 100, SeekOrigin::kCurrent);
    EXPECT_EQ(reader.position, 8);
    SeekImage(&reader, -3, SeekOrigin::kEnd);
    EXPECT_EQ(reader.position, 5);
    std::uint8_t out[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(ReadImage(&reader, out, 6), 3);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[2], 8);
    EXPECT_EQ(out[3], 9);  // beyond the image the destination keeps its contents
    EXPECT_EQ(reader.position, 8);
    SeekImage(&reader, -100, SeekOrigin::kCurrent);
    EXPECT_EQ(reader.position, 0);
    SeekImage(nullptr, 1, SeekOrigin::kStart);
    EXPECT_EQ(ReadImage(nullptr, out, 1), 0);

    // A header size that points far beyond the image leaves no patterns to read.
    XmModule module = SmallSongModule();
    module.headerSize = 0xFFFFFFF0u;
    SongHandle song = Load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->patterns[0].rowCount, 64);
    EXPECT_TRUE(SongKeepsItsBounds(*song));
}

// Every prefix of an image, with the length prefix telling the truth about it, loads
// without fault: refused, or a song that keeps its bounds.
TEST(Loader, EveryTruncationLoadsSafely) {
    XmModule pingPong = SmallSongModule();
    pingPong.instruments[0].samples[0].type = 0x12;
    pingPong.instruments[0].samples.push_back(pingPong.instruments[0].samples[0]);
    XmModule sparse;
    sparse.songLength = 3;
    sparse.order[1] = 4;
    sparse.order[2] = 1;
    sparse.patterns.resize(2);
    sparse.instruments.resize(2);
    for (const XmModule& module : {SmallSongModule(), pingPong, sparse}) {
        const Bytes full = BuildXm(module);
        for (std::size_t size = 0; size <= full.size(); ++size) {
            const Bytes image = WithLengthPrefix(
                Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size)));
            Song* song = LoadModule(image.data());
            if (size < 17) {
                EXPECT_EQ(song, nullptr);
            }
            if (song != nullptr) {
                EXPECT_TRUE(SongKeepsItsBounds(*song)) << "prefix of " << size << " bytes";
                EXPECT_TRUE(FreeModule(song));
            }
        }
    }
    EXPECT_FALSE(FreeModule(nullptr));
}

}  // namespace
