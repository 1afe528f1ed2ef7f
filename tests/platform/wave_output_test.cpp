// Wave output of the winmm layer on SDL's dummy driver, which consumes audio in real time
// without a sound card: looping, position, pause, reset, header bookkeeping, and a polling
// thread parked by SuspendThread.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "wait_until.h"
#include "wave_test_support.h"
#include "win32.h"

using namespace test_support;

namespace {

constexpr DWORD kLoopBytes = kBytesPerSecond / 4;  // a quarter of a second
// SDL asks for 1024 frames at a time at 44100 Hz.
constexpr DWORD kCallbackBytes = 1024 * kFrameBytes;
constexpr UINT kUnknownTimeFormat = 0x0040;

class WaveOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    void SetUp() override {
        const WAVEFORMATEX format = StereoFormat();
        ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL),
                  MMSYSERR_NOERROR);
        ASSERT_NE(device, nullptr);
        buffer.assign(kLoopBytes, 1);
        header = LoopingHeader(buffer.data(), kLoopBytes);
    }

    void TearDown() override {
        if (device == nullptr) return;
        EXPECT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
        EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    }

    void StartLoop() {
        ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
    }

    bool WaitForPositionBeyond(DWORD bytes) {
        return WaitUntil([&] { return BytePosition(device) > bytes; });
    }

    HWAVEOUT device = nullptr;
    std::vector<char> buffer;
    WAVEHDR header{};
};

// A thread polling the position like the player's output thread. Without a pause between
// polls the only place it can stop is waveOutGetPosition.
struct Poller {
    HWAVEOUT device = nullptr;
    DWORD pauseMilliseconds = 0;
    std::atomic<int> polls{0};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
};

DWORD WINAPI PollPosition(LPVOID parameter) {
    auto* poller = static_cast<Poller*>(parameter);
    while (!poller->stopRequested.load()) {
        MMTIME time{};
        time.wType = TIME_BYTES;
        waveOutGetPosition(poller->device, &time, sizeof time);
        poller->polls.fetch_add(1);
        if (poller->pauseMilliseconds != 0) Sleep(poller->pauseMilliseconds);
    }
    poller->finished.store(true);
    ExitThread(0);
}

}  // namespace

TEST_F(WaveOutput, LoopingHeaderPlaysPastItsEndAtAboutTheRealRate) {
    const auto start = std::chrono::steady_clock::now();
    StartLoop();
    ASSERT_TRUE(WaitForPositionBeyond(3 * kLoopBytes));
    const DWORD played = BytePosition(device);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The device may run behind on a loaded machine, never far ahead of the clock.
    EXPECT_LE(played, seconds * kBytesPerSecond * 1.1 + 2 * kCallbackBytes);
    EXPECT_EQ(header.dwFlags & (WHDR_INQUEUE | WHDR_DONE), static_cast<DWORD>(WHDR_INQUEUE));
}

TEST_F(WaveOutput, BlocksBehindThePositionCanBeRewrittenWhileTheLoopPlays) {
    // The player's refill: every block the position has left behind is mixed again while the
    // device goes on reading ahead of it. Under ThreadSanitizer this checks that a position
    // query orders those writes against the device's reads.
    constexpr DWORD kBlocks = 10;
    constexpr DWORD kBlockBytes = kLoopBytes / kBlocks;
    StartLoop();
    DWORD writeBlock = 0;
    int refills = 0;
    const DWORD until = 3 * kLoopBytes;
    for (DWORD position = 0; position < until; position = BytePosition(device)) {
        const DWORD playing = position % kLoopBytes / kBlockBytes;
        while (writeBlock != playing) {
            std::fill_n(buffer.data() + std::size_t{writeBlock} * kBlockBytes, kBlockBytes,
                        static_cast<char>(refills));
            writeBlock = (writeBlock + 1) % kBlocks;
            ++refills;
        }
        Pause(5);
    }
    EXPECT_GE(refills, 2 * static_cast<int>(kBlocks));
}

TEST_F(WaveOutput, PauseHoldsThePositionAndRestartContinuesFromIt) {
    // A header written to a paused device waits for the restart.
    ASSERT_EQ(waveOutPause(device), MMSYSERR_NOERROR);
    StartLoop();
    Pause(150);
    EXPECT_EQ(BytePosition(device), 0u);
    ASSERT_EQ(waveOutRestart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitForPositionBeyond(0));

    ASSERT_EQ(waveOutPause(device), MMSYSERR_NOERROR);
    const DWORD paused = BytePosition(device);
    Pause(150);
    EXPECT_EQ(BytePosition(device), paused);
    ASSERT_EQ(waveOutRestart(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(WaitForPositionBeyond(paused));
}
TEST_F(WaveOutput, QueuedHeaderCannotBeUnpreparedRewrittenOrClosedUntilReset) {
    StartLoop();
    ASSERT_TRUE(WaitForPositionBeyond(0));
    EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutWrite(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);

    ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(header.dwFlags & (WHDR_DONE | WHDR_INQUEUE | WHDR_PREPARED),
              static_cast<DWORD>(WHDR_DONE | WHDR_PREPARED));
    EXPECT_EQ(BytePosition(device), 0u);
    Pause(100);
    EXPECT_EQ(BytePosition(device), 0u) << "nothing is queued after a reset";

    ASSERT_EQ(waveOutUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(header.dwFlags & WHDR_PREPARED, 0u);
    EXPECT_EQ(waveOutWrite(device, &header, sizeof header), WAVERR_UNPREPARED);

    // Prepared again, the header plays again from position 0.
    StartLoop();
    EXPECT_TRUE(WaitForPositionBeyond(0));
    EXPECT_EQ(header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_INQUEUE));
}

TEST_F(WaveOutput, PlainHeadersPlayOnceInOrderInWholeFramesAndComeBackDone) {
    std::vector<char> first(kBytesPerSecond / 10, 2);
    std::vector<char> second(kBytesPerSecond / 10 + 2, 3);  // ends in half a frame
    WAVEHDR firstHeader{};
    firstHeader.lpData = first.data();
    firstHeader.dwBufferLength = static_cast<DWORD>(first.size());
    WAVEHDR secondHeader = firstHeader;
    secondHeader.lpData = second.data();
    secondHeader.dwBufferLength = static_cast<DWORD>(second.size());
    // A loop of two passes on the same device, queued behind them.
    header.dwLoops = 2;

    for (WAVEHDR* queued : {&firstHeader, &secondHeader, &header}) {
        ASSERT_EQ(waveOutPrepareHeader(device, queued, sizeof *queued), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(device, queued, sizeof *queued), MMSYSERR_NOERROR);
    }
    const DWORD total =
        static_cast<DWORD>(first.size() + second.size() - 2 + std::size_t{2} * kLoopBytes);
    ASSERT_TRUE(WaitUntil([&] { return BytePosition(device) >= total; }));
    Pause(100);
    EXPECT_EQ(BytePosition(device), total);
    for (WAVEHDR* played : {&firstHeader, &secondHeader, &header}) {
        EXPECT_EQ(played->dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_DONE));
    }
    EXPECT_EQ(waveOutUnprepareHeader(device, &firstHeader, sizeof firstHeader), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(device, &secondHeader, sizeof secondHeader), MMSYSERR_NOERROR);
}

TEST_F(WaveOutput, PositionIsReportedInSamplesOnRequestAndOtherwiseInBytes) {
    StartLoop();
    ASSERT_TRUE(WaitForPositionBeyond(kBytesPerSecond / 10));
    ASSERT_EQ(waveOutPause(device), MMSYSERR_NOERROR);
    const DWORD bytes = BytePosition(device);
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    ASSERT_EQ(waveOutGetPosition(device, &time, sizeof time), MMSYSERR_NOERROR);
    EXPECT_EQ(time.u.sample, bytes / kFrameBytes);
    time.wType = kUnknownTimeFormat;
    ASSERT_EQ(waveOutGetPosition(device, &time, sizeof time), MMSYSERR_NOERROR);
    EXPECT_EQ(time.wType, static_cast<UINT>(TIME_BYTES));
    EXPECT_EQ(time.u.cb, bytes);
    EXPECT_EQ(waveOutGetPosition(device, &time, sizeof time - 1), MMSYSERR_INVALPARAM);
}
TEST_F(WaveOutput, MalformedHeadersAndHandlesAreRefused) {
    EXPECT_EQ(waveOutWrite(device, &header, sizeof header), WAVERR_UNPREPARED);
    EXPECT_EQ(waveOutPrepareHeader(device, &header, sizeof header - 1), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutPrepareHeader(device, nullptr, sizeof header), MMSYSERR_INVALPARAM);
    WAVEHDR withoutData = header;
    withoutData.lpData = nullptr;
    EXPECT_EQ(waveOutPrepareHeader(device, &withoutData, sizeof withoutData), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutWrite(nullptr, &header, sizeof header), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(header.dwFlags & WHDR_PREPARED, 0u);

    // An empty looping header is handed back at once instead of spinning.
    WAVEHDR empty = LoopingHeader(buffer.data(), 0);
    ASSERT_EQ(waveOutPrepareHeader(device, &empty, sizeof empty), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &empty, sizeof empty), MMSYSERR_NOERROR);
    StartLoop();
    EXPECT_TRUE(WaitForPositionBeyond(0));
    EXPECT_EQ(empty.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_DONE));
}

TEST(WaveOutputSubsystem, EveryOpenDeviceHoldsSdlAudioAndTheLastCloseReleasesIt) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    const WAVEFORMATEX format = StereoFormat();
    HWAVEOUT device = nullptr;
    HWAVEOUT busy = nullptr;
    ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_NE(waveOutOpen(&busy, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u)
        << "a failed open must not release the open device's hold";
    EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    // And SDL starts afresh for the next device.
    ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST(WaveOutputOpen, RefusesWhatItCannotPlayOrDeliver) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const WAVEFORMATEX good = StereoFormat();
    WAVEFORMATEX bad[5] = {good, good, good, good, StereoFormat(0)};
    bad[0].wBitsPerSample = 24;  // with consistent sizes
    bad[0].nBlockAlign = 6;
    bad[0].nAvgBytesPerSec = good.nSamplesPerSec * 6;
    bad[1].nChannels = 3;
    bad[2].nBlockAlign = 2;
    bad[3].wFormatTag = 3;
    HWAVEOUT device = nullptr;
    for (const WAVEFORMATEX& format : bad) {
        device = reinterpret_cast<HWAVEOUT>(&device);
        EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL),
                  WAVERR_BADFORMAT);
        EXPECT_EQ(device, nullptr);
    }
    constexpr DWORD kCallbackFunction = 0x00030000;
    EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &good, 0, 0, kCallbackFunction),
              MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutOpen(&device, 3, &good, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, nullptr, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);
}
TEST(WaveOutputThreads, SuspendedPollerParksInGetPositionWhileTheDeviceIsPaused) {
    // The player's pause: suspend the output thread, then pause the device; and back.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const WAVEFORMATEX format = StereoFormat();
    Poller poller;
    ASSERT_EQ(waveOutOpen(&poller.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL),
              MMSYSERR_NOERROR);
    std::vector<char> ring(kLoopBytes, 5);
    WAVEHDR header = LoopingHeader(ring.data(), kLoopBytes);
    ASSERT_EQ(waveOutPrepareHeader(poller.device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(poller.device, &header, sizeof header), MMSYSERR_NOERROR);
    HANDLE thread = CreateThread(nullptr, 0, PollPosition, &poller, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return poller.polls.load() > 10; }));

    EXPECT_EQ(SuspendThread(thread), 0u);
    const int pollsWhenSuspended = poller.polls.load();
    EXPECT_EQ(waveOutPause(poller.device), MMSYSERR_NOERROR);
    Pause(150);
    const int parkedAt = poller.polls.load();
    EXPECT_LE(parkedAt - pollsWhenSuspended, 1);
    Pause(150);
    EXPECT_EQ(poller.polls.load(), parkedAt);

    // The stop path: restart, resume, request the stop, wait for the thread, reset, close.
    EXPECT_EQ(waveOutRestart(poller.device), MMSYSERR_NOERROR);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(WaitUntil([&] { return poller.polls.load() > parkedAt + 10; }));
    poller.stopRequested.store(true);
    EXPECT_TRUE(WaitUntil([&] { return poller.finished.load(); }));
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(waveOutReset(poller.device), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(poller.device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(poller.device), MMSYSERR_NOERROR);
}

TEST(WaveOutputThreads, RepeatedStartPauseResumeStopCyclesLeaveNothingBehind) {
    // The whole player lifecycle on the platform layer, repeated: each cycle starts and stops
    // SDL's audio afresh and creates and ends a thread.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const WAVEFORMATEX format = StereoFormat();
    std::vector<char> ring(kLoopBytes, 6);
    for (int cycle = 0; cycle < 30; ++cycle) {
        Poller poller;
        poller.pauseMilliseconds = 5;  // a real-time thread must not spin
        ASSERT_EQ(waveOutOpen(&poller.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL),
                  MMSYSERR_NOERROR);
        WAVEHDR header = LoopingHeader(ring.data(), kLoopBytes);
        ASSERT_EQ(waveOutPrepareHeader(poller.device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(poller.device, &header, sizeof header), MMSYSERR_NOERROR);
        HANDLE thread = CreateThread(nullptr, 0, PollPosition, &poller, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
        SuspendThread(thread);
        waveOutPause(poller.device);
        waveOutRestart(poller.device);
        ResumeThread(thread);
        poller.stopRequested.store(true);
        ASSERT_TRUE(WaitUntil([&] { return poller.finished.load(); }));
        EXPECT_TRUE(CloseHandle(thread));
        ASSERT_EQ(waveOutReset(poller.device), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutUnprepareHeader(poller.device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutClose(poller.device), MMSYSERR_NOERROR);
    }
}
