// The block loop: the output parameters, the tick clock and the filling of the ring's blocks.
#pragma once

#include <cstdint>

struct Song;

// Opens the wave device at `rate` as 16-bit stereo, derives the output parameters and resets
// the voice table; false when no device can be opened.
bool OpenWaveOutput(std::int32_t rate);

// Derives the output parameters from the rate (block, ring and ramp lengths) and resets the
// voice table: everything OpenWaveOutput does besides opening the device.
void SetOutputParameters(std::int32_t rate);

// Stores bpm and the matching tick length in output frames.
void SetBpm(Song* song, std::int32_t bpm);

// Mixes block writeBlock of the active song into the rings and advances writeBlock.
void FillBlock();

// Float frames to 16-bit frames, rounding to nearest (ties to even) and clipping.
void ConvertBlock(std::int16_t* destination, const float* source, std::int32_t frames);
