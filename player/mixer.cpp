// The channel mixer: renders the sounding voices into the float mix buffer chunk by chunk,
// where a chunk ends at a loop boundary, at the end of a volume ramp or at the end of the run.
#include "mixer.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "mix_kernels.h"
#include "song.h"

namespace {

constexpr float kInverse255 = 1.0f / 255.0f;
constexpr float kInverse256 = 1.0f / 256.0f;

constexpr std::int32_t kRampFramesAt44100 = 128;

constexpr std::uint64_t kLookAheadLimit = std::uint64_t{1} << 56;
// Steps of 2^24 samples per frame or more are held at just below that, so that every
// position stays far inside the signed 64-bit range the boundary handling works in.
constexpr std::uint64_t kMaxStep = (std::uint64_t{1} << 56) - 1;
// Longest chunk mixed without a fresh look-ahead; far above any block length, and short
// enough that the look-ahead's truncation error stays below one sample.
constexpr std::int32_t kMaxChunkFrames = 1 << 20;

std::uint64_t JoinPosition(std::uint32_t whole, std::uint32_t fraction) {
    return (std::uint64_t{whole} << 32) | fraction;
}

// Frames of the chunk that starts at `position`: the frames up to and including the one
// that reaches the boundary (*atBoundary set), or `remaining` when none is reached.
std::int32_t LookAhead(std::uint64_t position, std::uint64_t step, bool forward,
                       std::uint64_t boundary, std::int32_t remaining, bool* atBoundary) {
    const std::int64_t signedPosition = static_cast<std::int64_t>(position);
    const std::int64_t signedBoundary = static_cast<std::int64_t>(boundary);
    // A position on or past the boundary meets it at once.
    if (forward ? signedPosition >= signedBoundary : signedPosition <= signedBoundary) {
        *atBoundary = true;
        return 0;
    }
    const std::uint64_t distance = forward ? boundary - position : position - boundary;
    const std::uint64_t coarseStep = step >> 8;
    std::uint64_t frames;
    if (distance < kLookAheadLimit && coarseStep != 0 && coarseStep <= 0xFFFFFFFFu) {
        const std::uint64_t coarseDistance = distance >> 8;
        frames = coarseDistance / coarseStep + (coarseDistance % coarseStep != 0 ? 1 : 0);
    } else if (step == 0) {
        *atBoundary = false;
        return remaining;
    } else {
        // Very long samples and extreme steps: the exact count.
        frames = distance / step + (distance % step != 0 ? 1 : 0);
    }
    if (frames <= static_cast<std::uint64_t>(remaining)) {
        *atBoundary = true;
        return static_cast<std::int32_t>(frames);
    }
    *atBoundary = false;
    return remaining;
}

// Turns a voice that has met its boundary in a forward loop; returns the new position.
std::uint64_t WrapForward(std::uint64_t position, std::uint32_t loopEnd, std::uint32_t loopLength) {
    // The whole part is taken as signed: a position a little short of the end lands just
    // below the loop start, which is -1 for a loop that starts at 0.
    std::int64_t whole = static_cast<std::int64_t>(position) >> 32;
    if (whole >= loopEnd) {
        whole -= static_cast<std::int64_t>(loopLength) * ((whole - loopEnd) / loopLength + 1);
    } else {
        whole -= loopLength;
    }
    return (static_cast<std::uint64_t>(whole) << 32) | static_cast<std::uint32_t>(position);
}

// Reflects a ping-pong voice at the loop ends until it lies inside the loop.
std::uint64_t Reflect(std::uint64_t position, std::int32_t* direction, std::uint32_t loopStart,
                      std::uint32_t loopEnd) {
    const std::int64_t start = static_cast<std::int64_t>(loopStart) << 32;
    const std::int64_t end = static_cast<std::int64_t>(loopEnd) << 32;
    const std::int64_t period = 2 * (end - start);
    std::int64_t p = static_cast<std::int64_t>(position);
    // A reflection at one end followed by one at the other moves the position by exactly
    // one period; whole periods beyond the first are removed at once.
    if (*direction == 1 && p >= end) {
        const std::int64_t periods = (p - end) / period;
        if (periods >= 2) p -= (periods - 1) * period;
    } else if (*direction != 1 && p < start) {
        const std::int64_t periods = (start - p) / period;
        if (periods >= 2) p += (periods - 1) * period;
    }
    bool atEnd = *direction == 1;
    for (;;) {
        if (atEnd) {
            p = 2 * end - 1 - p;
            *direction = 2;
            if (p >= start) break;
        } else {
            p = 2 * start - 1 - p;
            *direction = 1;
            if (p < end) break;
        }
        atEnd = !atEnd;
    }
    return static_cast<std::uint64_t>(p);
}

// Mixes `frames` frames at steady gains: pairs at the target gains, an odd last frame at
// the current levels.
std::uint64_t MixSteady(float* out, std::int32_t frames, const std::int16_t* data,
                        std::uint32_t lastIndex, std::uint64_t position, std::uint64_t step,
                        bool forward, const MixVoice& voice) {
    const std::uint64_t signedStep = forward ? step : std::uint64_t{0} - step;
    if ((voice.leftVolume | voice.rightVolume | voice.currentLeft | voice.currentRight) == 0) {
        // A faded-out voice adds only zeros: it just moves on, as mixing would have moved it.
        return position + static_cast<std::uint64_t>(frames) * signedStep;
    }
    const MixKernels& kernels = ActiveMixKernels();
    const float leftGain = static_cast<float>(voice.leftVolume) * kInverse255;
    const float rightGain = static_cast<float>(voice.rightVolume) * kInverse255;
    const std::int32_t paired = frames & ~1;
    position =
        kernels.mixSteady(out, paired, data, lastIndex, position, signedStep, leftGain, rightGain);
    if ((frames & 1) != 0) {
        position = kernels.mixSteady(
            out + 2 * static_cast<std::ptrdiff_t>(paired), 1, data, lastIndex, position, signedStep,
            static_cast<float>(voice.currentLeft) * kInverse256 * kInverse255,
            static_cast<float>(voice.currentRight) * kInverse256 * kInverse255);
    }
    return position;
}

// Mixes `frames` frames while the gains glide; stores the levels reached.
std::uint64_t MixRamp(float* out, std::int32_t frames, const std::int16_t* data,
                      std::uint32_t lastIndex, std::uint64_t position, std::uint64_t step,
                      bool forward, MixVoice& voice) {
    float leftGain = static_cast<float>(voice.currentLeft) * kInverse256 * kInverse255;
    float rightGain = static_cast<float>(voice.currentRight) * kInverse256 * kInverse255;
    const std::uint64_t signedStep = forward ? step : std::uint64_t{0} - step;
    position =
        ActiveMixKernels().mixRamp(out, frames, data, lastIndex, position, signedStep, &leftGain,
                                   &rightGain, voice.rampLeftStep, voice.rampRightStep);
    voice.currentLeft = static_cast<std::int32_t>(std::nearbyint(leftGain * 255.0f * 256.0f));
    voice.currentRight = static_cast<std::int32_t>(std::nearbyint(rightGain * 255.0f * 256.0f));
    return position;
}

// Works out the ramp for the next chunk (continuing the running one when the targets are
// unchanged); returns its length in frames, 0 for none.
std::int32_t PrepareRamp(const Mixer& mixer, MixVoice& voice) {
    if (voice.rampFramesLeft != 0 && voice.leftVolume == voice.rampLeftTarget &&
        voice.rightVolume == voice.rampRightTarget) {
        return voice.rampFramesLeft;
    }
    voice.rampLeftTarget = voice.leftVolume;
    voice.rampRightTarget = voice.rightVolume;
    const std::int32_t leftDifference = voice.leftVolume - voice.currentLeft / 256;
    const std::int32_t rightDifference = voice.rightVolume - voice.currentRight / 256;
    voice.rampLeftStep = leftDifference != 0 ? static_cast<float>(leftDifference) * kInverse255 *
                                                   mixer.rampReciprocal
                                             : 0.0f;
    voice.rampRightStep = rightDifference != 0 ? static_cast<float>(rightDifference) * kInverse255 *
                                                     mixer.rampReciprocal
                                               : 0.0f;
    voice.rampFramesLeft = (leftDifference != 0 || rightDifference != 0) ? mixer.rampFrames : 0;
    return voice.rampFramesLeft;
}

void MixOneVoice(const Mixer& mixer, MixVoice& voice, float* out, std::int32_t frames) {
    std::uint64_t position = JoinPosition(voice.positionInt, voice.positionFrac);
    std::uint64_t step = JoinPosition(static_cast<std::uint32_t>(voice.stepInt), voice.stepFrac);
    if (step > kMaxStep) step = kMaxStep;
    std::int32_t remaining = frames;
    for (;;) {
        const Sample* sample = voice.sample;
        const std::uint32_t loopStart = sample->loopStart;
        const std::uint32_t loopLength = sample->loopLength;
        const std::uint32_t loopEnd = loopStart + loopLength;
        const bool forward = voice.direction == 1;
        const std::uint64_t boundary = std::uint64_t{forward ? loopEnd : loopStart} << 32;

        bool atBoundary = false;
        const std::int32_t window = remaining < kMaxChunkFrames ? remaining : kMaxChunkFrames;
        std::int32_t chunk = LookAhead(position, step, forward, boundary, window, &atBoundary);

        const std::int32_t rampLength = PrepareRamp(mixer, voice);
        if (rampLength > 0 && chunk > rampLength) {
            // The ramp ends first: mix up to its end, then look ahead again from there.
            chunk = rampLength;
            atBoundary = false;
        }

        if (chunk > 0) {
            if (sample->data == nullptr) {
                // A sample that claims frames but has none cannot sound.
                voice.sample = nullptr;
                voice.positionInt = voice.positionFrac = 0;
                return;
            }
            if (rampLength > 0) {
                position =
                    MixRamp(out, chunk, sample->data, loopEnd, position, step, forward, voice);
                voice.rampFramesLeft -= chunk;
                if (voice.rampFramesLeft == 0) {
                    voice.rampLeftStep = voice.rampRightStep = 0.0f;
                    voice.currentLeft = voice.leftVolume * 256;
                    voice.currentRight = voice.rightVolume * 256;
                }
            } else {
                position =
                    MixSteady(out, chunk, sample->data, loopEnd, position, step, forward, voice);
            }
            out += 2 * static_cast<std::ptrdiff_t>(chunk);
            remaining -= chunk;
        }

        if (atBoundary) {
            if ((sample->loopKind & kLoopForward) != 0 && loopLength != 0) {
                position = forward ? WrapForward(position, loopEnd, loopLength)
                                   : Reflect(position, &voice.direction, loopStart, loopEnd);
            } else if ((sample->loopKind & kLoopPingPong) != 0 && loopLength != 0) {
                position = Reflect(position, &voice.direction, loopStart, loopEnd);
            } else {
                voice.sample = nullptr;
                voice.positionInt = voice.positionFrac = 0;
                return;
            }
        }
        // Otherwise the run ends here, or the chunk was cut short by a ramp's end or the
        // chunk limit and mixing goes on from this position.
        if (remaining <= 0) break;
    }
    voice.positionInt = static_cast<std::uint32_t>(position >> 32);
    voice.positionFrac = static_cast<std::uint32_t>(position);
}

}  // namespace

void ResetMixer(Mixer& mixer, std::int32_t outputRate) {
    mixer.outputRate = outputRate;
    std::int32_t rampFrames =
        static_cast<std::int32_t>(std::int64_t{outputRate} * kRampFramesAt44100 / 44100);
    // deliberate:
    // rates too low to give a ramp frame still give one, so that the reciprocal stays finite.
    if (rampFrames < 1) rampFrames = 1;
    mixer.rampFrames = rampFrames;
    mixer.rampReciprocal = 1.0f / static_cast<float>(rampFrames);
    ResetVoiceTable(mixer);
}

void ResetVoiceTable(Mixer& mixer) {
    std::memset(static_cast<void*>(mixer.voices), 0, sizeof mixer.voices);
    for (int slot = 0; slot < kVoiceCount; ++slot) {
        mixer.voices[slot].index = slot;
        mixer.voices[slot].stepInt = 1;
    }
}

MixVoice* PartnerVoice(Mixer& mixer, MixVoice* voice) {
    const std::ptrdiff_t slot = voice - mixer.voices;
    return &mixer.voices[slot < kPartnerDistance ? slot + kPartnerDistance
                                                 : slot - kPartnerDistance];
}

void MixVoices(Mixer& mixer, float* destination, std::int32_t frames) {
    if (frames < 1 || destination == nullptr) return;
    for (int slot = 0; slot < kMixedVoiceCount; ++slot) {
        MixVoice& voice = mixer.voices[slot];
        if (voice.sample != nullptr) MixOneVoice(mixer, voice, destination, frames);
    }
}

void StartVoiceNote(Mixer& mixer, MixVoice** channelVoice, const Sample* sample) {
    MixVoice* voice = *channelVoice;
    if (voice->sample != nullptr) {
        // The old note fades out on the voice it played on; the channel carries on with the
        // partner, which starts from a copy of the old voice's settings.
        MixVoice* partner = PartnerVoice(mixer, voice);
        *partner = *voice;
        partner->index = static_cast<std::int32_t>(partner - mixer.voices);
        voice->shownVolume = 0;
        voice->volume = 0;
        voice->leftVolume = 0;
        voice->rightVolume = 0;
        voice = partner;
        *channelVoice = partner;
    }
    voice->sample = sample;
    const std::uint64_t loopEnd =
        sample != nullptr ? std::uint64_t{sample->loopStart} + sample->loopLength : 0;
    if (voice->startOffset >= loopEnd) voice->startOffset = 0;
    voice->positionInt = voice->startOffset;
    voice->positionFrac = 0;
    voice->direction = 1;
    voice->startOffset = 0;
    voice->currentLeft = 0;
    voice->currentRight = 0;
    voice->rampFramesLeft = 0;
}

void SetVoiceGains(MixVoice* voice, std::int32_t leftVolume, std::int32_t rightVolume) {
    voice->leftVolume = leftVolume;
    voice->rightVolume = rightVolume;
}

void SetVoiceVolume(MixVoice* voice, std::int32_t volume) {
    voice->volume = volume;
    voice->shownVolume = volume;
    SetVoiceGains(voice, volume * voice->panning / 255, volume * (255 - voice->panning) / 255);
}

void SetVoicePanning(MixVoice* voice, std::int32_t panning) {
    voice->panning = panning;
    voice->shownPanning = panning;
    SetVoiceGains(voice, voice->volume * panning / 255, (255 - panning) * voice->volume / 255);
}

void SetVoicePitch(const Mixer& mixer, MixVoice* voice, std::int32_t frequency) {
    voice->frequency = frequency;
    if (mixer.outputRate <= 0) return;
    const std::uint32_t rate = static_cast<std::uint32_t>(mixer.outputRate);
    const std::uint32_t pitch = frequency < 100 ? 100u : static_cast<std::uint32_t>(frequency);
    voice->stepInt = static_cast<std::int32_t>(pitch / rate);
    voice->stepFrac = static_cast<std::uint32_t>((std::uint64_t{pitch % rate} << 32) / rate);
}

void ResetVoicePosition(MixVoice* voice) {
    voice->positionInt = 0;
    voice->positionFrac = 0;
    voice->startOffset = 0;
}

void SetVoiceStartOffset(MixVoice* voice, std::uint32_t offset) {
    voice->startOffset = offset;
}
