// Offline playback: the ring buffers and block loop of live playback, driven without a device,
// for the WAV renderer, the per-tick trace, the tests and the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "player.h"

struct Song;

// Offline playback renders at the live output rate.
constexpr std::int32_t kRenderRate = kOutputRate;

// Sets the output parameters, resets the song's playback state and allocates both rings as
// live playback does; writeBlock starts at 0. False when an allocation fails.
bool BeginOfflinePlayback(Song* song);
// Mixes the next block through FillBlock; returns its 16-bit frames (RenderedBlockFrames of
// them).
const std::int16_t* RenderNextBlock();
std::int32_t RenderedBlockFrames();
// Releases the rings, detaches the song and silences every voice.
void EndOfflinePlayback();

// Receives the trace text piece by piece.
using TraceSink = void (*)(const char* text, std::size_t length, void* context);

// Traces the ticks that begin within the first `frames` output frames: a header line naming
// the columns, then one line per tick and channel: the row's cell (note, instrument, volume
// column, effect) beside the state it produced. Channels with a silent voice and an empty
// cell are left out. False, with nothing traced, when the rings
// cannot be allocated.
bool TraceSong(Song* song, std::int64_t frames, TraceSink sink, void* context);
// The same, appended to a string.
bool TraceSong(Song* song, std::int64_t frames, std::string* out);
