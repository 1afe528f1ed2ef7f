// Starts that cannot complete, a stop that comes before the new output thread has run, and a
// device whose byte count wraps.
// This program is linked with the linker's --wrap for the calls
// a start makes (see CMakeLists.txt), so each can be made to fail once while every other call
// goes through to the real platform layer (on Windows, the real system DLLs). The wrappers also
// count allocations and record the order of the device calls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "control_support.h"
#include "player.h"

using namespace control_test;

// The real calls and their stand-ins, under the names the linker gives them with --wrap.
// Linux: the layer's functions themselves. Windows: the import pointers through which every
// call into a system DLL goes; the stand-in is then a pointer too, set to our function.
// SIZE_T in a mangled name: unsigned long on 64-bit Linux, unsigned int on 32-bit.
#if SIZE_MAX == UINT_MAX
#define SEAM_SIZE_T "j"
#else
#define SEAM_SIZE_T "m"
#endif

#ifdef _WIN32
// The import pointer as the linker option names it; 32-bit symbols carry one more leading
// underscore than the option's name, and so do the real and stand-in names made from it.
#ifdef _WIN64
#define SEAM_IMPORT(name, argumentBytes) "__imp_" #name
#define SEAM_SYMBOL_PREFIX ""
#else
#define SEAM_IMPORT(name, argumentBytes) "_imp__" #name "@" #argumentBytes
#define SEAM_SYMBOL_PREFIX "_"
#endif
#define SEAM(function, real, linuxName, argumentBytes)                      \
    extern "C" decltype(&::function) real##Import asm(                      \
        SEAM_SYMBOL_PREFIX "__real_" SEAM_IMPORT(function, argumentBytes)); \
    template <typename... Arguments>                                        \
    auto real(Arguments... arguments) {                                     \
        return real##Import(arguments...);                                  \
    }
#else
// `real` is the name being declared, which takes no parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define SEAM(function, real, linuxName, argumentBytes) \
    decltype(::function) real asm("__real_" linuxName);
// NOLINTEND(bugprone-macro-parentheses)
#endif

SEAM(GlobalAlloc, RealGlobalAlloc, "_Z11GlobalAllocj" SEAM_SIZE_T, 8)
SEAM(GlobalFree, RealGlobalFree, "_Z10GlobalFreePv", 4)
SEAM(waveOutPrepareHeader, RealPrepareHeader, "_Z20waveOutPrepareHeaderP10HWAVEOUT__P7WAVEHDRj", 12)
SEAM(waveOutUnprepareHeader, RealUnprepareHeader,
     "_Z22waveOutUnprepareHeaderP10HWAVEOUT__P7WAVEHDRj", 12)
SEAM(waveOutWrite, RealWrite, "_Z12waveOutWriteP10HWAVEOUT__P7WAVEHDRj", 12)
SEAM(waveOutGetPosition, RealGetPosition, "_Z18waveOutGetPositionP10HWAVEOUT__P6MMTIMEj", 12)
SEAM(waveOutReset, RealReset, "_Z12waveOutResetP10HWAVEOUT__", 4)
SEAM(waveOutClose, RealClose, "_Z12waveOutCloseP10HWAVEOUT__", 4)
SEAM(CreateThread, RealCreateThread, "_Z12CreateThreadPv" SEAM_SIZE_T "PFjS_ES_jPj", 24)

// Makes `wrapped` the stand-in the linker routes the calls to: on Linux by the function's
// own symbol name, on Windows through an import pointer set to it.
#ifdef _WIN32
#define SEAM_NAME(linuxName)
#define SEAM_STAND_IN(function, wrapped, argumentBytes)                     \
    extern "C" decltype(&::function) wrapped##Import asm(                   \
        SEAM_SYMBOL_PREFIX "__wrap_" SEAM_IMPORT(function, argumentBytes)); \
    decltype(&::function) wrapped##Import = wrapped;
#else
#define SEAM_NAME(linuxName) asm("__wrap_" linuxName)
#define SEAM_STAND_IN(function, wrapped, argumentBytes)
#endif

namespace {

enum class FailurePoint { kNone, kWaveBuffer, kPrepareHeader, kMixBuffer, kWrite, kCreateThread };

constexpr SIZE_T kWaveBufferBytes = SIZE_T{88400} * 4;
constexpr SIZE_T kMixBufferBytes = SIZE_T{88400} * 8 + 256;

struct Seam {
    FailurePoint failAt = FailurePoint::kNone;
    bool lateThreads = false;  // threads begin their routine only after a while
    long outstanding = 0;      // allocations not given back
    std::vector<std::string> deviceCalls;
    std::vector<std::int16_t> ringAtWrite;  // the ring as the device was handed it
};
Seam Calls;

// Output threads that have begun and not yet ended.
std::atomic<int> LiveThreads{0};

LPTHREAD_START_ROUTINE LateRoutine = nullptr;

#ifdef _WIN32
// Windows' ExitThread does not unwind the thread's frames, so the count below never falls
// there: the late threads are watched through handles of their own instead.
std::vector<HANDLE> LateThreads;

// Late threads still running a moment after the stop returned.
int ThreadsStillRunning() {
    int running = 0;
    for (HANDLE thread : LateThreads) {
        if (WaitForSingleObject(thread, 50) != WAIT_OBJECT_0) ++running;
        CloseHandle(thread);
    }
    LateThreads.clear();
    return running;
}
#else
int ThreadsStillRunning() {
    return LiveThreads.load();
}
#endif

// Stands for a thread the system schedules late. On Linux the counter also falls when the
// routine ends through ExitThread, which unwinds this frame.
DWORD WINAPI LateStart(LPVOID parameter) {
    struct Alive {
        Alive() { ++LiveThreads; }
        ~Alive() { --LiveThreads; }
    } alive;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return LateRoutine(parameter);
}

bool FailsNow(FailurePoint point) {
    if (Calls.failAt != point) return false;
    Calls.failAt = FailurePoint::kNone;
    return true;
}

}  // namespace

HGLOBAL WINAPI WrappedGlobalAlloc(UINT flags, SIZE_T bytes)
    SEAM_NAME("_Z11GlobalAllocj" SEAM_SIZE_T);
HGLOBAL WINAPI WrappedGlobalAlloc(UINT flags, SIZE_T bytes) {
    if (bytes == kWaveBufferBytes && FailsNow(FailurePoint::kWaveBuffer)) return nullptr;
    if (bytes == kMixBufferBytes && FailsNow(FailurePoint::kMixBuffer)) return nullptr;
    HGLOBAL memory = RealGlobalAlloc(flags, bytes);
    if (memory != nullptr) ++Calls.outstanding;
    return memory;
}
SEAM_STAND_IN(GlobalAlloc, WrappedGlobalAlloc, 8)

HGLOBAL WINAPI WrappedGlobalFree(HGLOBAL memory) SEAM_NAME("_Z10GlobalFreePv");
HGLOBAL WINAPI WrappedGlobalFree(HGLOBAL memory) {
    if (memory != nullptr) --Calls.outstanding;
    return RealGlobalFree(memory);
}
SEAM_STAND_IN(GlobalFree, WrappedGlobalFree, 4)

MMRESULT WINAPI WrappedPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size)
    SEAM_NAME("_Z20waveOutPrepareHeaderP10HWAVEOUT__P7WAVEHDRj");
MMRESULT WINAPI WrappedPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size) {
    Calls.deviceCalls.push_back("prepare");
    if (FailsNow(FailurePoint::kPrepareHeader)) return MMSYSERR_NOMEM;
    return RealPrepareHeader(device, header, size);
}
SEAM_STAND_IN(waveOutPrepareHeader, WrappedPrepareHeader, 12)

MMRESULT WINAPI WrappedUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size)
    SEAM_NAME("_Z22waveOutUnprepareHeaderP10HWAVEOUT__P7WAVEHDRj");
MMRESULT WINAPI WrappedUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size) {
    const MMRESULT result = RealUnprepareHeader(device, header, size);
    Calls.deviceCalls.push_back(result == MMSYSERR_NOERROR ? "unprepare" : "unprepare failed");
    return result;
}
SEAM_STAND_IN(waveOutUnprepareHeader, WrappedUnprepareHeader, 12)

MMRESULT WINAPI WrappedWrite(HWAVEOUT device, LPWAVEHDR header, UINT size)
    SEAM_NAME("_Z12waveOutWriteP10HWAVEOUT__P7WAVEHDRj");
MMRESULT WINAPI WrappedWrite(HWAVEOUT device, LPWAVEHDR header, UINT size) {
    Calls.deviceCalls.push_back("write");
    const auto* samples = reinterpret_cast<const std::int16_t*>(header->lpData);
    Calls.ringAtWrite.assign(samples, samples + header->dwBufferLength / 2);
    if (FailsNow(FailurePoint::kWrite)) return MMSYSERR_NOMEM;
    return RealWrite(device, header, size);
}
SEAM_STAND_IN(waveOutWrite, WrappedWrite, 12)

// Seen from the output thread: the device's count can be shifted so that it wraps soon, and
// each poll notes how far the thread's next block is from the block truly playing.
namespace {
std::atomic<bool> ShiftPosition{false};
std::atomic<std::uint32_t> PositionShift{0};
std::atomic<int> Wraps{0};
std::atomic<int> WorstLag{0};
std::atomic<std::uint32_t> TrueBytes{0};
}  // namespace

MMRESULT WINAPI WrappedGetPosition(HWAVEOUT device, LPMMTIME time, UINT size)
    SEAM_NAME("_Z18waveOutGetPositionP10HWAVEOUT__P6MMTIMEj");
MMRESULT WINAPI WrappedGetPosition(HWAVEOUT device, LPMMTIME time, UINT size) {
    const MMRESULT result = RealGetPosition(device, time, size);
    if (!ShiftPosition.load() || result != MMSYSERR_NOERROR) return result;
    const std::uint32_t bytes = time->u.cb;
    const std::uint32_t shown = bytes + PositionShift.load();
    if (shown < TrueBytes.load() + PositionShift.load()) ++Wraps;
    TrueBytes.store(bytes);
    time->u.cb = shown;
    const int playing = static_cast<int>(bytes / 4 % 88400 / kBlockFrames);
    const int lag = (playing - Player.writeBlock + kRingBlocks) % kRingBlocks;
    if (lag > WorstLag.load()) WorstLag.store(lag);
    return result;
}
SEAM_STAND_IN(waveOutGetPosition, WrappedGetPosition, 12)

MMRESULT WINAPI WrappedReset(HWAVEOUT device) SEAM_NAME("_Z12waveOutResetP10HWAVEOUT__");
MMRESULT WINAPI WrappedReset(HWAVEOUT device) {
    Calls.deviceCalls.push_back("reset");
    return RealReset(device);
}
SEAM_STAND_IN(waveOutReset, WrappedReset, 4)

MMRESULT WINAPI WrappedClose(HWAVEOUT device) SEAM_NAME("_Z12waveOutCloseP10HWAVEOUT__");
MMRESULT WINAPI WrappedClose(HWAVEOUT device) {
    const MMRESULT result = RealClose(device);
    Calls.deviceCalls.push_back(result == MMSYSERR_NOERROR ? "close" : "close failed");
    return result;
}
SEAM_STAND_IN(waveOutClose, WrappedClose, 4)

HANDLE WINAPI WrappedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                  LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                  LPDWORD id)
    SEAM_NAME("_Z12CreateThreadPv" SEAM_SIZE_T "PFjS_ES_jPj");
HANDLE WINAPI WrappedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                  LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                  LPDWORD id) {
    Calls.deviceCalls.push_back("thread");
    if (FailsNow(FailurePoint::kCreateThread)) return nullptr;
    if (Calls.lateThreads) {
        LateRoutine = routine;
        HANDLE thread = RealCreateThread(security, stack, LateStart, parameter, flags, id);
#ifdef _WIN32
        HANDLE watch = nullptr;
        if (thread != nullptr && DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(),
                                                 &watch, SYNCHRONIZE, FALSE, 0)) {
            LateThreads.push_back(watch);
        }
#endif
        return thread;
    }
    return RealCreateThread(security, stack, routine, parameter, flags, id);
}
SEAM_STAND_IN(CreateThread, WrappedCreateThread, 24)

namespace {

class StartFailure : public testing::Test {
protected:
    void SetUp() override {
        if (!UseSilentDevice()) GTEST_SKIP() << "no wave output device";
        ExpectIdle();
        Calls = Seam{};
    }
    void TearDown() override { PlayModule(nullptr); }

    // Starts with one call failing and returns the device calls the start made.
    std::vector<std::string> FailedStart(FailurePoint point) {
        Calls = Seam{};
        Calls.failAt = point;
        EXPECT_EQ(PlayModule(EmbeddedSong), nullptr);
        EXPECT_EQ(Calls.failAt, FailurePoint::kNone) << "the failure was never reached";
        ExpectIdle();
        EXPECT_EQ(Calls.outstanding, 0) << "allocations not given back";
        return Calls.deviceCalls;
    }

    // After a failed start the next one plays, and its stop gives everything back.
    void ExpectStartWorks() {
        Calls = Seam{};
        ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
        EXPECT_NE(Player.outputThread, nullptr);
        PlayModule(nullptr);
        ExpectIdle();
        EXPECT_EQ(Calls.outstanding, 0);
    }
};

using Sequence = std::vector<std::string>;

TEST_F(StartFailure, WaveBufferAllocation) {
    EXPECT_EQ(FailedStart(FailurePoint::kWaveBuffer), (Sequence{"close"}));
    ExpectStartWorks();
}

TEST_F(StartFailure, HeaderPreparation) {
    // The header never got prepared; reset and unprepare are harmless on it.
    EXPECT_EQ(FailedStart(FailurePoint::kPrepareHeader),
              (Sequence{"prepare", "reset", "unprepare", "close"}));
    ExpectStartWorks();
}

TEST_F(StartFailure, MixBufferAllocation) {
    EXPECT_EQ(FailedStart(FailurePoint::kMixBuffer),
              (Sequence{"prepare", "reset", "unprepare", "close"}));
    ExpectStartWorks();
}

TEST_F(StartFailure, WriteToTheDevice) {
    EXPECT_EQ(FailedStart(FailurePoint::kWrite),
              (Sequence{"prepare", "write", "reset", "unprepare", "close"}));
    ExpectStartWorks();
}

TEST_F(StartFailure, ThreadCreation) {
    // The device was already playing the ring: it is reset before the header is unprepared
    // and the device closed, and the ring is freed only after that.
    EXPECT_EQ(FailedStart(FailurePoint::kCreateThread),
              (Sequence{"prepare", "write", "thread", "reset", "unprepare", "close"}));
    ExpectStartWorks();
}

// A stop must not take the previous thread's end for the end of a thread that has not run yet:
// that thread would start afterwards, and run beside the next start's thread.
TEST_F(StartFailure, StopBeforeTheThreadRanWaitsForItsEnd) {
    for (int round = 0; round < 3; ++round) {
        Calls.lateThreads = true;
        ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
        PlayModule(nullptr);
        EXPECT_EQ(ThreadsStillRunning(), 0) << "round " << round;
    }
    Calls.lateThreads = false;
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    PlayModule(nullptr);
    EXPECT_EQ(ThreadsStillRunning(), 0);
}

// 2^32 bytes is no whole number of rings: where the device's count wraps, the block computed
// from the count alone would jump about 40 blocks back. The arithmetic itself is checked
// without a clock in DevicePositionTest; this run asserts a lag in wall time (two blocks,
// 40 ms), which a loaded machine cannot promise, so it carries the stress label.
using RealTime = StartFailure;
TEST_F(RealTime, TheThreadFollowsTheDeviceAcrossTheWrapOfItsCount) {
    constexpr std::uint64_t kRingBytes = std::uint64_t{88400} * 4;
    // A whole number of rings, so that the shift alone moves no block; it wraps 0.8 s in.
    const auto shift =
        static_cast<std::uint32_t>((std::uint64_t{1} << 32) / kRingBytes * kRingBytes);
    PositionShift.store(shift);
    WorstLag.store(0);
    Wraps.store(0);
    TrueBytes.store(0);
    ShiftPosition.store(true);
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (TrueBytes.load() < 2 * 44100 * 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    PlayModule(nullptr);
    ShiftPosition.store(false);
    EXPECT_EQ(Wraps.load(), 1);
    // The thread is at most a few blocks behind the device, never a jump away. Under Wine
    // the ALSA null device plays faster than real time, so the thread falls a little further
    // behind between its polls there.
#ifdef _WIN32
    constexpr int kTolerableLag = 10;
#else
    constexpr int kTolerableLag = 2;
#endif
    EXPECT_LE(WorstLag.load(), kTolerableLag);
}

TEST_F(StartFailure, NoFailureHandsTheDeviceTheOfflineRenderingOfTheFirstHundredBlocks) {
    const std::vector<std::int16_t> reference = RenderEmbeddedSong(kRingBlocks);
    Calls = Seam{};
    ASSERT_NE(PlayModule(EmbeddedSong), nullptr);
    EXPECT_EQ(Calls.deviceCalls, (Sequence{"prepare", "write", "thread"}));
    ASSERT_EQ(Calls.ringAtWrite.size(), reference.size());
    for (int block = 0; block < kRingBlocks; ++block) {
        ASSERT_TRUE(BlockMatches(reference, block, Calls.ringAtWrite.data(), block))
            << "block " << block;
    }
    Calls.deviceCalls.clear();
    PlayModule(nullptr);
    EXPECT_EQ(Calls.deviceCalls, (Sequence{"reset", "unprepare", "close"}));
    EXPECT_EQ(Calls.outstanding, 0);
}

// Offline playback allocates the same two rings: a trace that cannot get them reports it and
// traces nothing, rather than passing an empty trace off as a complete one.
TEST_F(StartFailure, ATraceWithoutItsRingsFailsAndGivesBackWhatItGot) {
    Song* song = LoadModule(EmbeddedSong);
    ASSERT_NE(song, nullptr);
    for (FailurePoint point : {FailurePoint::kWaveBuffer, FailurePoint::kMixBuffer}) {
        const long before = Calls.outstanding;
        Calls.failAt = point;
        std::string trace;
        EXPECT_FALSE(TraceSong(song, 44100, &trace));
        EXPECT_EQ(Calls.failAt, FailurePoint::kNone) << "the failure was never reached";
        EXPECT_EQ(trace, "");
        EXPECT_EQ(Calls.outstanding, before);
    }
    std::string trace;
    EXPECT_TRUE(TraceSong(song, 44100, &trace));
    EXPECT_NE(trace, "");
    FreeModule(song);
}

}  // namespace
