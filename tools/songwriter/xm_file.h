// XM files written record by record, every field as the file stores it (lengths and loop points
// in bytes, sample data delta-coded, cells packed). The composer's module and the tests' songs
// are both written through it; the tests also use it to state malformed files exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xm_format.h"

namespace xmfile {

using Bytes = std::vector<std::uint8_t>;

struct XmSample {
    std::uint32_t length = 0;
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t type = 0;  // bits 0-1 loop kind, bit 4 16-bit data
    std::uint8_t panning = 128;
    std::int8_t relativeNote = 0;
    std::string name;
    Bytes data;  // the stored (delta-coded) data bytes
};

struct XmEnvelope {
    std::uint16_t points[xm::kEnvelopePoints][2] = {};  // (x, y)
    std::uint8_t count = 0;
    std::uint8_t sustain = 0;
    std::uint8_t loopStart = 0;
    std::uint8_t loopEnd = 0;
    std::uint8_t type = 0;
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;
    std::int32_t sampleCountOverride = -1;  // the stored sample count, when not samples.size()
    // 0: 263 with samples, 29 without. The fields from the sample map on are written when the
    // instrument has samples or its header is long enough to hold them.
    std::uint32_t headerSize = 0;
    std::uint8_t sampleMap[xm::kInstrumentSampleMapLength] = {};
    XmEnvelope volume;
    XmEnvelope panning;
    std::uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    std::uint16_t fadeout = 0;  // file value: the player subtracts twice this per tick
};

struct XmPattern {
    std::uint16_t rows = 64;
    Bytes packed;  // the packed cells; empty: packed size 0
    std::int32_t packedSizeOverride = -1;
};

struct XmModule {
    std::string id = xm::kModuleId;
    std::string name;
    std::string tracker;
    std::uint32_t headerSize = xm::kStandardHeaderSize;  // counted from its own field
    std::uint16_t songLength = 1;
    std::uint16_t restartPosition = 0;
    std::uint16_t channels = 4;
    std::int32_t patternCountOverride = -1;
    std::int32_t instrumentCountOverride = -1;
    std::uint16_t flags = 1;
    std::uint16_t speed = 6;
    std::uint16_t bpm = 125;
    std::uint8_t order[256] = {};
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Sizes of the records as this writer produces them by default.
constexpr std::uint32_t kPatternHeaderSize = xm::kPatternHeaderSize;
constexpr std::uint32_t kInstrumentHeaderSize = xm::kInstrumentHeaderSize;
constexpr std::uint32_t kSampleHeaderSize = xm::kSampleHeaderSize;
constexpr std::uint8_t kFileKeyOffNote = xm::kFileKeyOffNote;

void Put8(Bytes& out, std::uint32_t value);
void Put16(Bytes& out, std::uint32_t value);
void Put32(Bytes& out, std::uint32_t value);
void PutZeros(Bytes& out, std::size_t count);
// A text field padded with zeros (or cut) to its width.
void PutText(Bytes& out, const std::string& text, std::size_t width);

// The XM bytes of a module (without the length prefix).
Bytes BuildXm(const XmModule& module);

// The image the player takes: a 32-bit little-endian byte count, then the bytes.
Bytes WithLengthPrefix(const Bytes& module);

// Sample values as the file stores them: each value the difference from the one before.
Bytes DeltaCode8(const std::vector<std::int8_t>& values);
Bytes DeltaCode16(const std::vector<std::int16_t>& values);

// One cell in the packed form: the five raw bytes when every field is set and the note is
// below 0x80, otherwise a mask byte followed by the fields present. Key-off is the player's
// note 255, stored as 97.
void PackCell(Bytes& out, std::uint8_t note, std::uint8_t instrument, std::uint8_t volume,
              std::uint8_t effect, std::uint8_t param);
// One cell in the raw form: the note byte (below 0x80) and the four other fields.
void PutRawCell(Bytes& out, std::uint8_t note, std::uint8_t instrument, std::uint8_t volume,
                std::uint8_t effect, std::uint8_t param);
// `count` empty cells, each as the lone mask byte 0x80.
void PutEmptyCells(Bytes& out, std::size_t count);

}  // namespace xmfile
