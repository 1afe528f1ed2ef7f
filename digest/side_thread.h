// A second thread for work the caller splits in two, started in a way that reports failure
// instead of throwing (std::thread throws when a thread cannot start), so a caller can do the
// work itself instead.
#pragma once

#if !defined(_WIN32)
#include <pthread.h>
#endif

struct SideThread {
    void (*routine)(void* argument);
    void* argument;
#if defined(_WIN32)
    void* handle;
#else
    pthread_t thread;
#endif
};

// Runs routine(argument) on a new thread. Returns false, having run nothing, when no thread
// could be started. `thread` must stay where it is until JoinSideThread returns.
bool StartSideThread(SideThread* thread, void (*routine)(void* argument), void* argument);
// Waits for a thread StartSideThread started to finish its routine.
void JoinSideThread(SideThread* thread);
