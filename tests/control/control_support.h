// Shared pieces of the player control tests: the embedded song rendered offline as the
// reference for what live playback must put into the ring, and checks of the player's state.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "embedded_song.h"
#include "offline_render.h"
#include "player_state.h"
#include "song.h"
#include "win32.h"

namespace control_test {

constexpr std::int32_t kBlockFrames = 884;
constexpr std::int32_t kBlockSamples = 2 * kBlockFrames;
constexpr std::int32_t kRingBlocks = 100;

// The first `blocks` blocks of the embedded song as the offline renderer mixes them, as
// 16-bit samples. Uses the player's process-wide state, so it must run while the player is
// idle.
inline std::vector<std::int16_t> RenderEmbeddedSong(int blocks) {
    std::vector<std::int16_t> samples;
    Song* song = LoadModule(EmbeddedSong);
    if (song == nullptr || !BeginOfflinePlayback(song)) {
        ADD_FAILURE() << "the embedded song cannot be rendered";
        FreeModule(song);
        return samples;
    }
    for (int block = 0; block < blocks; ++block) {
        const std::int16_t* frames = RenderNextBlock();
        samples.insert(samples.end(), frames, frames + kBlockSamples);
    }
    EndOfflinePlayback();
    FreeModule(song);
    return samples;
}

// Reference block `index` (counted from the song's start) against ring block `ringBlock`.
inline bool BlockMatches(const std::vector<std::int16_t>& reference, int index,
                         const std::int16_t* ring, int ringBlock) {
    return std::memcmp(reference.data() + static_cast<std::size_t>(index) * kBlockSamples,
                       ring + static_cast<std::size_t>(ringBlock) * kBlockSamples,
                       kBlockSamples * sizeof(std::int16_t)) == 0;
}

// Chooses a wave output device that opens without a sound card, when the system has one:
// SDL's silent dummy driver on Linux; on Windows whatever device winmm offers (under Wine in
// CI, ALSA's null device). False when no device can be had.
inline bool UseSilentDevice() {
#ifdef _WIN32
    return waveOutGetNumDevs() > 0;
#else
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return true;
#endif
}

inline DWORD DeviceBytes() {
    MMTIME time{};
    time.wType = TIME_BYTES;
    waveOutGetPosition(Player.device, &time, sizeof time);
    return time.u.cb;
}

// Nothing held: no song, no device, no thread, no buffers, not paused.
inline void ExpectIdle() {
    EXPECT_EQ(Player.loadedSong, nullptr);
    EXPECT_EQ(Player.activeSong, nullptr);
    EXPECT_EQ(Player.device, nullptr);
    EXPECT_EQ(Player.outputThread, nullptr);
    EXPECT_EQ(Player.waveBuffer, nullptr);
    EXPECT_EQ(Player.mixBufferAllocation, nullptr);
    EXPECT_EQ(Player.mixBuffer, nullptr);
    EXPECT_EQ(Player.header.lpData, nullptr);
    EXPECT_EQ(Player.header.dwFlags, 0u);
    EXPECT_EQ(Player.paused, 0);
    EXPECT_EQ(Player.filling.load(), 0);
    EXPECT_EQ(Player.threadFinished.load(), 1);
}

}  // namespace control_test
