// What the tool needs of the operating system, kept in one place so that the rest of the tool
// is the same everywhere: opening and reading inputs of any size in binary, whether standard
// error is a terminal, and how many processors there are.
#pragma once

#include <cstddef>
#include <cstdint>

// A C runtime file descriptor opened for binary reading.
struct InputFile {
    int descriptor = -1;
    bool standardInput = false;
    std::uint64_t size = 0;  // bytes of a regular file, 0 when unknown (pipes, terminals)
};

// Opens `path` for reading. A directory is refused with EISDIR. On failure returns false with
// the C error number in *error.
bool OpenInputFile(const char* path, InputFile* file, int* error);
InputFile StandardInputFile();
void CloseInputFile(InputFile* file);

// Reads until `into` holds `count` bytes or the input ends; returns the bytes read (fewer than
// `count` only at the end), or -1 with the C error number in *error.
std::int64_t ReadInputBlock(const InputFile& file, unsigned char* into, std::size_t count,
                            int* error);

// Standard input and output carry bytes unchanged (no line-end translation).
void UseBinaryStandardStreams();
bool StandardErrorIsTerminal();
unsigned ProcessorCount();
