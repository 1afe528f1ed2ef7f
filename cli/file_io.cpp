// POSIX and Windows versions of the tool's few system calls. Both read through C runtime
// descriptors; only opening, sizing and the terminal test differ.
#include "file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using FileStatus = struct _stat64;
int StatusOf(int descriptor, FileStatus* status) {
    return _fstat64(descriptor, status);
}
int ReadSome(int descriptor, unsigned char* into, std::size_t count) {
    return _read(descriptor, into, static_cast<unsigned>(count > INT_MAX ? INT_MAX : count));
}
#else
using FileStatus = struct stat;
int StatusOf(int descriptor, FileStatus* status) {
    return fstat(descriptor, status);
}
long ReadSome(int descriptor, unsigned char* into, std::size_t count) {
    return static_cast<long>(read(descriptor, into, count > INT_MAX ? INT_MAX : count));
}
#endif

bool IsDirectory(const FileStatus& status) {
    return (status.st_mode & S_IFMT) == S_IFDIR;
}
bool IsRegular(const FileStatus& status) {
    return (status.st_mode & S_IFMT) == S_IFREG;
}

// Fills in the size of a regular file; refuses directories.
bool Inspect(InputFile* file, int* error) {
    FileStatus status{};
    if (StatusOf(file->descriptor, &status) != 0) return true;  // reading will tell
    if (IsDirectory(status)) {
        *error = EISDIR;
        return false;
    }
    if (IsRegular(status) && status.st_size > 0)
        file->size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

}  // namespace

bool OpenInputFile(const char* path, InputFile* file, int* error) {
    *file = InputFile{};
#ifdef _WIN32
    // The runtime refuses to open a directory with EACCES; ask first so the reason is right.
    struct _stat64 status {};
    if (_stat64(path, &status) == 0 && IsDirectory(status)) {
        *error = EISDIR;
        return false;
    }
    file->descriptor = _open(path, _O_RDONLY | _O_BINARY | _O_SEQUENTIAL);
#else
    file->descriptor = open(path, O_RDONLY | O_CLOEXEC);
#endif
    if (file->descriptor < 0) {
        *error = errno;
        return false;
    }
    if (!Inspect(file, error)) {
        CloseInputFile(file);
        return false;
    }
#if !defined(_WIN32) && defined(POSIX_FADV_SEQUENTIAL)
    posix_fadvise(file->descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

InputFile StandardInputFile() {
    InputFile file;
    file.descriptor = 0;
    file.standardInput = true;
    int ignored = 0;
    Inspect(&file, &ignored);  // a directory as standard input fails when it is read
    return file;
}

void CloseInputFile(InputFile* file) {
    if (file->descriptor >= 0 && !file->standardInput) {
#ifdef _WIN32
        _close(file->descriptor);
#else
        close(file->descriptor);
#endif
    }
    file->descriptor = -1;
}

std::int64_t ReadInputBlock(const InputFile& file, unsigned char* into, std::size_t count,
                            int* error) {
    std::size_t filled = 0;
    while (filled < count) {
        const auto got = ReadSome(file.descriptor, into + filled, count - filled);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            *error = errno;
            return -1;
        }
        filled += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(filled);
}

void UseBinaryStandardStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

unsigned ProcessorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}
