// The song's tick clock: the tempo, the length of a tick in output frames, and the routine the
// block loop calls at every tick boundary.
#pragma once

#include <cstdint>

#include "song.h"

// Starts the clock from the song's default tempo: ticks are counted in frames of outputRate,
// the first one begins at once, and `callback` runs at each.
void StartTickClock(Song* song, std::int32_t outputRate, TickCallback callback);

// Stores bpm and the matching tick length in output frames.
void SetBpm(Song* song, std::int32_t bpm);
