// The self-updating progress line on standard error while a large input is hashed: bytes
// done, rate and time left. It appears only on a terminal and only once an input has taken
// a while, and it is erased before anything else is written.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct ProgressLine {
    bool enabled = false;
    std::string name;
    std::uint64_t total = 0;  // 0 when the size is unknown
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDrawn;
    std::size_t drawnWidth = 0;  // characters on screen now; 0 when nothing is shown
};

void BeginProgress(ProgressLine* line, bool enabled, std::string_view name, std::uint64_t total);
void UpdateProgress(ProgressLine* line, std::uint64_t bytesDone);
void EndProgress(ProgressLine* line);

// "NAME: 1.5 GiB of 5.0 GiB (30%), 820.0 MiB/s, 0:04 left"; without a total, bytes and rate.
std::string ProgressText(std::string_view name, std::uint64_t bytesDone, std::uint64_t total,
                         double seconds);
