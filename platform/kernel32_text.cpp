// String, memory and allocation helpers of kernel32/user32 over the C library.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "win32.h"

namespace {
// wsprintfA never writes more than this many bytes, NUL included. Microsoft documents the
// 1024-byte limit of the buffer but not what a longer result returns: Wine returns 1024, this
// layer 1023 (the characters it stored). The program formats only digest texts of at most 64
// characters and never reads the count, so it does not depend on either.
constexpr int kFormatLimit = 1024;
}  // namespace

int WINAPIV wsprintfA(LPSTR destination, LPCSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int wanted = std::vsnprintf(destination, kFormatLimit, format, arguments);
    va_end(arguments);
    if (wanted < 0) {
        destination[0] = '\0';
        return 0;
    }
    return wanted < kFormatLimit ? wanted : kFormatLimit - 1;
}

LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source) {
    return std::strcpy(destination, source);
}

LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source) {
    return std::strcat(destination, source);
}

void WINAPI RtlMoveMemory(void* destination, const void* source, SIZE_T length) {
    if (length != 0) std::memmove(destination, source, length);
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    // A request for 0 bytes still yields a distinct block, as on Windows.
    const SIZE_T size = bytes == 0 ? 1 : bytes;
    return (flags & GMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    std::free(memory);
    return nullptr;
}

// Every block is fixed in place here, so a moveable one locks to its own address.
LPVOID WINAPI GlobalLock(HGLOBAL memory) {
    return memory;
}

BOOL WINAPI GlobalUnlock(HGLOBAL) {
    return FALSE;  // no lock count is kept: the block is unlocked now
}
