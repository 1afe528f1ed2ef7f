// Live playback through SDL's dummy or disk driver: the start, the output thread following the
// device, pause and resume, the stop, and the starts that cannot play.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "control_support.h"
#include "output.h"
#include "player.h"
#include "wait_until.h"

using namespace control_test;
using test_support::WaitUntil;

namespace {

constexpr int kReferenceBlocks = 300;

const std::vector<std::int16_t>& Reference() {
    static const std::vector<std::int16_t> reference = RenderEmbeddedSong(kReferenceBlocks);
    return reference;
}

// Each test case may run in a process of its own or after the others: each begins with the
// reference rendered and the player idle, on the dummy driver.
class Playback : public testing::Test {
protected:
    void SetUp() override {
        if (!UseSilentDevice()) GTEST_SKIP() << "no wave output device";
        ASSERT_EQ(Reference().size(), static_cast<std::size_t>(kReferenceBlocks) * kBlockSamples);
        ExpectIdle();
    }
    void TearDown() override {
        PlayModule(nullptr);
        UseSilentDevice();
    }
};

// Blocks 0 .. upTo-1 were refilled once since the start: they hold the ring's second trip.
void ExpectSecondTrip(int upTo) {
    for (int block = 0; block < upTo; ++block) {
        ASSERT_TRUE(BlockMatches(Reference(), kRingBlocks + block, Player.waveBuffer, block))
            << "ring block " << block;
    }
}

TEST_F(Playback, StartPrefillsTheRingAndTheThreadRefillsBehindTheDevice) {
    Song* song = PlayModule(EmbeddedSong);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(Player.loadedSong, song);
    EXPECT_EQ(Player.activeSong, song);
    ASSERT_NE(Player.outputThread, nullptr);
    ASSERT_NE(Player.waveBuffer, nullptr);
    EXPECT_EQ(Player.header.lpData, reinterpret_cast<LPSTR>(Player.waveBuffer));
    EXPECT_EQ(Player.header.dwBufferLength, 88400u * 4u);
    EXPECT_NE(Player.header.dwFlags & WHDR_INQUEUE, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(Player.mixBuffer) % 16, 0u);

    // Blocks the thread has not reached yet still hold the prefill.
    for (int block = 90; block < kRingBlocks; ++block) {
        EXPECT_TRUE(BlockMatches(Reference(), block, Player.waveBuffer, block))
            << "block " << block;
    }
    // The device plays on and the thread keeps up with it, block by block.
    ASSERT_TRUE(WaitUntil([] { return DeviceBytes() >= 30u * kBlockFrames * 4; }));
    ASSERT_TRUE(WaitUntil([] { return Player.writeBlock >= 25; }));
    EXPECT_EQ(Player.threadFinished.load(), 0);
    EXPECT_EQ(TogglePause(), 1);
    const int refilled = Player.writeBlock;
    ExpectSecondTrip(refilled);
}

TEST_F(Playback, PauseStopsDeviceAndThreadAndResumeContinuesWithoutRemixing) {
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    ASSERT_TRUE(WaitUntil([] { return Player.writeBlock >= 10; }));

    EXPECT_EQ(TogglePause(), 1);
    EXPECT_EQ(Player.paused, -1);
    // Once both have settled neither the position nor the ring moves.
    test_support::Pause(100);
    const DWORD position = DeviceBytes();
    const int block = Player.writeBlock;
    test_support::Pause(200);
    EXPECT_EQ(DeviceBytes(), position);
    EXPECT_EQ(Player.writeBlock, block);
    EXPECT_EQ(Player.filling.load(), 0);

    EXPECT_EQ(TogglePause(), 0);
    EXPECT_EQ(Player.paused, 0);
    ASSERT_TRUE(
        WaitUntil([position] { return DeviceBytes() > position + 20u * kBlockFrames * 4; }));
    ASSERT_TRUE(WaitUntil([block] { return Player.writeBlock >= block + 15; }));
    EXPECT_EQ(TogglePause(), 1);
    // The song went on from where it stood: every refilled block is the next in the song.
    ExpectSecondTrip(Player.writeBlock);
}

TEST_F(Playback, StopWhilePausedEndsTheThreadAndReleasesEverything) {
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    ASSERT_TRUE(WaitUntil([] { return Player.writeBlock >= 3; }));
    EXPECT_EQ(TogglePause(), 1);
    PlayModule(nullptr);
    ExpectIdle();
    EXPECT_EQ(Player.stopRequested.load(), 1);
    // The device was closed: the dummy driver opens only one at a time.
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    HWAVEOUT device = nullptr;
    ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    // And the player starts again from the song's beginning.
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    EXPECT_TRUE(BlockMatches(Reference(), 99, Player.waveBuffer, 99));
}

TEST_F(Playback, StopRightAfterStartWaitsForTheNewThread) {
    for (int round = 0; round < 5; ++round) {
        ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
        PlayModule(nullptr);
        ExpectIdle();
    }
}

TEST_F(Playback, EmptyImageFailsAndLeavesTheDeviceOpen) {
    const unsigned char empty[8] = {0, 0, 0, 0, 'E', 'x', 't', 'e'};
    EXPECT_EQ(PlayModule(empty), nullptr);
    EXPECT_NE(Player.device, nullptr);
    EXPECT_EQ(Player.loadedSong, nullptr);
    EXPECT_EQ(Player.outputThread, nullptr);
    EXPECT_EQ(Player.waveBuffer, nullptr);
    // The stop form closes it; then a start works.
    PlayModule(nullptr);
    ExpectIdle();
    EXPECT_NE(PlayModule(EmbeddedSong), nullptr);
}

TEST_F(Playback, AStartAfterAFailedLoadPlaysOnTheDeviceLeftOpen) {
    const unsigned char empty[8] = {0, 0, 0, 0, 'E', 'x', 't', 'e'};
    EXPECT_EQ(PlayModule(empty), nullptr);
    HWAVEOUT device = Player.device;
    ASSERT_NE(device, nullptr);
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    EXPECT_EQ(Player.device, device);
    const DWORD position = DeviceBytes();
    EXPECT_TRUE(WaitUntil([position] { return DeviceBytes() > position; }));
    // One stop gives the device back: the dummy driver opens only one at a time.
    PlayModule(nullptr);
    ExpectIdle();
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    HWAVEOUT again = nullptr;
    ASSERT_EQ(waveOutOpen(&again, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(again), MMSYSERR_NOERROR);
}

TEST_F(Playback, SecondStartIsRefusedAndLeavesPlaybackAlone) {
    Song* song = PlayModule(EmbeddedSong);
    ASSERT_NE(song, nullptr);
    HWAVEOUT device = Player.device;
    HANDLE thread = Player.outputThread;
    EXPECT_EQ(PlayModule(EmbeddedSong), nullptr);
    EXPECT_EQ(Player.loadedSong, song);
    EXPECT_EQ(Player.device, device);
    EXPECT_EQ(Player.outputThread, thread);
    const DWORD position = DeviceBytes();
    EXPECT_TRUE(WaitUntil([position] { return DeviceBytes() > position; }));
}

// Without a sound device the start fails and prints nothing: the window then runs silently.
#ifdef _WIN32
TEST(PlaybackWithoutDevice, TheStartFailsQuietly) {
    if (waveOutGetNumDevs() > 0) GTEST_SKIP() << "this system has a wave output device";
#else
TEST_F(Playback, WithoutAnAudioDeviceTheStartFailsQuietly) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
#endif
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(PlayModule(EmbeddedSong), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ExpectIdle();
    // Nothing to stop either.
    PlayModule(nullptr);
    ExpectIdle();
}

#ifndef _WIN32
// SDL's disk driver writes every byte the device plays to a file: what is heard is the song
// without a gap or a repeat, across the ring's end and over the blocks the thread refilled.
TEST_F(Playback, TheDevicePlaysTheSongContinuouslyAcrossTheRing) {
    const std::string recording =
        testing::TempDir() + "control_recording_" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    // A little over one and a half trips round the ring.
    ASSERT_TRUE(WaitUntil([] { return DeviceBytes() >= 160u * kBlockFrames * 4; },
                          std::chrono::seconds(30)));
    PlayModule(nullptr);

    std::ifstream file(recording, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    std::remove(recording.c_str());
    const std::size_t wanted = std::size_t{150} * kBlockFrames * 4;
    const auto* song = reinterpret_cast<const char*>(Reference().data());
    // The device played silence until the ring was handed over: the song starts where the
    // first sound does, as far after the recording's start as its own first sound.
    const auto sound = [](const char* begin, const char* end) {
        return static_cast<std::size_t>(std::find_if(begin, end, [](char c) { return c != 0; }) -
                                        begin);
    };
    const std::size_t songSound = sound(song, song + wanted);
    const std::size_t recordedSound = sound(bytes.data(), bytes.data() + bytes.size());
    ASSERT_LT(songSound, wanted);
    ASSERT_GE(recordedSound, songSound);
    const std::size_t start = recordedSound - songSound;
    EXPECT_EQ(start % 4, 0u);
    ASSERT_LE(start + wanted, bytes.size()) << "recorded " << bytes.size() << " bytes";
    for (std::size_t block = 0; block < 150; ++block) {
        const std::size_t blockBytes = std::size_t{kBlockFrames} * 4;
        const std::size_t at = block * blockBytes;
        ASSERT_EQ(std::memcmp(bytes.data() + start + at, song + at, blockBytes), 0)
            << "played block " << block;
    }
}
#endif

// The device's byte count wraps at 2^32; the block the thread computes goes on regardless.
TEST(DevicePositionTest, FollowsTheDeviceAcrossTheWrapOfItsByteCount) {
    SetOutputParameters(44100);
    constexpr std::uint64_t kRingBytes = std::uint64_t{88400} * 4;
    const auto expectedBlock = [](std::uint64_t bytes) {
        return static_cast<std::int32_t>((bytes / 4) % 88400 / 884);
    };

    // Before the wrap: the plain block of the device's count, poll after poll.
    DevicePosition position;
    for (std::uint32_t bytes = 0; bytes < 3 * kRingBytes; bytes += 1000) {
        ASSERT_EQ(FollowDevicePosition(position, bytes), expectedBlock(bytes)) << bytes;
    }
    // A long pause between polls still counts every byte.
    EXPECT_EQ(FollowDevicePosition(position, 0xF0000000u), expectedBlock(0xF0000000u));

    // Across the wrap, polled every 5 ms (882 frames) for a few seconds.
    std::uint64_t played = 0xFFFFFFFFull - 2 * kRingBytes;
    position = DevicePosition{static_cast<std::uint32_t>(played), played};
    std::int32_t previous = FollowDevicePosition(position, static_cast<std::uint32_t>(played));
    for (int poll = 0; poll < 2000; ++poll) {
        played += std::uint64_t{882} * 4;
        const std::int32_t block =
            FollowDevicePosition(position, static_cast<std::uint32_t>(played));
        ASSERT_EQ(block, expectedBlock(played)) << "poll " << poll;
        // At most one block on per poll, or the ring's turn from 99 to 0.
        ASSERT_TRUE(block == previous || block == previous + 1 || (previous == 99 && block == 0))
            << "jumped from " << previous << " to " << block;
        previous = block;
    }
    EXPECT_GT(played, 0x100000000ull);
}

}  // namespace
