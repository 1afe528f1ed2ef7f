// The module as the composer builds it (sample values, loops in frames, envelopes as points),
// and its XM file image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "song.h"

struct XmSample {
    std::string name;
    std::vector<std::int16_t> values;  // -128..127 for 8-bit samples
    bool sixteenBit = false;
    std::uint8_t loopKind = kLoopNone;  // LoopKind
    std::uint32_t loopStart = 0;        // frames
    std::uint32_t loopLength = 0;       // frames
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t panning = 128;
    std::int8_t relativeNote = 0;
};

// One envelope; an index of -1 leaves that feature off. Points are (tick, value 0..64).
struct XmEnvelope {
    std::vector<EnvelopePoint> points;
    int sustainPoint = -1;
    int loopStart = -1;
    int loopEnd = -1;
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;  // every note maps to the first one
    XmEnvelope volumeEnvelope;
    XmEnvelope panningEnvelope;
    std::uint8_t autoVibratoType = 0;
    std::uint8_t autoVibratoSweep = 0;
    std::uint8_t autoVibratoDepth = 0;
    std::uint8_t autoVibratoRate = 0;
    std::uint16_t fadeout = 0;  // file value: the player subtracts twice this per tick
};

struct XmPattern {
    int rowCount = 0;
    std::vector<Cell> cells;  // row-major, channelCount cells per row
};

struct XmModule {
    std::string name;
    int channelCount = 0;
    int restartPosition = 0;
    int defaultSpeed = 6;
    int defaultBpm = 125;
    int flags = 0;
    std::vector<std::uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// The module as an XM file image, written through the shared XM file writer.
std::vector<std::uint8_t> SerializeModule(const XmModule& module);

// Packed form of one cell: a raw five-byte cell when every field is set, otherwise a mask byte
// followed by the fields present.
void AppendPackedCell(std::vector<std::uint8_t>& out, const Cell& cell);

// Delta coding of sample values as stored in the file (8-bit: one byte per value).
std::vector<std::uint8_t> DeltaEncode(const std::vector<std::int16_t>& values, bool sixteenBit);
