// Wave output on SDL drivers chosen by the tests themselves: a driver that does not exist, a
// device that cannot be opened, and SDL's disk driver, which records every byte it plays.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "wait_until.h"
#include "wave_test_support.h"
#include "win32.h"

using namespace test_support;

namespace {

// The driver is read when SDL's audio starts, which happens again after the last close.
void UseDriver(const char* driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
}

std::vector<std::int16_t> ReadSamples(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                               static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
    }
    return samples;
}

}  // namespace

TEST(WaveOutputDrivers, MissingDriverGivesAnErrorAndLeavesSdlStopped) {
    UseDriver("no-such-driver");
    const WAVEFORMATEX format = StereoFormat();
    HWAVEOUT device = reinterpret_cast<HWAVEOUT>(&device);
    EXPECT_NE(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    UseDriver("dummy");
    ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

TEST(WaveOutputDrivers, DeviceThatCannotOpenGivesAnErrorAndReleasesSdl) {
    // SDL's audio starts, then the device fails: the case of a machine without sound.
    UseDriver("disk");
    setenv("SDL_DISKAUDIOFILE", "/nonexistent-folder/recording.raw", 1);
    const WAVEFORMATEX format = StereoFormat();
    HWAVEOUT device = reinterpret_cast<HWAVEOUT>(&device);
    EXPECT_NE(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST(WaveOutputDrivers, LoopingBufferIsPlayedWholeAndInOrderAcrossTheWrap) {
    const std::string path =
        ::testing::TempDir() + "wave_output_recording_" + std::to_string(getpid()) + ".raw";
    UseDriver("disk");
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    const WAVEFORMATEX format = StereoFormat();
    HWAVEOUT device = nullptr;
    ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);

    // 1000 frames, not a divisor of SDL's 1024-frame requests, each frame marked by its
    // index: left = index + 1, right = -(index + 1).
    constexpr int kFrames = 1000;
    std::vector<std::int16_t> ring(std::size_t{2} * kFrames);
    for (int frame = 0; frame < kFrames; ++frame) {
        const auto at = 2 * static_cast<std::size_t>(frame);
        ring[at] = static_cast<std::int16_t>(frame + 1);
        ring[at + 1] = static_cast<std::int16_t>(-(frame + 1));
    }
    WAVEHDR header = LoopingHeader(reinterpret_cast<char*>(ring.data()), kFrames * kFrameBytes);
    ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitUntil([&] { return BytePosition(device) > 5 * kFrames * kFrameBytes; }));
    ASSERT_EQ(waveOutPause(device), MMSYSERR_NOERROR);
    const DWORD playedFrames = BytePosition(device) / kFrameBytes;
    ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);

    // Silence until the write, then exactly the played frames, then silence again.
    const std::vector<std::int16_t> recorded = ReadSamples(path);
    std::remove(path.c_str());
    std::size_t first = 0;
    while (first < recorded.size() && recorded[first] == 0) ++first;
    ASSERT_EQ(first % 2, 0u) << "playback must begin on a whole frame";
    const std::size_t playedSamples = std::size_t{2} * playedFrames;
    ASSERT_GE(recorded.size(), first + playedSamples);
    for (DWORD frame = 0; frame < playedFrames; ++frame) {
        const std::size_t at = first + std::size_t{2} * frame;
        const std::size_t from = std::size_t{2} * (frame % kFrames);
        ASSERT_EQ(recorded[at], ring[from]) << "frame " << frame;
        ASSERT_EQ(recorded[at + 1], ring[from + 1]) << "frame " << frame;
    }
    for (std::size_t at = first + playedSamples; at < recorded.size(); ++at) {
        ASSERT_EQ(recorded[at], 0) << "nothing plays after the position stopped";
    }
}
