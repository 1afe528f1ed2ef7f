// A channel: one track's sequencer state, what its row and effects last did, and the voice of
// the mixer it plays on. The sequencer and the effects both work on it.
#pragma once

#include <cstdint>

#include "song.h"

struct MixVoice;

// Bits of Channel::requests: what ApplyChannelToVoice must do this tick.
enum ChannelRequest : std::uint8_t {
    kRequestPitch = 0x01,
    kRequestVolume = 0x02,
    kRequestPanning = 0x04,
    kRequestNoteStart = 0x08,
    kRequestPositionReset = 0x20,
};

// Where a row's cells were read: a pattern loop moves the song's row away from it during the
// row, and the row's later ticks still act on these cells.
struct RowPosition {
    std::int32_t orderPosition;
    std::int32_t row;
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
    // 16.16 envelope values in 64 bits: a point far beyond the position (x runs up to 65535)
    // puts the value up to 2^38 away from the segment's ends before it is clamped for output.
    std::int64_t volEnvValue;
    std::int32_t volEnvOutput;
    std::int32_t volEnvSlope;
    std::uint8_t volEnvDone;
    std::int32_t panEnvTick;
    std::int32_t panEnvPoint;
    std::int64_t panEnvValue;
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

    // The cell this channel read at its row's first tick; the later ticks of the row act on it.
    Cell rowCell;
    // Volume, period and panning before the row's cell acted; a note delay restores them.
    std::int32_t rowStartVolume;
    std::int32_t rowStartPeriod;
    std::int32_t rowStartPanning;
};
