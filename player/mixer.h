// The channel mixer: voices that play 16-bit sample data at a 32.32 fixed-point step with
// linear interpolation, forward and ping-pong loops and 128-frame volume ramps.
#pragma once

#include <cstdint>

struct Sample;

constexpr int kVoiceCount = 256;      // slots in the voice table
constexpr int kMixedVoiceCount = 64;  // slots 0..63 are mixed
constexpr int kPartnerDistance = 32;  // channel k plays on voice k or k + 32

struct MixVoice {
    std::int32_t index;
    std::int32_t shownVolume;
    std::int32_t frequency;
    std::int32_t shownPanning;
    std::int32_t volume;   // 0..128
    std::int32_t panning;  // 0..255
    std::uint32_t startOffset;
    const Sample* sample;      // null: silent
    std::int32_t leftVolume;   // target gain 0..255
    std::int32_t rightVolume;  // target gain 0..255
    std::uint32_t positionInt;
    std::uint32_t positionFrac;
    std::uint32_t stepFrac;
    std::int32_t stepInt;
    std::int32_t direction;  // 1 forward, anything else backward
    std::int32_t rampLeftTarget;
    std::int32_t rampRightTarget;
    std::int32_t currentLeft;   // level x 256
    std::int32_t currentRight;  // level x 256
    float rampLeftStep;
    float rampRightStep;
    std::int32_t rampFramesLeft;
};

// Everything the mixer works on, handed to it by its caller: the voice table and what the output
// rate makes of pitches and ramps.
struct Mixer {
    std::int32_t outputRate;
    std::int32_t rampFrames;  // length of a volume ramp in output frames
    float rampReciprocal;     // 1 / rampFrames
    MixVoice voices[kVoiceCount];
};

// Sets the rate and the ramp length it gives (128 frames at 44100 Hz, at least 1), zeroes the
// voice table, then gives each voice its slot number and a step of 1.
void ResetMixer(Mixer& mixer, std::int32_t outputRate);
// Zeroes the voice table as ResetMixer does, keeping the rate.
void ResetVoiceTable(Mixer& mixer);

MixVoice* PartnerVoice(Mixer& mixer, MixVoice* voice);

// Adds `frames` frames of every sounding voice among slots 0..63 to the float pairs at
// destination, advancing each voice's position and ramp.
void MixVoices(Mixer& mixer, float* destination, std::int32_t frames);

// The operations the sequencer performs on a channel's voice. Besides them only the mixer itself
// (MixVoices, the table resets) writes a voice.
// Start a note: a sounding voice is handed over to its partner to fade out, and *voice moves
// to the partner; the (new) voice then starts `sample` at its start offset.
void StartVoiceNote(Mixer& mixer, MixVoice** voice, const Sample* sample);
void SetVoiceGains(MixVoice* voice, std::int32_t leftVolume, std::int32_t rightVolume);
// The voice's volume (0..128) and its shown copy, then the gains it gives at the voice's panning:
// left volume x panning / 255, right volume x (255 - panning) / 255.
void SetVoiceVolume(MixVoice* voice, std::int32_t volume);
// The voice's panning (0..255, 255 all left) and its shown copy, then the gains it gives at the
// voice's volume.
void SetVoicePanning(MixVoice* voice, std::int32_t panning);
void SetVoicePitch(const Mixer& mixer, MixVoice* voice, std::int32_t frequency);
void ResetVoicePosition(MixVoice* voice);
// Where the voice's next note starts, in samples; a note start uses it up.
void SetVoiceStartOffset(MixVoice* voice, std::uint32_t offset);
