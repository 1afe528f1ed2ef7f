// The in-memory song: what the loader builds from an XM image and the sequencer and mixer read.
#pragma once

#include <cstdint>

constexpr int kMaxChannels = 32;
constexpr int kOrderTableSize = 256;
constexpr int kSamplesPerInstrument = 16;
constexpr int kSampleMapSize = 96;  // one sample slot per note 0..95
constexpr int kEnvelopePointCount = 12;
constexpr int kSampleSlackBytes = 16;  // zero-filled room behind every sample's data

constexpr std::uint8_t kNoteKeyOff = 255;  // stored for the file's note 97
constexpr std::int16_t kFlagLinearFrequencies = 1;

enum LoopKind : std::uint8_t {
    kLoopNone = 1,
    kLoopForward = 2,
    kLoopPingPong = 4,
};

struct Sample {
    std::int16_t* data;        // length values and the slack; null when length is 0
    std::uint32_t length;      // frames
    std::uint32_t loopStart;   // frames
    std::uint32_t loopLength;  // frames; equals length (loopStart 0) for a sample without loop
    std::uint8_t volume;       // 0..64
    std::int8_t finetune;      // 1/128 semitone
    std::int32_t panning;      // 0..255
    std::uint8_t bits;         // 8 or 16 as in the file; 16 once converted
    std::uint8_t loopKind;     // LoopKind
    std::int8_t relativeNote;  // semitones
};

struct EnvelopePoint {
    std::uint16_t x;  // ticks
    std::uint16_t y;  // 0..64
};

struct Instrument {
    std::int32_t sampleCount;
    const Sample* samples[kSamplesPerInstrument];  // the song's own records, or &EmptySample
    std::uint8_t sampleMap[kSampleMapSize];
    EnvelopePoint volumeEnvelope[kEnvelopePointCount];
    EnvelopePoint panningEnvelope[kEnvelopePointCount];
    std::uint8_t volumePointCount;
    std::uint8_t panningPointCount;
    std::uint8_t volumeSustainPoint;
    std::uint8_t volumeLoopStart;
    std::uint8_t volumeLoopEnd;
    std::uint8_t panningSustainPoint;
    std::uint8_t panningLoopStart;
    std::uint8_t panningLoopEnd;
    std::uint8_t volumeType;  // bit 0 on, bit 1 sustain, bit 2 loop
    std::uint8_t panningType;
    std::uint8_t autoVibratoType;
    std::uint8_t autoVibratoSweep;
    std::uint8_t autoVibratoDepth;
    std::uint8_t autoVibratoRate;
    std::uint16_t fadeout;  // per tick: twice the file's value
};

struct Cell {
    std::uint8_t note;  // 0 none, 1..96, kNoteKeyOff
    std::uint8_t instrument;
    std::uint8_t volumeCommand;
    std::uint8_t effect;
    std::uint8_t effectParam;
};

struct Pattern {
    std::int32_t rowCount;
    Cell* cells;  // row-major: row r, channel c is cell r * channelCount + c
};

struct Song;
using TickCallback = void (*)(Song* song);

struct Song {
    Pattern* patterns;        // patternSlotCount records
    Instrument* instruments;  // instrumentCount records, indexed by instrument number - 1
    std::int32_t tickFramesLeft;
    std::int32_t tickLength;
    std::int32_t tickRate;  // output frames per second the tick length is counted in
    std::int16_t songLength;
    std::int16_t restartPosition;
    std::int16_t channelCount;
    std::int32_t usedPatternCount;
    std::int32_t patternSlotCount;
    std::int16_t instrumentCount;
    std::int16_t flags;
    std::int16_t defaultSpeed;
    std::int16_t defaultBpm;
    std::uint8_t orderTable[kOrderTableSize];
    std::uint8_t initialGlobalVolume;
    std::int32_t globalVolume;
    std::uint8_t globalVolumeSlideMemory;
    std::int32_t tick;
    std::int32_t speed;
    std::int32_t bpm;
    std::int32_t row;
    std::int32_t orderPosition;
    std::int32_t extraTicks;
    std::int32_t pendingRow;    // -1 for none
    std::int32_t pendingOrder;  // -1 for none
    TickCallback tickCallback;
};

// All-zero placeholders shared by every song, never released and never changed.
extern const Sample EmptySample;
extern const Instrument EmptyInstrument;

// Every Sample record but EmptySample was allocated by its song and belongs to it: the
// set-finetune effect changes it and FreeModule releases it. The writable record, or null for
// the placeholder (and for null).
inline Sample* WritableSample(const Sample* sample) {
    return sample == &EmptySample ? nullptr : const_cast<Sample*>(sample);
}

// Builds a song from a length-prefixed XM image; null when it cannot be played.
Song* LoadModule(const void* image);
// Stops the output, whatever song it plays, then releases this song; false for null.
// <windows.h> defines a FreeModule macro (for FreeLibrary): a Windows build undoes it before
// this declaration is seen.
bool FreeModule(Song* song);
