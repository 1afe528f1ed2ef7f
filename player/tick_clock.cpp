// The tick clock: a tick lasts 2.5 / bpm seconds, rounded to whole output frames.
#include "tick_clock.h"

#include <cmath>

namespace {

constexpr float kTickBeatFactor = 0.4f;
constexpr float kSecondsPerMillisecond = 0.001f;

}  // namespace

void StartTickClock(Song* song, std::int32_t outputRate, TickCallback callback) {
    song->tickRate = outputRate;
    song->tickFramesLeft = 0;
    song->tickCallback = callback;
    SetBpm(song, song->defaultBpm);
}

void SetBpm(Song* song, std::int32_t bpm) {
    if (song == nullptr) return;
    // deliberate:
    // a tempo below 1 would make the tick endless; it is played as 1.
    if (bpm < 1) bpm = 1;
    song->bpm = bpm;
    const double tickMilliseconds =
        1000.0 / (static_cast<double>(bpm) * static_cast<double>(kTickBeatFactor));
    const double frames = tickMilliseconds * static_cast<double>(song->tickRate) *
                          static_cast<double>(kSecondsPerMillisecond);
    double rounded = std::nearbyint(frames);
    // A tick shorter than one frame would stop the block loop from advancing.
    if (!(rounded >= 1.0)) rounded = 1.0;
    song->tickLength = static_cast<std::int32_t>(rounded);
}
