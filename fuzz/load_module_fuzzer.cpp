// Fuzz target: any byte string, given as a module image, loads into a song that stays
// within its tables and buffers, or is refused; every sample it holds can be mixed, and the
// song plays through the sequencer and the block loop with every voice value in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mixer.h"
#include "offline_render.h"
#include "output.h"
#include "player_state.h"
#include "song.h"
#include "song_invariants.h"

namespace {

// Plays every sample of the song on a voice at a few pitches, so that the mixer meets
// whatever loops and lengths the loader let through.
void MixSamples(Song& song, const std::uint8_t* data, std::size_t size) {
    static std::vector<float> mix(2 * 512);
    int voiceSlot = 0;
    for (int i = 0; i < song.instrumentCount && voiceSlot < kMixedVoiceCount; ++i) {
        for (int j = 0; j < song.instruments[i].sampleCount && voiceSlot < kMixedVoiceCount; ++j) {
            MixVoice* voice = &Player.mixer.voices[voiceSlot];
            voice->startOffset = size > 0 ? data[voiceSlot % size] * 7u : 0u;
            StartVoiceNote(Player.mixer, &voice, song.instruments[i].samples[j]);
            SetVoiceGains(voice, 255, 128);
            SetVoicePitch(Player.mixer, voice, 100 + 4000 * voiceSlot);
            ++voiceSlot;
        }
    }
    for (int run = 0; run < 8; ++run) MixVoices(Player.mixer, mix.data(), 37 + 61 * run);
    ResetVoiceTable(Player.mixer);
}

constexpr int kPlayedBlocks = 150;  // three seconds

// Plays the song from its start as live playback does; aborts when a voice leaves its range.
void PlaySong(Song* song) {
    if (!BeginOfflinePlayback(song)) return;
    const int channels = song->channelCount < kMaxChannels ? song->channelCount : kMaxChannels;
    for (int block = 0; block < kPlayedBlocks; ++block) {
        RenderNextBlock();
        for (int c = 0; c < channels; ++c) {
            const MixVoice* voice = Player.channels[c].voice;
            if (voice->volume < 0 || voice->volume > 128 || voice->leftVolume < 0 ||
                voice->leftVolume > 255 || voice->rightVolume < 0 || voice->rightVolume > 255) {
                std::abort();
            }
        }
    }
    EndOfflinePlayback();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = false;
    if (!ready) {
        SetOutputParameters(44100);
        ready = true;
    }
    std::vector<std::uint8_t> image(4 + size);
    const std::uint32_t length = static_cast<std::uint32_t>(size);
    for (int i = 0; i < 4; ++i) image[i] = static_cast<std::uint8_t>(length >> (8 * i));
    if (size > 0) std::memcpy(image.data() + 4, data, size);
    Song* song = LoadModule(image.data());
    if (song != nullptr) {
        if (!xmtest::SongKeepsItsBounds(*song)) std::abort();
        MixSamples(*song, data, size);
        PlaySong(song);
        FreeModule(song);
    }
    return 0;
}
