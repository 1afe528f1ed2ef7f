// Threads of the kernel32 layer: start, cooperative suspension with Windows' counts, the end of
// a thread by return or ExitThread, and handle lifetime.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "wait_until.h"
#include "win32.h"

using test_support::Pause;
using test_support::WaitUntil;

namespace {

constexpr DWORD kCountFailed = 0xFFFFFFFF;

// A worker shaped like the player's output thread: work, sleep, look at the stop flag.
struct Worker {
    std::atomic<int> passes{0};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
};

DWORD WINAPI CountingLoop(LPVOID parameter) {
    auto* worker = static_cast<Worker*>(parameter);
    while (!worker->stopRequested.load()) {
        worker->passes.fetch_add(1);
        Sleep(1);
    }
    worker->finished.store(true);
    return 0;
}

struct Exiting {
    std::atomic<bool> beforeExit{false};
    std::atomic<bool> afterExit{false};
};

void LeaveFromDeepInside(Exiting* state) {
    state->beforeExit.store(true);
    ExitThread(7);
}

DWORD WINAPI ExitingRoutine(LPVOID parameter) {
    auto* state = static_cast<Exiting*>(parameter);
    LeaveFromDeepInside(state);
    state->afterExit.store(true);
    return 0;
}

DWORD WINAPI Noop(LPVOID parameter) {
    static_cast<std::atomic<int>*>(parameter)->fetch_add(1);
    return 0;
}

// The worker makes no progress beyond the one pass it may finish before it parks.
void ExpectParked(const Worker& worker, int passesWhenSuspended) {
    Pause(150);
    const int later = worker.passes.load();
    EXPECT_LE(later - passesWhenSuspended, 1);
    Pause(150);
    EXPECT_EQ(worker.passes.load(), later);
}

}  // namespace

TEST(PlatformThreads, RunsTheRoutineWithItsParameterAndGivesDistinctIds) {
    std::atomic<int> runs{0};
    DWORD firstId = 0;
    DWORD secondId = 0;
    HANDLE first = CreateThread(nullptr, 0, Noop, &runs, 0, &firstId);
    HANDLE second = CreateThread(nullptr, SIZE_T{16} * 1024 * 1024, Noop, &runs, 0, &secondId);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(firstId, 0u);
    EXPECT_NE(firstId, secondId);
    EXPECT_TRUE(WaitUntil([&] { return runs.load() == 2; }));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(PlatformThreads, CreatedSuspendedStartsOnlyWhenResumed) {
    std::atomic<int> runs{0};
    HANDLE thread = CreateThread(nullptr, 0, Noop, &runs, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    Pause(100);
    EXPECT_EQ(runs.load(), 0);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(WaitUntil([&] { return runs.load() == 1; }));
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(PlatformThreads, SuspendedThreadParksAtItsNextSleepUntilFullyResumed) {
    Worker worker;
    HANDLE thread = CreateThread(nullptr, 0, CountingLoop, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return worker.passes.load() > 3; }));

    // Counts behave as on Windows: each call returns the count before it.
    EXPECT_EQ(SuspendThread(thread), 0u);
    const int passesWhenSuspended = worker.passes.load();
    EXPECT_EQ(SuspendThread(thread), 1u);
    ExpectParked(worker, passesWhenSuspended);

    EXPECT_EQ(ResumeThread(thread), 2u);
    const int stillParked = worker.passes.load();
    Pause(100);
    EXPECT_EQ(worker.passes.load(), stillParked) << "one resume of two must not release it";

    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(WaitUntil([&] { return worker.passes.load() > stillParked + 3; }));
    EXPECT_EQ(ResumeThread(thread), 0u) << "resuming a running thread changes nothing";

    worker.stopRequested.store(true);
    EXPECT_TRUE(WaitUntil([&] { return worker.finished.load(); }));
    CloseHandle(thread);
}

TEST(PlatformThreads, SuspendCountStopsAtWindowsLimitAndNullIsRefused) {
    Worker worker;
    HANDLE thread = CreateThread(nullptr, 0, CountingLoop, &worker, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    for (DWORD expected = 1; expected < 127; ++expected) ASSERT_EQ(SuspendThread(thread), expected);
    EXPECT_EQ(SuspendThread(thread), kCountFailed);
    EXPECT_EQ(SuspendThread(nullptr), kCountFailed);
    EXPECT_EQ(ResumeThread(nullptr), kCountFailed);
    for (DWORD expected = 127; expected > 0; --expected) ASSERT_EQ(ResumeThread(thread), expected);
    EXPECT_TRUE(WaitUntil([&] { return worker.passes.load() > 0; }));
    worker.stopRequested.store(true);
    EXPECT_TRUE(WaitUntil([&] { return worker.finished.load(); }));
    CloseHandle(thread);
}

TEST(PlatformThreads, ExitThreadEndsTheThreadWhereItIsCalled) {
    Exiting state;
    HANDLE thread = CreateThread(nullptr, 0, ExitingRoutine, &state, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return state.beforeExit.load(); }));
    Pause(100);
    EXPECT_FALSE(state.afterExit.load());
    // Its handle stays usable after the thread is gone.
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(SuspendThread(thread), 0u);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(PlatformThreads, ClosingTheHandleOfARunningThreadLetsItCarryOn) {
    Worker worker;
    HANDLE thread = CreateThread(nullptr, 0, CountingLoop, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(nullptr));
    const int passesAtClose = worker.passes.load();
    EXPECT_TRUE(WaitUntil([&] { return worker.passes.load() > passesAtClose + 3; }));
    worker.stopRequested.store(true);
    EXPECT_TRUE(WaitUntil([&] { return worker.finished.load(); }));
}

// A closed handle is refused by every call, whether its thread has ended (its record is gone)
// or still runs (its record lives on for the thread alone and must not be freed under it).
TEST(PlatformThreads, AClosedHandleIsRefusedAndItsThreadUntouched) {
    std::atomic<int> runs{0};
    HANDLE ended = CreateThread(nullptr, 0, Noop, &runs, 0, nullptr);
    ASSERT_NE(ended, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return runs.load() == 1; }));
    Pause(50);  // past the thread's last act
    EXPECT_TRUE(CloseHandle(ended));
    EXPECT_FALSE(CloseHandle(ended));
    EXPECT_EQ(SuspendThread(ended), kCountFailed);
    EXPECT_EQ(ResumeThread(ended), kCountFailed);
    EXPECT_FALSE(SetThreadPriority(ended, THREAD_PRIORITY_NORMAL));

    Worker worker;
    HANDLE running = CreateThread(nullptr, 0, CountingLoop, &worker, 0, nullptr);
    ASSERT_NE(running, nullptr);
    EXPECT_TRUE(CloseHandle(running));
    EXPECT_FALSE(CloseHandle(running));
    const int passesAtClose = worker.passes.load();
    EXPECT_TRUE(WaitUntil([&] { return worker.passes.load() > passesAtClose + 3; }));
    worker.stopRequested.store(true);
    EXPECT_TRUE(WaitUntil([&] { return worker.finished.load(); }));
    Pause(50);
    EXPECT_FALSE(CloseHandle(running));
}

TEST(PlatformThreads, ManyShortThreadsWithHandlesClosedAtOnceOrLate) {
    // The handle and the ending thread race to release the shared record.
    std::atomic<int> runs{0};
    std::vector<HANDLE> kept;
    for (int i = 0; i < 200; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, Noop, &runs, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        if (i % 2 == 0) {
            CloseHandle(thread);
        } else {
            kept.push_back(thread);
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return runs.load() == 200; }));
    for (HANDLE thread : kept) EXPECT_TRUE(CloseHandle(thread));
}

TEST(PlatformThreads, TimeCriticalPriorityNeverFailsTheCaller) {
    Worker worker;
    HANDLE thread = CreateThread(nullptr, 0, CountingLoop, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    // With or without the privilege for real-time scheduling the call succeeds.
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
    const int passesAtRaise = worker.passes.load();
    EXPECT_TRUE(WaitUntil([&] { return worker.passes.load() > passesAtRaise + 3; }));
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_NORMAL));
    EXPECT_FALSE(SetThreadPriority(nullptr, THREAD_PRIORITY_NORMAL));
    worker.stopRequested.store(true);
    EXPECT_TRUE(WaitUntil([&] { return worker.finished.load(); }));
    CloseHandle(thread);
}
