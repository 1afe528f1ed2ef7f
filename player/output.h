// The block loop: the output parameters, the tick clock and the filling of the ring's blocks.
#pragma once

#include <cstdint>

#include "player.h"
#include "win32.h"

struct Song;

// The device's play position as the output thread follows it. The device counts bytes in 32
// bits, which wrap after about 6.8 hours at 44100 Hz; the thread adds up the differences
// between its polls instead, so that the count runs on past the wrap.
struct DevicePosition {
    std::uint32_t lastBytes = 0;   // the device's count at the previous poll
    std::uint64_t totalBytes = 0;  // bytes played since the ring was handed to the device
};

// Opens the wave device at `rate` as 16-bit stereo, derives the output parameters and resets
// the voice table; false when no device can be opened.
bool OpenWaveOutput(std::int32_t rate);

// The output thread: refills every block the device has finished with, polling its position
// every 5 ms, until stopRequested is set; ends with ExitThread.
DWORD WINAPI OutputThreadProc(LPVOID unused);

// Takes the device's 32-bit byte count of this poll into `position` and returns the block
// the device is playing.
std::int32_t FollowDevicePosition(DevicePosition& position, std::uint32_t deviceBytes);

// Derives the output parameters from the rate (block and ring lengths) and resets the mixer
// at that rate: everything OpenWaveOutput does besides opening the device.
void SetOutputParameters(std::int32_t rate);

// The two rings the block filler writes, allocated zero-filled: the 16-bit ring of ringFrames
// frames (waveBuffer), and the float ring at the first 16-byte boundary of an allocation 256
// bytes larger than ringFrames frames (mixBuffer). False when the allocation fails.
bool AllocateWaveRing();
bool AllocateMixRing();
void FreeWaveRing();
void FreeMixRing();

// Mixes block writeBlock of the active song into the rings and advances writeBlock.
void FillBlock();

// Float frames to 16-bit frames, rounding to nearest (ties to even) and clipping.
void ConvertBlock(std::int16_t* destination, const float* source, std::int32_t frames);
