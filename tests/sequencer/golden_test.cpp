// Golden traces: purpose-made songs, written as XM images, loaded and traced tick by tick
// through the block loop; the traces must match golden/<name>.txt. Regenerate them with
// update_golden.sh after an intended change and review the diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "effects.h"
#include "golden_songs.h"
#include "offline_render.h"
#include "song.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    for (std::string field; stream >> field;) fields.push_back(field);
    return fields;
}

// Empty when the traces agree; otherwise where they first differ, by tick and field name.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::vector<std::string> want = Lines(expected);
    std::vector<std::string> got = Lines(actual);
    if (want.empty() || got.empty()) return "a trace is empty";
    std::vector<std::string> names = Fields(want[0]);
    if (!names.empty() && names[0] == "#") names.erase(names.begin());
    for (std::size_t i = 0; i < want.size() && i < got.size(); ++i) {
        if (want[i] == got[i]) continue;
        std::vector<std::string> a = Fields(want[i]);
        std::vector<std::string> b = Fields(got[i]);
        std::ostringstream where;
        where << "line " << i + 1;
        if (a.size() >= 4) {
            where << " (order " << a[0] << " row " << a[1] << " tick " << a[2] << " channel "
                  << a[3] << ")";
        }
        for (std::size_t f = 0; f < a.size() || f < b.size(); ++f) {
            std::string x = f < a.size() ? a[f] : "(none)";
            std::string y = f < b.size() ? b[f] : "(none)";
            if (x != y) {
                std::string name = f < names.size() ? names[f] : "column " + std::to_string(f + 1);
                where << ": " << name << " expected " << x << ", got " << y;
                return where.str();
            }
        }
        return where.str() + ": spacing differs";
    }
    if (want.size() != got.size()) {
        return "expected " + std::to_string(want.size()) + " lines, got " +
               std::to_string(got.size());
    }
    return "";
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(GoldenTraces, PurposeMadeSongsMatchTheirTraces) {
    bool update = std::getenv("SEQUENCER_UPDATE_GOLDEN") != nullptr;
    for (const GoldenSong& golden : GoldenSongs()) {
        SCOPED_TRACE(golden.name);
        std::vector<std::uint8_t> image = golden.song->XmImage();
        Song* song = LoadModule(image.data());
        ASSERT_NE(song, nullptr);
        std::string trace;
        TraceSong(song, static_cast<std::int64_t>(golden.seconds) * kRenderRate, &trace);
        FreeModule(song);
        std::string path = std::string(SEQUENCER_GOLDEN_DIR) + "/" + golden.name + ".txt";
        if (update) {
            std::ofstream(path, std::ios::binary) << trace;
            continue;
        }
        std::string expected = ReadFile(path);
        ASSERT_FALSE(expected.empty()) << "no golden trace at " << path << "; run update_golden.sh";
        EXPECT_EQ(FirstDifference(expected, trace), "");
    }
}

TEST(GoldenTraces, TracingTwiceGivesTheSameText) {
    std::vector<GoldenSong> songs = GoldenSongs();
    std::vector<std::uint8_t> image = songs[0].song->XmImage();
    std::string first;
    std::string second;
    Song* song = LoadModule(image.data());
    TraceSong(song, kRenderRate, &first);
    FreeModule(song);
    song = LoadModule(image.data());
    TraceSong(song, kRenderRate, &second);
    FreeModule(song);
    EXPECT_EQ(first, second);
}

// Each line shows the cell beside the state; a channel with a silent voice and an empty cell
// has no line, one with a command but no sound has.
TEST(GoldenTraces, LinesShowTheCellsCommandAndLeaveOutIdleChannels) {
    TestSong t(3, {4}, {0});
    std::uint8_t ins = static_cast<std::uint8_t>(t.AddInstrument());
    t.Put(0, 0, 0, NoteNumber("C-4"), ins, 0x20, kEffectVolumeSlide, 0x0F);
    t.Put(0, 1, 2, 0, 0, 0, kEffectEnvelopePosition, 0x05);
    std::vector<std::uint8_t> image = t.XmImage();
    Song* song = LoadModule(image.data());
    ASSERT_NE(song, nullptr);
    std::string trace;
    ASSERT_TRUE(TraceSong(song, kRenderRate / 4, &trace));
    FreeModule(song);
    std::vector<std::string> lines = Lines(trace);
    ASSERT_GT(lines.size(), 7u);
    std::vector<std::string> first = Fields(lines[1]);
    ASSERT_GE(first.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 8),
              (std::vector<std::string>{"0", "0", "0", "0", "C-4", "1", "20", "A0F"}));
    int rowOneOfChannelTwo = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> fields = Fields(lines[i]);
        EXPECT_NE(fields[3], "1") << lines[i];
        if (fields[3] == "2") {
            EXPECT_EQ(fields[1], "1") << lines[i];
            EXPECT_EQ(fields[7], "L05");
            ++rowOneOfChannelTwo;
        }
    }
    EXPECT_EQ(rowOneOfChannelTwo, 6);  // the row's six ticks
}

TEST(GoldenTraces, DifferencesNameTheTickAndTheField) {
    std::string header = "# order row tick ch volume\n";
    EXPECT_EQ(FirstDifference(header + "0 1 2 3 40\n", header + "0 1 2 3 40\n"), "");
    EXPECT_EQ(FirstDifference(header + "0 1 2 3 40\n", header + "0 1 2 3 41\n"),
              "line 2 (order 0 row 1 tick 2 channel 3): volume expected 40, got 41");
    EXPECT_EQ(FirstDifference(header + "0 1 2 3 40\n0 1 3 3 40\n", header + "0 1 2 3 40\n"),
              "expected 3 lines, got 2");
}

}  // namespace
