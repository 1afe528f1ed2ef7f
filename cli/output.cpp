#include "output.h"

#include <cerrno>
#include <climits>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

int firstError = 0;

long WriteSome(const char* from, std::size_t count) {
#ifdef _WIN32
    return _write(1, from, static_cast<unsigned>(count > INT_MAX ? INT_MAX : count));
#else
    return static_cast<long>(write(STDOUT_FILENO, from, count > INT_MAX ? INT_MAX : count));
#endif
}

}  // namespace

void WriteOutput(std::string_view text) {
    // A pipe takes a line of up to 4 KiB at once; only a short write (a longer line, a full
    // disk) makes a second call necessary.
    while (!text.empty() && firstError == 0) {
        const long written = WriteSome(text.data(), text.size());
        if (written < 0) {
            if (errno != EINTR) firstError = errno;
            continue;
        }
        if (written == 0) {
            firstError = ENOSPC;
            continue;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

int OutputError() {
    return firstError;
}
