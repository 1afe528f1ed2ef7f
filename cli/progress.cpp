#include "progress.h"

#include <cmath>
#include <cstdio>

#include "output_forms.h"

namespace {

using Clock = std::chrono::steady_clock;

// Nothing is drawn for inputs done within this time, and not more often than every redraw.
constexpr auto kQuietStart = std::chrono::milliseconds(800);
constexpr auto kRedraw = std::chrono::milliseconds(200);
constexpr std::size_t kLongestName = 40;

std::string Bytes(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 5) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

std::string Duration(double seconds) {
    const auto whole = static_cast<unsigned long long>(std::llround(seconds));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu", whole / 60, whole % 60);
    }
    return text;
}

// The end of a long name, cut where a character starts, so the line fits a terminal.
std::string ShortName(std::string_view name) {
    if (name.size() <= kLongestName) return std::string(name);
    std::size_t from = name.size() - kLongestName;
    while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
    return "..." + std::string(name.substr(from));
}

}  // namespace

std::string ProgressText(std::string_view name, std::uint64_t bytesDone, std::uint64_t total,
                         double seconds) {
    const double rate = seconds > 0 ? static_cast<double>(bytesDone) / seconds : 0;
    std::string text = ShortName(name) + ": " + Bytes(static_cast<double>(bytesDone));
    if (total > 0) {
        const std::uint64_t done = bytesDone < total ? bytesDone : total;
        char percent[16];
        const double share = static_cast<double>(done) * 100.0 / static_cast<double>(total);
        std::snprintf(percent, sizeof percent, " (%d%%)", static_cast<int>(share));
        text += " of " + Bytes(static_cast<double>(total)) + percent;
    }
    text += ", " + Bytes(rate) + "/s";
    if (total > 0 && rate > 0) {
        const std::uint64_t left = total > bytesDone ? total - bytesDone : 0;
        text += ", " + Duration(static_cast<double>(left) / rate) + " left";
    }
    return text;
}

void BeginProgress(ProgressLine* line, bool enabled, std::string_view name, std::uint64_t total) {
    line->enabled = enabled;
    line->name = QuoteForMessage(name);
    line->total = total;
    line->start = Clock::now();
    line->lastDrawn = line->start;
    line->drawnWidth = 0;
}

void UpdateProgress(ProgressLine* line, std::uint64_t bytesDone) {
    if (!line->enabled) return;
    const Clock::time_point now = Clock::now();
    if (now - line->start < kQuietStart ||
        (line->drawnWidth > 0 && now - line->lastDrawn < kRedraw)) {
        return;
    }
    const double seconds = std::chrono::duration<double>(now - line->start).count();
    std::string text = ProgressText(line->name, bytesDone, line->total, seconds);
    const std::size_t width = text.size();
    // Spaces rather than terminal escapes wipe what a longer earlier line left behind.
    if (width < line->drawnWidth) text.append(line->drawnWidth - width, ' ');
    std::fprintf(stderr, "\r%s", text.c_str());
    std::fflush(stderr);
    line->drawnWidth = width;
    line->lastDrawn = now;
}

void EndProgress(ProgressLine* line) {
    if (line->drawnWidth == 0) return;
    std::fprintf(stderr, "\r%s\r", std::string(line->drawnWidth, ' ').c_str());
    std::fflush(stderr);
    line->drawnWidth = 0;
}
