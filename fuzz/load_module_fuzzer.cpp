// Fuzz target: any byte string, given as a module image, loads into a song that stays
// within its tables and buffers, or is refused; every sample it holds can be mixed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mixer.h"
#include "output.h"
#include "player_state.h"
#include "song.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckSong(const Song& song) {
    Require(song.songLength >= 1 && song.songLength <= kOrderTableSize);
    Require(song.restartPosition >= 0 && song.restartPosition < song.songLength);
    Require(song.channelCount >= 0 && song.channelCount <= kMaxChannels);
    Require(song.defaultSpeed >= 1 && song.defaultBpm >= 1);
    for (int i = 0; i < kOrderTableSize; ++i) {
        Require(song.orderTable[i] < song.patternSlotCount);
        const Pattern& pattern = song.patterns[song.orderTable[i]];
        Require(pattern.rowCount >= 1 && pattern.cells != nullptr);
        const Cell* cells = pattern.cells;
        for (int c = 0; c < pattern.rowCount * song.channelCount; ++c) {
            Require(cells[c].note <= 96 || cells[c].note == kNoteKeyOff);
            Require(cells[c].instrument <= 128);
        }
    }
    for (int i = 0; i < song.instrumentCount; ++i) {
        const Instrument& instrument = song.instruments[i];
        Require(instrument.sampleCount >= 0 && instrument.sampleCount <= kSamplesPerInstrument);
        Require(instrument.volumePointCount <= kEnvelopePointCount);
        Require(instrument.panningPointCount <= kEnvelopePointCount);
        for (const Sample* sample : instrument.samples) {
            Require(sample != nullptr);
            const std::uint64_t loopEnd = std::uint64_t{sample->loopStart} + sample->loopLength;
            Require(loopEnd <= sample->length);
            Require(sample->length == 0 || sample->data != nullptr);
            if (sample->loopKind == kLoopForward || sample->loopKind == kLoopPingPong) {
                Require(sample->loopLength > 0);
            }
        }
    }
}

// Plays every sample of the song on a voice at a few pitches, so that the mixer meets
// whatever loops and lengths the loader let through.
void MixSamples(Song& song, const std::uint8_t* data, std::size_t size) {
    static std::vector<float> mix(2 * 512);
    int voiceSlot = 0;
    for (int i = 0; i < song.instrumentCount && voiceSlot < kMixedVoiceCount; ++i) {
        for (int j = 0; j < song.instruments[i].sampleCount && voiceSlot < kMixedVoiceCount; ++j) {
            MixVoice* voice = &Player.voices[voiceSlot];
            voice->startOffset = size > 0 ? data[voiceSlot % size] * 7u : 0u;
            StartVoiceNote(&voice, song.instruments[i].samples[j]);
            SetVoiceGains(voice, 255, 128);
            SetVoicePitch(voice, 100 + 4000 * voiceSlot);
            ++voiceSlot;
        }
    }
    for (int run = 0; run < 8; ++run) MixVoices(mix.data(), 37 + 61 * run);
    ResetVoiceTable();
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
        CheckSong(*song);
        MixSamples(*song, data, size);
        FreeModule(song);
    }
    return 0;
}
