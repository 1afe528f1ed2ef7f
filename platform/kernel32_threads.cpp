// Threads of kernel32 over POSIX threads: CreateThread, SetThreadPriority, SuspendThread,
// ResumeThread, Sleep, ExitThread and CloseHandle.
//
// A thread handle is a heap record shared by two owners, the handle and the running thread;
// whichever lets go last frees it, so closing the handle of a running thread is safe and the
// thread carries on. Handles are only ever looked up in the set of open ones, never read
// through: a handle closed before (its record possibly freed) or any other pointer is refused
// without touching the memory it points at. Suspension is cooperative: SuspendThread raises a count
// and the thread waits at its next call into the platform layer (WaitWhileSuspended).
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_set>

#include "suspend_point.h"
#include "win32.h"

namespace {

// Windows refuses to suspend a thread more often than this.
constexpr DWORD kMaximumSuspendCount = 127;
// What SuspendThread and ResumeThread return on failure.
constexpr DWORD kCountFailed = 0xFFFFFFFF;
// The SCHED_FIFO priority asked for THREAD_PRIORITY_TIME_CRITICAL: above every ordinary
// thread, low enough in the real-time range to leave the system's own real-time threads alone.
constexpr int kRealTimePriority = 10;
struct ThreadRecord {
    // The handle and the running thread; the last one to let go deletes the record.
    std::atomic<int> owners{2};
    LPTHREAD_START_ROUTINE routine = nullptr;
    LPVOID parameter = nullptr;

    std::mutex lock;
    std::condition_variable resumed;
    // Guarded by lock:
    DWORD suspendCount = 0;
    bool running = true;  // false once the thread has finished its work and is ending
    pthread_t native{};   // meaningful while running
};

thread_local ThreadRecord* currentThread = nullptr;
std::atomic<DWORD> lastThreadId{0};

// The records whose handle is open. A record in the set is alive: the handle's share keeps it.
// Never destroyed, so that handles may still be closed while the process exits.
std::mutex openHandlesLock;
std::unordered_set<ThreadRecord*>* openHandles = new std::unordered_set<ThreadRecord*>;

void ReleaseOwner(ThreadRecord* record) {
    if (record->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete record;
}

// Runs action on the record of an open handle while the handle cannot be closed; `refused`
// for anything else.
template <typename Result, typename Action>
Result WithOpenHandle(HANDLE object, Result refused, Action action) {
    std::lock_guard hold(openHandlesLock);
    auto* record = static_cast<ThreadRecord*>(object);
    if (record == nullptr || openHandles->count(record) == 0) return refused;
    return action(*record);
}

// The thread's last act, whether its routine returned or it called ExitThread.
void FinishCurrentThread() {
    ThreadRecord* self = currentThread;
    if (self == nullptr) return;
    currentThread = nullptr;
    {
        std::lock_guard hold(self->lock);
        self->running = false;
    }
    ReleaseOwner(self);
}

void* RunThread(void* argument) {
    currentThread = static_cast<ThreadRecord*>(argument);
    // A thread created suspended starts its routine only once it is resumed.
    WaitWhileSuspended();
    currentThread->routine(currentThread->parameter);
    FinishCurrentThread();
    return nullptr;
}

}  // namespace

void WaitWhileSuspended() {
    ThreadRecord* self = currentThread;
    if (self == nullptr) return;
    std::unique_lock hold(self->lock);
    self->resumed.wait(hold, [self] { return self->suspendCount == 0; });
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize,
                           LPTHREAD_START_ROUTINE startRoutine, LPVOID parameter,
                           DWORD creationFlags, LPDWORD threadId) {
    // Refused here; Wine returns a handle (a thread that starts at address 0), and Microsoft's
    // documentation does not say what Windows does. The player always passes its routine and
    // treats a null handle as a failed start either way.
    if (startRoutine == nullptr) return nullptr;
    auto* record = new (std::nothrow) ThreadRecord;
    if (record == nullptr) return nullptr;
    record->routine = startRoutine;
    record->parameter = parameter;
    record->suspendCount = (creationFlags & CREATE_SUSPENDED) != 0 ? 1 : 0;

    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        delete record;
        return nullptr;
    }
    // Nobody joins: the record, not the POSIX thread, is what the handle refers to.
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    // Windows never gives less than its default stack; neither do we.
    std::size_t defaultStack = 0;
    pthread_attr_getstacksize(&attributes, &defaultStack);
    if (stackSize > defaultStack) pthread_attr_setstacksize(&attributes, stackSize);
    pthread_t native;
    const int failure = pthread_create(&native, &attributes, RunThread, record);
    pthread_attr_destroy(&attributes);
    if (failure != 0) {
        delete record;
        return nullptr;
    }
    {
        std::lock_guard hold(record->lock);
        record->native = native;
    }
    {
        std::lock_guard hold(openHandlesLock);
        openHandles->insert(record);
    }
    if (threadId != nullptr) *threadId = lastThreadId.fetch_add(1, std::memory_order_relaxed) + 1;
    return record;
}

BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
    return WithOpenHandle(thread, FALSE, [priority](ThreadRecord& record) -> BOOL {
        // Holding the lock keeps a running thread from ending while its POSIX id is in use.
        std::lock_guard hold(record.lock);
        if (!record.running) return TRUE;
        sched_param parameters{};
        if (priority == THREAD_PRIORITY_TIME_CRITICAL) {
            parameters.sched_priority =
                std::clamp(kRealTimePriority, sched_get_priority_min(SCHED_FIFO),
                           sched_get_priority_max(SCHED_FIFO));
            // deliberate:
            // Without the privilege for real-time scheduling the request is refused and the
            // thread keeps its ordinary priority; the program carries on as if it had been granted.
            pthread_setschedparam(record.native, SCHED_FIFO, &parameters);
        } else {
            pthread_setschedparam(record.native, SCHED_OTHER, &parameters);
        }
        return TRUE;
    });
}

// A thread that has finished but whose handle is still open is counted as suspended here;
// Wine fails the call. Microsoft's documentation does not settle it. The player suspends only
// its running output thread, which ends only after a stop, and never reads the count.
DWORD WINAPI SuspendThread(HANDLE thread) {
    return WithOpenHandle(thread, kCountFailed, [](ThreadRecord& record) -> DWORD {
        std::lock_guard hold(record.lock);
        if (record.suspendCount >= kMaximumSuspendCount) return kCountFailed;
        return record.suspendCount++;
    });
}

DWORD WINAPI ResumeThread(HANDLE thread) {
    return WithOpenHandle(thread, kCountFailed, [](ThreadRecord& record) -> DWORD {
        std::lock_guard hold(record.lock);
        const DWORD previous = record.suspendCount;
        if (previous > 0 && --record.suspendCount == 0) record.resumed.notify_all();
        return previous;
    });
}

void WINAPI Sleep(DWORD milliseconds) {
    WaitWhileSuspended();
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    // A thread suspended while it slept does not return until it is resumed.
    WaitWhileSuspended();
}

void WINAPI ExitThread(DWORD) {
    // The bookkeeping is done before the thread goes, so nothing depends on what pthread_exit
    // unwinds. Its forced unwinding runs the destructors of whatever the routine left on its
    // stack; the player calls ExitThread as its routine's last statement, holding nothing.
    FinishCurrentThread();
    pthread_exit(nullptr);
}

BOOL WINAPI CloseHandle(HANDLE object) {
    auto* record = static_cast<ThreadRecord*>(object);
    {
        std::lock_guard hold(openHandlesLock);
        if (record == nullptr || openHandles->erase(record) == 0) return FALSE;
    }
    ReleaseOwner(record);
    return TRUE;
}
