// Player control: start, pause and stop of playback; the song's load and release.

#include "loader.h"
#include "player.h"
#include "player_state.h"
#include "win32.h"

PlayerState Player;

// Placeholder until the output machinery exists: no music is started.
Song* PlayModule(const void*) {
    return nullptr;
}

Song* LoadModule(const void* image) {
    if (image == nullptr) return nullptr;
    auto* song = static_cast<Song*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(Song)));
    auto* reader =
        static_cast<ImageReader*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(ImageReader)));
    // deliberate:
    // every path that fails gives back what it allocated, the song record included.
    if (song == nullptr || reader == nullptr) {
        if (song != nullptr) GlobalFree(song);
        if (reader != nullptr) GlobalFree(reader);
        return nullptr;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = (length << 8) | bytes[i];
    if (length == 0) {
        GlobalFree(reader);
        GlobalFree(song);
        return nullptr;
    }
    reader->base = bytes + 4;
    // The cursor counts in 32-bit signed offsets; an image beyond 2 GiB is read up to there.
    reader->size = length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<std::int32_t>(length);
    reader->position = 0;
    const int parsed = ParseModule(song, reader);
    GlobalFree(reader);
    if (parsed == 0) {
        FreeModule(song);
        return nullptr;
    }
    return song;
}

bool FreeModule(Song* song) {
    if (song == nullptr) return false;
    while (Player.filling.load() != 0) {
    }
    // The output stops playing the song before it goes away.
    if (Player.activeSong == song) Player.activeSong = nullptr;
    if (song->instruments != nullptr) {
        for (int i = 0; i < song->instrumentCount; ++i) {
            Instrument& instrument = song->instruments[i];
            for (int j = 0; j < instrument.sampleCount && j < kSamplesPerInstrument; ++j) {
                Sample* sample = instrument.samples[j];
                if (sample == nullptr || sample == &EmptySample) continue;
                if (sample->data != nullptr) GlobalFree(sample->data);
                GlobalFree(sample);
            }
        }
        GlobalFree(song->instruments);
    }
    if (song->patterns != nullptr) {
        for (int i = 0; i < song->patternSlotCount; ++i) {
            if (song->patterns[i].cells != nullptr) GlobalFree(song->patterns[i].cells);
        }
        GlobalFree(song->patterns);
    }
    GlobalFree(song);
    return true;
}
