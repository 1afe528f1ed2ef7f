// xmrender as a program: identical bytes on every run, the first 100 blocks equal to the block
// filler's output from a fresh playback state, its trace mode, and its failures.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "golden_songs.h"
#include "offline_render.h"
#include "output.h"
#include "player_state.h"
#include "process_runner.h"
#include "sequencer.h"
#include "song.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class XmRender : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::make_unique<test_support::TempFolder>();
        directory = folder->Path();
        ASSERT_TRUE(fs::is_directory(directory));
        std::vector<GoldenSong> songs = GoldenSongs();
        image = songs[0].song->XmImage();
        module = directory / "song.xm";
        std::ofstream(module, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data() + 4),
                   static_cast<std::streamsize>(image.size() - 4));
    }
    void TearDown() override { folder.reset(); }

    // Runs xmrender with the arguments; returns its exit code and keeps what it printed.
    int Run(const std::vector<fs::path>& arguments) {
        std::vector<std::string> texts;
        texts.reserve(arguments.size());
        for (const fs::path& argument : arguments) texts.push_back(argument.string());
        const test_support::ProcessResult run = test_support::RunProcess(XMRENDER_PATH, texts);
        standardError = run.standardError;
        standardOutput = run.standardOutput;
        return run.started ? run.exitCode : -1;
    }

    // The files left in the directory besides the module.
    std::vector<std::string> OtherFiles() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory)) {
            if (entry.path() != module) names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::unique_ptr<test_support::TempFolder> folder;
    fs::path directory;
    fs::path module;
    std::vector<std::uint8_t> image;
    std::string standardError;
    std::string standardOutput;
};

std::uint32_t Little32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

TEST_F(XmRender, TwoRendersGiveIdenticalBytesOfTheRightLength) {
    fs::path a = directory / "a.wav";
    fs::path b = directory / "b.wav";
    ASSERT_EQ(Run({module, a, "3"}), 0) << standardError;
    ASSERT_EQ(Run({module, b, "3"}), 0) << standardError;
    std::string first = ReadFile(a);
    EXPECT_EQ(first, ReadFile(b));
    ASSERT_EQ(first.size(), 44u + 3u * 44100u * 4u);
    EXPECT_EQ(first.substr(0, 4), "RIFF");
    EXPECT_EQ(Little32(first, 4), first.size() - 8);
    EXPECT_EQ(first.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Little32(first, 24), 44100u);
    EXPECT_EQ(Little32(first, 28), 44100u * 4u);
    EXPECT_EQ(Little32(first, 32) & 0xFFFF, 4u);  // block alignment
    EXPECT_EQ(Little32(first, 32) >> 16, 16u);    // bits per sample
    EXPECT_EQ(first.substr(36, 4), "data");
    EXPECT_EQ(Little32(first, 40), 3u * 44100u * 4u);
}

TEST_F(XmRender, FirstHundredBlocksAreTheBlockFillersOutput) {
    fs::path out = directory / "out.wav";
    ASSERT_EQ(Run({module, out, "3"}), 0) << standardError;
    std::string wave = ReadFile(out);
    // The live start's state, set up here by hand: output parameters, the song's reset, both
    // rings, block 0.
    Song* song = LoadModule(image.data());
    ASSERT_NE(song, nullptr);
    SetOutputParameters(44100);
    ResetPlayback(song);
    Player.activeSong = song;
    std::vector<std::int16_t> ring(static_cast<std::size_t>(Player.ringFrames) * 2);
    std::vector<float> mix(static_cast<std::size_t>(Player.ringFrames) * 2 + 4);
    Player.waveBuffer = ring.data();
    Player.mixBuffer = mix.data();
    Player.writeBlock = 0;
    const auto blockValues = static_cast<std::size_t>(Player.blockFrames) * 2;
    const std::size_t blockBytes = blockValues * 2;
    bool audible = false;
    for (int block = 0; block < 100; ++block) {
        FillBlock();
        const std::int16_t* frames = ring.data() + static_cast<std::size_t>(block) * blockValues;
        std::string expected(blockBytes, '\0');
        for (std::size_t i = 0; i < blockValues; ++i) {
            auto value = static_cast<std::uint16_t>(frames[i]);
            expected[2 * i] = static_cast<char>(value & 0xFF);
            expected[2 * i + 1] = static_cast<char>(value >> 8);
            audible = audible || frames[i] != 0;
        }
        ASSERT_EQ(wave.substr(44 + static_cast<std::size_t>(block) * blockBytes, blockBytes),
                  expected)
            << "block " << block;
    }
    EXPECT_EQ(Player.writeBlock, 0);  // exactly one trip round the ring
    EXPECT_TRUE(audible);
    Player.waveBuffer = nullptr;
    Player.mixBuffer = nullptr;
    Player.activeSong = nullptr;
    FreeModule(song);
}

TEST_F(XmRender, TraceModeWritesThePerTickTrace) {
    fs::path out = directory / "trace.txt";
    ASSERT_EQ(Run({"--trace", out, module, "2"}), 0) << standardError;
    Song* song = LoadModule(image.data());
    std::string expected;
    TraceSong(song, std::int64_t{2} * kRenderRate, &expected);
    FreeModule(song);
    EXPECT_EQ(ReadFile(out), expected);
}

TEST_F(XmRender, FailuresNameTheCauseAndLeaveNoFile) {
    EXPECT_EQ(Run({directory / "missing.xm", directory / "x.wav"}), 1);
    EXPECT_NE(standardError.find("cannot read"), std::string::npos) << standardError;
    EXPECT_EQ(std::count(standardError.begin(), standardError.end(), '\n'), 1);

    fs::path junk = directory / "junk.xm";
    std::ofstream(junk) << "This is not an Extended Module at all.";
    EXPECT_EQ(Run({junk, directory / "x.wav"}), 1);
    EXPECT_NE(standardError.find("not a playable XM module"), std::string::npos) << standardError;

    EXPECT_EQ(Run({module, directory / "no" / "such" / "x.wav"}), 1);
    EXPECT_NE(standardError.find("cannot write"), std::string::npos) << standardError;

    EXPECT_EQ(Run({module, directory / "x.wav", "0"}), 1);
    EXPECT_EQ(Run({module}), 1);
    fs::remove(junk);
    EXPECT_TRUE(OtherFiles().empty());
}

// A device that takes no data: both forms fail with the device's own reason, not a stale or
// made-up one, and leave the device node alone.
TEST_F(XmRender, AFullDeviceIsReportedWithItsReason) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    const std::string reason = std::strerror(ENOSPC);
    EXPECT_EQ(Run({module, "/dev/full", "2"}), 1);
    EXPECT_NE(standardError.find("cannot write /dev/full: " + reason), std::string::npos)
        << standardError;
    EXPECT_EQ(Run({"--trace", "/dev/full", module, "2"}), 1);
    EXPECT_NE(standardError.find("cannot write /dev/full: " + reason), std::string::npos)
        << standardError;
    EXPECT_EQ(std::count(standardError.begin(), standardError.end(), '\n'), 1);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(XmRender, HelpPrintsUsage) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(standardOutput.find("usage: xmrender MODULE.xm OUT.wav [SECONDS]"),
              std::string::npos);
    EXPECT_NE(standardOutput.find("--trace OUT.txt MODULE.xm"), std::string::npos);
}

#ifndef _WIN32
// A pipe or device at the output path is written into, never replaced: renaming a finished
// file onto /dev/null as root would turn the device into a plain file.
TEST_F(XmRender, APipeAtTheOutputPathStaysAPipe) {
    fs::path pipe = directory / "out.fifo";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(pipe); });
    EXPECT_EQ(Run({module, pipe, "1"}), 0) << standardError;
    reader.join();
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(received.substr(0, 4), "RIFF");
    EXPECT_EQ(received.size(), 44u + 44100u * 4u);
    fs::remove(pipe);
    EXPECT_TRUE(OtherFiles().empty());
}
#endif

}  // namespace
