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

// The trace hooks the song's tick callback, which takes no context of its own: the sink waits in
// the player's state while TraceSong runs.
void Emit(const char* text, std::size_t length) {
    if (Player.traceSink != nullptr) Player.traceSink(text, length, Player.traceContext);
}

void AppendToString(const char* text, std::size_t length, void* context) {
    static_cast<std::string*>(context)->append(text, length);
}

const char* const kTraceHeader =
    "# order row tick ch note ins vol fx period pdelta volume vdelta pan volenv panenv fadeout"
    " voice left right freq pos\n";

void FormatNote(std::uint8_t note, char* text, std::size_t size) {
    if (note == 0) {
        std::snprintf(text, size, "---");
    } else if (note == kNoteKeyOff) {
        std::snprintf(text, size, "off");
    } else {
        std::snprintf(text, size, "%s%d", kNoteNames[(note - 1) % 12], (note - 1) / 12);
    }
}

// The volume column as its byte in hex, ".." when empty.
void FormatVolumeColumn(std::uint8_t command, char* text, std::size_t size) {
    if (command == 0) {
        std::snprintf(text, size, "..");
    } else {
        std::snprintf(text, size, "%02X", command);
    }
}

// The effect as trackers write it, its letter or digit then the parameter in hex (A0F, L05),
// "..." when the cell has none.
void FormatEffect(std::uint8_t effect, std::uint8_t param, char* text, std::size_t size) {
    static const char kEffectLetters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (effect == 0 && param == 0) {
        std::snprintf(text, size, "...");
    } else if (effect < sizeof kEffectLetters - 1) {
        std::snprintf(text, size, "%c%02X", kEffectLetters[effect], param);
    } else {
        std::snprintf(text, size, "?%02X", param);  // a number no tracker names
    }
}

bool CellIsEmpty(const Cell& cell) {
    return cell.note == 0 && cell.instrument == 0 && cell.volumeCommand == 0 && cell.effect == 0 &&
           cell.effectParam == 0;
}

void TraceTick(Song* song) {
    std::int32_t tick = song->tick;
    SequencerTick(song);
    RowPosition position = PlayingRow();
    std::int32_t channelCount =
        song->channelCount < kMaxChannels ? song->channelCount : kMaxChannels;
    for (std::int32_t c = 0; c < channelCount; ++c) {
        const Channel& channel = Player.channels[c];
        const MixVoice& voice = *channel.voice;
        // A channel whose voice is silent and whose cell is empty has nothing to show.
        if (voice.sample == nullptr && CellIsEmpty(channel.rowCell)) continue;
        char note[8];
        FormatNote(channel.rowCell.note, note, sizeof note);
        char volumeColumn[4];
        FormatVolumeColumn(channel.rowCell.volumeCommand, volumeColumn, sizeof volumeColumn);
        char effect[8];
        FormatEffect(channel.rowCell.effect, channel.rowCell.effectParam, effect, sizeof effect);
        char line[256];
        int length = std::snprintf(line, sizeof line,
                                   "%3d %3d %3d %2d %-3s %3d %s %s %6d %5d %3d %4d %4d %3d %3d %6d "
                                   "%3d %3d %3d %8d %" PRIu32 "\n",
                                   position.orderPosition, position.row, tick, c, note,
                                   channel.rowCell.instrument, volumeColumn, effect, channel.period,
                                   channel.periodDelta, channel.volume, channel.volumeDelta,
                                   channel.panning, channel.volEnvOutput, channel.panEnvOutput,
                                   channel.fadeoutVolume, voice.index, voice.leftVolume,
                                   voice.rightVolume, voice.frequency, voice.positionInt);
        if (length > 0) Emit(line, std::min(static_cast<std::size_t>(length), sizeof line - 1));
    }
}

}  // namespace

bool BeginOfflinePlayback(Song* song) {
    SetOutputParameters(kRenderRate);
    ResetPlayback(song);
    Player.activeSong = song;
    if (!AllocateWaveRing() || !AllocateMixRing()) {
        EndOfflinePlayback();
        return false;
    }
    Player.writeBlock = 0;
    return true;
}

const std::int16_t* RenderNextBlock() {
    std::int32_t block = Player.writeBlock.load();
    FillBlock();
    return Player.waveBuffer + static_cast<std::int64_t>(block) * Player.blockFrames * 2;
}

std::int32_t RenderedBlockFrames() {
    return Player.blockFrames;
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
    Player.traceSink = sink;
    Player.traceContext = context;
    Emit(kTraceHeader, std::strlen(kTraceHeader));
    for (std::int64_t done = 0; done < frames; done += Player.blockFrames) RenderNextBlock();
    Player.traceSink = nullptr;
    Player.traceContext = nullptr;
    song->tickCallback = original;
    EndOfflinePlayback();
    return true;
}

bool TraceSong(Song* song, std::int64_t frames, std::string* out) {
    return TraceSong(song, frames, AppendToString, out);
}
