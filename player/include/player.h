// The module player's face towards the rest of the program.
#pragma once

#include <cstdint>

struct Song;

// The rate the player always plays at; offline rendering uses it too, so that its output is
// exactly what the device is given.
constexpr std::int32_t kOutputRate = 44100;

// With a length-prefixed module image (32-bit little-endian byte count, then the XM bytes):
// opens the wave device, loads the module, mixes the first two seconds and starts the output
// thread; returns the song, or null when the device cannot be opened or the module cannot be
// played. With null: stops playback and releases everything; the result carries no meaning.
Song* PlayModule(const void* image);

// Pauses a playing player or resumes a paused one; 1 when now paused, 0 when now playing.
int TogglePause();
