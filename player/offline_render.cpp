// Offline playback through the block filler that live playback uses, and the per-tick trace.
#include "offline_render.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "mixer.h"
#include "output.h"
#include "player_state.h"
#include "sequencer.h"
#include "song.h"
#include "win32.h"

namespace {

// The trace hooks the song's tick callback, which takes no context of its own.
TraceSink TraceOutput = nullptr;
void* TraceContext = nullptr;

void Emit(const char* text, std::size_t length) { TraceOutput(text, length, TraceContext); }

void AppendToString(const char* text, std::size_t length, void* context) {
    static_cast<std::string*>(context)->append(text, length);
}

const char* const kTraceHeader =
    "# order row tick ch note ins period pdelta volume vdelta pan volenv panenv fadeout"
    " voice left right freq pos\n";

void FormatNote(std::uint8_t note, char* text, std::size_t size) {
    static const char* const names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                          "F#", "G-", "G#", "A-", "A#", "B-"};
    if (note == 0) {
        std::snprintf(text, size, "---");
    } else if (note == kNoteKeyOff) {
        std::snprintf(text, size, "off");
    } else {
        std::snprintf(text, size, "%s%d", names[(note - 1) % 12], (note - 1) / 12);
    }
}

void TraceTick(Song* song) {
    std::int32_t tick = song->tick;
    SequencerTick(song);
    RowPosition position = PlayingRow();
    std::int32_t channelCount = song->channelCount < kMaxChannels ? song->channelCount : kMaxChannels;
    for (std::int32_t c = 0; c < channelCount; ++c) {
        const Channel& channel = Player.channels[c];
        const MixVoice& voice = *channel.voice;
        char note[8];
        FormatNote(channel.rowCell.note, note, sizeof note);
        char line[256];
        int length = std::snprintf(line, sizeof line,
                      "%3d %3d %3d %2d %-3s %3d %6d %5d %3d %4d %4d %3d %3d %6d %3d %3d %3d %8d %" PRIu32
                      "\n",
                      position.orderPosition, position.row, tick, c, note, channel.rowCell.instrument,
                      channel.period, channel.periodDelta, channel.volume, channel.volumeDelta,
                      channel.panning, channel.volEnvOutput, channel.panEnvOutput,
                      channel.fadeoutVolume, voice.index, voice.leftVolume, voice.rightVolume,
                      voice.frequency, voice.positionInt);
        if (length > 0) Emit(line, std::min(static_cast<std::size_t>(length), sizeof line - 1));
    }
}

}  // namespace

bool BeginOfflinePlayback(Song* song) {
    SetOutputParameters(kRenderRate);
    ResetPlayback(song);
    if (!AllocateWaveRing() || !AllocateMixRing()) {
        EndOfflinePlayback();
        return false;
    }
    Player.writeBlock = 0;
    return true;
}

const std::int16_t* RenderNextBlock() {
    std::int32_t block = Player.writeBlock;
    FillBlock();
    return Player.waveBuffer + static_cast<std::int64_t>(block) * Player.blockFrames * 2;
}

void EndOfflinePlayback() {
    FreeWaveRing();
    FreeMixRing();
    Player.activeSong = nullptr;
    ResetVoiceTable(Player.mixer);  // the voices point into the song's samples, which may go next
}

bool TraceSong(Song* song, std::int64_t frames, TraceSink sink, void* context) {
    if (!BeginOfflinePlayback(song)) return false;
    TickCallback original = song->tickCallback;
    song->tickCallback = TraceTick;
    TraceOutput = sink;
    TraceContext = context;
    Emit(kTraceHeader, std::strlen(kTraceHeader));
    for (std::int64_t done = 0; done < frames; done += Player.blockFrames) RenderNextBlock();
    TraceOutput = nullptr;
    TraceContext = nullptr;
    song->tickCallback = original;
    EndOfflinePlayback();
    return true;
}

bool TraceSong(Song* song, std::int64_t frames, std::string* out) {
    return TraceSong(song, frames, AppendToString, out);
}
