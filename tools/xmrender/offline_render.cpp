// Offline playback through the block filler that live playback uses, and the per-tick trace.
#include "offline_render.h"

#include <cinttypes>
#include <cstdio>

#include "mixer.h"
#include "output.h"
#include "player_state.h"
#include "sequencer.h"
#include "song.h"
#include "win32.h"

namespace {

// The trace hooks the song's tick callback, which takes no context of its own.
std::string* TraceOutput = nullptr;

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
        std::snprintf(line, sizeof line,
                      "%3d %3d %3d %2d %-3s %3d %6d %5d %3d %4d %4d %3d %3d %6d %3d %3d %3d %8d %" PRIu32
                      "\n",
                      position.orderPosition, position.row, tick, c, note, channel.rowCell.instrument,
                      channel.period, channel.periodDelta, channel.volume, channel.volumeDelta,
                      channel.panning, channel.volEnvOutput, channel.panEnvOutput,
                      channel.fadeoutVolume, voice.index, voice.leftVolume, voice.rightVolume,
                      voice.frequency, voice.positionInt);
        TraceOutput->append(line);
    }
}

}  // namespace

bool BeginOfflinePlayback(Song* song) {
    SetOutputParameters(kRenderRate);
    ResetPlayback(song);
    Player.waveBuffer = static_cast<std::int16_t*>(
        GlobalAlloc(GMEM_ZEROINIT, static_cast<SIZE_T>(Player.ringFrames) * 4));
    Player.mixBufferAllocation =
        GlobalAlloc(GMEM_ZEROINIT, static_cast<SIZE_T>(Player.ringFrames) * 8 + 256);
    if (Player.waveBuffer == nullptr || Player.mixBufferAllocation == nullptr) {
        EndOfflinePlayback();
        return false;
    }
    auto address = reinterpret_cast<std::uintptr_t>(Player.mixBufferAllocation);
    Player.mixBuffer = reinterpret_cast<float*>((address + 15) & ~static_cast<std::uintptr_t>(15));
    Player.writeBlock = 0;
    return true;
}

const std::int16_t* RenderNextBlock() {
    std::int32_t block = Player.writeBlock;
    FillBlock();
    return Player.waveBuffer + static_cast<std::int64_t>(block) * Player.blockFrames * 2;
}

void EndOfflinePlayback() {
    if (Player.waveBuffer != nullptr) GlobalFree(Player.waveBuffer);
    if (Player.mixBufferAllocation != nullptr) GlobalFree(Player.mixBufferAllocation);
    Player.waveBuffer = nullptr;
    Player.mixBufferAllocation = nullptr;
    Player.mixBuffer = nullptr;
    Player.activeSong = nullptr;
}

void TraceSong(Song* song, std::int64_t frames, std::string* out) {
    if (!BeginOfflinePlayback(song)) return;
    TickCallback original = song->tickCallback;
    song->tickCallback = TraceTick;
    TraceOutput = out;
    out->append(kTraceHeader);
    for (std::int64_t done = 0; done < frames; done += Player.blockFrames) RenderNextBlock();
    TraceOutput = nullptr;
    song->tickCallback = original;
    EndOfflinePlayback();
}
