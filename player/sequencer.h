// The sequencer: per-channel state and the tick routine that turns the song into voice
// settings, once per tick, from the block filler.
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

// What LookupSample finds for a channel: never null.
struct SampleLookup {
    Instrument* instrument;
    Sample* sample;
};

// Runs one tick of the song; the song's tickCallback.
void SequencerTick(Song* song);

// The order position and row whose cells the current row's ticks act on.
struct RowPosition {
    std::int32_t orderPosition;
    std::int32_t row;
};
RowPosition PlayingRow();

// Resets the song's playback clock, tempo and global volume, zeroes its channels, links channel
// i to voice i and makes the song the active one. The output parameters must be set first.
void ResetPlayback(Song* song);

// The first tick of a row: reads the row's cells and acts on them, channel by channel.
void ProcessRow(Song* song);
// Every later tick of a row: envelopes, volume column and effects of the row's cells.
void ProcessTick(Song* song);

// The channel's instrument and the sample its last note selects.
SampleLookup LookupSample(const Song* song, const Channel* channel);
// The set-up an instrument number in a cell causes.
void TriggerInstrument(Channel* channel, const Sample* sample);

// Period of real note n (0..255) with finetune f in 1/128 semitone, in the song's table.
std::int32_t NotePeriod(const Song* song, std::int32_t note, std::int32_t finetune);
// Period of real note n in the Amiga table; n may run up to kAmigaNoteLimit.
std::int32_t AmigaPeriod(std::int32_t note, std::int32_t finetune);
constexpr std::int32_t kAmigaNoteLimit = 255 + 15;  // highest real note plus an arpeggio step

// Playback frequency in Hz of a period plus its delta; clamped to 0..kMaxFrequency.
std::int32_t PeriodFrequency(const Song* song, std::int32_t period, std::int32_t periodDelta);
constexpr std::int32_t kMaxFrequency = 14317056;  // the Amiga clock over period 1

// Writes what the channel's requests ask for into its voice.
void ApplyChannelToVoice(Channel* channel, Sample* sample, const Song* song);
