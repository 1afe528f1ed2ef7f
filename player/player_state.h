// The player's process-wide state: the device, the output thread and its three flags, the
// rings, the output parameters, the channel table and the mixer with its voice table, and where
// an offline trace goes.
#pragma once

#include <atomic>
#include <cstdint>

#include "channel.h"
#include "mixer.h"
#include "offline_render.h"
#include "song.h"
#include "win32.h"

struct PlayerState {
    Song* loadedSong = nullptr;
    Song* activeSong = nullptr;
    HWAVEOUT device = nullptr;
    std::int32_t paused = 0;  // -1 while paused
    HANDLE outputThread = nullptr;
    // One writer each: stopRequested by the controller, the other two by the output thread.
    std::atomic<std::uint8_t> stopRequested{0};
    std::atomic<std::uint8_t> filling{0};
    std::atomic<std::uint8_t> threadFinished{1};
    WAVEHDR header{};
    std::int16_t* waveBuffer = nullptr;
    void* mixBufferAllocation = nullptr;
    float* mixBuffer = nullptr;  // 16-byte aligned, inside mixBufferAllocation
    // Next block to mix. Only the thread that fills blocks writes it; it is published after the
    // block's samples, so that whoever reads it may read every block it has passed.
    std::atomic<std::int32_t> writeBlock{0};

    // Output parameters, derived from the rate.
    std::int32_t blockFrames = 0;
    std::int32_t ringFrames = 0;
    std::int32_t nBlocks = 0;

    Channel channels[kMaxChannels]{};
    // Where the sequencer read the current row's cells.
    RowPosition playingRow{};
    // Where an offline trace writes its lines while TraceSong runs; null otherwise.
    TraceSink traceSink = nullptr;
    void* traceContext = nullptr;
    // The voice table with the output rate and ramp length it is mixed at.
    Mixer mixer{};
};

extern PlayerState Player;
