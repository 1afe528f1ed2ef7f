// The sequencer: per-channel state and the tick routine that turns the song into voice
// settings, once per tick, from the block filler.
#pragma once

#include <cstdint>

struct Song;
struct Sample;
struct Instrument;
struct MixVoice;

// Bits of Channel::requests: what ApplyChannelToVoice must do this tick.
enum ChannelRequest : std::uint8_t {
    kRequestPitch = 0x01,
    kRequestVolume = 0x02,
    kRequestPanning = 0x04,
    kRequestNoteStart = 0x08,
    kRequestPositionReset = 0x20,
};

struct Channel {
    std::uint8_t lastNote;  // note number - 1
    std::uint8_t requests;
    MixVoice* voice;
    std::int32_t period;
    std::int32_t volume;   // 0..64
    std::int32_t panning;  // 0..255
    std::int32_t volumeDelta;
    std::int32_t periodDelta;
    std::int32_t volEnvTick;
    std::int32_t volEnvPoint;
    std::int32_t volEnvValue;
    std::int32_t volEnvOutput;
    std::int32_t volEnvSlope;
    std::uint8_t volEnvDone;
    std::int32_t panEnvTick;
    std::int32_t panEnvPoint;
    std::int32_t panEnvValue;
    std::int32_t panEnvOutput;
    std::int32_t panEnvSlope;
    std::uint8_t panEnvDone;
    std::int32_t fadeoutVolume;
    std::int32_t autoVibratoPhase;
    std::int32_t autoVibratoSweepTicks;
    std::uint8_t keyOff;
    std::uint8_t instrumentIndex;
    std::uint8_t realNote;
    std::int32_t notePeriod;
    std::uint8_t previousEffect;
    std::int32_t offsetMemory;
    std::uint8_t portaDownMemory;
    std::uint8_t portaUpMemory;
    std::uint8_t extraFineDownMemory;
    std::uint8_t extraFineUpMemory;
    std::uint8_t volumeSlideMemory;
    std::uint8_t panningSlideMemory;
    std::uint8_t retrigVolumeMode;
    std::uint8_t retrigInterval;
    std::int32_t portaTarget;
    std::uint8_t portaSpeed;
    std::int8_t vibratoPosition;
    std::uint8_t vibratoSpeed;
    std::uint8_t vibratoDepth;
    std::int8_t tremoloPosition;
    std::uint8_t tremoloSpeed;
    std::uint8_t tremoloDepth;
    std::uint8_t tremorCounter;
    std::uint8_t tremorOnTicks;
    std::uint8_t tremorOffTicks;
    std::int32_t loopStartRow;
    std::int32_t loopCounter;
    std::uint8_t waveforms;  // low nibble vibrato, high nibble tremolo
    std::uint8_t fineVolumeMemory;
    std::uint8_t finePortaUpMemory;
    std::uint8_t finePortaDownMemory;
};

// Runs one tick of the song; the song's tickCallback.
void SequencerTick(Song* song);
