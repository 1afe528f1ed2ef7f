// The fuzzer's module editor: a module taken apart and written again must load into the same
// song, or the structure-aware mutations would quietly test something else; and one edited
// field must arrive in the loaded song where the loader reads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "song.h"
#include "xm_layout.h"

namespace {

std::vector<std::uint8_t> ReadSeed(const std::string& name) {
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen((std::string(FUZZ_SEED_DIR) + "/" + name).c_str(), "rb");
    if (file == nullptr) return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(file);
    return bytes;
}

Song* Load(const std::vector<std::uint8_t>& module) {
    std::vector<std::uint8_t> image(4 + module.size());
    const auto length = static_cast<std::uint32_t>(module.size());
    std::memcpy(image.data(), &length, 4);  // little-endian hosts only, as the tests run
    std::memcpy(image.data() + 4, module.data(), module.size());
    return LoadModule(image.data());
}

void ExpectSameSong(const Song& a, const Song& b) {
    ASSERT_EQ(a.patternSlotCount, b.patternSlotCount);
    ASSERT_EQ(a.channelCount, b.channelCount);
    ASSERT_EQ(a.instrumentCount, b.instrumentCount);
    EXPECT_EQ(0, std::memcmp(a.orderTable, b.orderTable, sizeof a.orderTable));
    for (int p = 0; p < a.patternSlotCount; ++p) {
        ASSERT_EQ(a.patterns[p].rowCount, b.patterns[p].rowCount);
        const std::size_t cells = static_cast<std::size_t>(a.patterns[p].rowCount) *
                                  static_cast<std::size_t>(a.channelCount);
        EXPECT_EQ(0, std::memcmp(a.patterns[p].cells, b.patterns[p].cells, cells * sizeof(Cell)))
            << "pattern " << p;
    }
    for (int i = 0; i < a.instrumentCount; ++i) {
        const Instrument& x = a.instruments[i];
        const Instrument& y = b.instruments[i];
        EXPECT_EQ(0, std::memcmp(x.volumeEnvelope, y.volumeEnvelope, sizeof x.volumeEnvelope));
        EXPECT_EQ(0, std::memcmp(x.panningEnvelope, y.panningEnvelope, sizeof x.panningEnvelope));
        ASSERT_EQ(x.sampleCount, y.sampleCount);
        for (int s = 0; s < x.sampleCount; ++s) {
            EXPECT_EQ(x.samples[s]->length, y.samples[s]->length);
            EXPECT_EQ(x.samples[s]->loopStart, y.samples[s]->loopStart);
            EXPECT_EQ(x.samples[s]->loopLength, y.samples[s]->loopLength);
        }
    }
}

TEST(XmLayout, SeedsTakenApartAndWrittenAgainLoadAsBefore) {
    for (const char* name : {"golden_envelopes.xm", "golden_flow.xm", "golden_pitch_and_volume.xm",
                             "embedded_song_short_samples.xm", "small_song.xm",
                             "ping_pong_16bit.xm", "missing_pattern_empty_instrument.xm"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> seed = ReadSeed(name);
        ASSERT_FALSE(seed.empty());
        xmfuzz::XmLayout layout;
        ASSERT_TRUE(xmfuzz::ParseXm(seed.data(), seed.size(), &layout));
        const std::vector<std::uint8_t> rewritten = xmfuzz::WriteXm(layout);
        Song* original = Load(seed);
        Song* copy = Load(rewritten);
        ASSERT_NE(nullptr, original);
        ASSERT_NE(nullptr, copy);
        ExpectSameSong(*original, *copy);
        FreeModule(original);
        FreeModule(copy);
    }
}

TEST(XmLayout, EditedCellsAndEnvelopePointsReachTheLoadedSong) {
    const std::vector<std::uint8_t> seed = ReadSeed("golden_envelopes.xm");
    xmfuzz::XmLayout layout;
    ASSERT_TRUE(xmfuzz::ParseXm(seed.data(), seed.size(), &layout));
    xmfuzz::XmCell& cell =
        layout.patterns[0]
            .cells[3 * static_cast<std::size_t>(layout.channels) + 1];  // row 3, channel 1
    cell = {97, 2, 0x6F, 0x15, 0xFF};
    xmfuzz::Set16(layout.instruments[0].header, xmfuzz::kInstrumentVolumePoints + 4, 65000);
    Song* song = Load(xmfuzz::WriteXm(layout));
    ASSERT_NE(nullptr, song);
    const Cell& loaded = song->patterns[0].cells[3 * song->channelCount + 1];
    EXPECT_EQ(kNoteKeyOff, loaded.note);
    EXPECT_EQ(2, loaded.instrument);
    EXPECT_EQ(0x6F, loaded.volumeCommand);
    EXPECT_EQ(0x15, loaded.effect);
    EXPECT_EQ(0xFF, loaded.effectParam);
    EXPECT_EQ(65000, song->instruments[0].volumeEnvelope[1].x);
    FreeModule(song);
}

TEST(XmLayout, TruncatedOrForeignImagesAreRefused) {
    const std::vector<std::uint8_t> seed = ReadSeed("small_song.xm");
    xmfuzz::XmLayout layout;
    for (std::size_t cut : {std::size_t{0}, std::size_t{30}, std::size_t{300}, seed.size() - 1}) {
        EXPECT_FALSE(xmfuzz::ParseXm(seed.data(), cut, &layout)) << cut;
    }
    std::vector<std::uint8_t> foreign = seed;
    foreign[0] = 'X';
    EXPECT_FALSE(xmfuzz::ParseXm(foreign.data(), foreign.size(), &layout));
}

}  // namespace
