// The side thread on the operating system's own threads: CreateThread on Windows, POSIX threads
// elsewhere.
#include "side_thread.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

#if defined(_WIN32)
DWORD WINAPI RunSideThread(LPVOID opaque) {
    auto* thread = static_cast<SideThread*>(opaque);
    thread->routine(thread->argument);
    return 0;
}
#else
void* RunSideThread(void* opaque) {
    auto* thread = static_cast<SideThread*>(opaque);
    thread->routine(thread->argument);
    return nullptr;
}
#endif

}  // namespace

bool StartSideThread(SideThread* thread, void (*routine)(void* argument), void* argument) {
    thread->routine = routine;
    thread->argument = argument;
#if defined(_WIN32)
    thread->handle = CreateThread(nullptr, 0, RunSideThread, thread, 0, nullptr);
    return thread->handle != nullptr;
#else
    return pthread_create(&thread->thread, nullptr, RunSideThread, thread) == 0;
#endif
}

void JoinSideThread(SideThread* thread) {
#if defined(_WIN32)
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
#else
    pthread_join(thread->thread, nullptr);
#endif
}
