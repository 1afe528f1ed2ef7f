// The process calls of kernel32 the shell uses: its own module handle and ending the process.
#include <cstdlib>

#include "win32.h"

namespace {
// Stands for the program's own module; there is only one.
char mainModule;
}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    // Only the program itself (no name) is known; no library is looked up by name.
    if (moduleName != nullptr) return nullptr;
    return reinterpret_cast<HMODULE>(&mainModule);
}

void WINAPI ExitProcess(UINT exitCode) {
    // deliberate:
    // ends at once, as on Windows: no destructors, no atexit handlers, other threads stop.
    std::_Exit(static_cast<int>(exitCode));
}
