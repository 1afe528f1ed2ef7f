// An editable view of an XM module image for the fuzzer's mutator and seed writer: the
// pattern cells unpacked, the instrument and sample headers as raw bytes at known offsets,
// so that a mutation can change one field and the image can be written out again.
// It reads the image the way the player's loader does (9-byte pattern headers, cells counted
// by rows and channels, 40-byte sample headers) but refuses anything truncated or odd, so
// that the mutator can fall back to plain byte mutations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "xm_format.h"

namespace xmfuzz {

using Bytes = std::vector<std::uint8_t>;

struct XmCell {
    std::uint8_t note = 0;
    std::uint8_t instrument = 0;
    std::uint8_t volume = 0;
    std::uint8_t effect = 0;
    std::uint8_t param = 0;
};

struct XmPatternPart {
    Bytes header;  // the pattern header's bytes (xm::kPatternHeaderSize)
    std::uint16_t rows = 0;
    std::vector<XmCell> cells;  // rows x channels
};

// Offsets inside an instrument header (from the header's size field), by the groups the
// mutator edits.
constexpr std::size_t kInstrumentSampleCount = xm::kInstrumentSampleCountOffset;
constexpr std::size_t kInstrumentSampleMap = xm::kInstrumentSampleMapOffset;
constexpr std::size_t kInstrumentVolumePoints = xm::kInstrumentVolumeEnvelopeOffset;
constexpr std::size_t kInstrumentPanningPoints = xm::kInstrumentPanningEnvelopeOffset;
// Point counts, sustain and loop points, envelope types.
constexpr std::size_t kInstrumentEnvelopeFields = xm::kInstrumentVolumePointCountOffset;
constexpr std::size_t kInstrumentVibrato =
    xm::kInstrumentVibratoTypeOffset;  // type, sweep, depth, rate
constexpr std::size_t kInstrumentFadeout = xm::kInstrumentFadeoutOffset;
constexpr std::size_t kInstrumentFullHeader = xm::kInstrumentFieldsEnd;  // all of the above present
constexpr std::size_t kSampleHeaderBytes = xm::kSampleHeaderSize;

struct XmInstrumentPart {
    Bytes header;  // as many bytes as its size field says
    std::vector<Bytes> sampleHeaders;
    std::vector<Bytes> sampleData;
};

struct XmLayout {
    Bytes header;  // the module header up to its end (60 + its size field)
    std::uint16_t channels = 0;
    std::vector<XmPatternPart> patterns;
    std::vector<XmInstrumentPart> instruments;
    Bytes trailer;  // whatever follows the last instrument
};

// False when the image is not a complete, plainly laid out XM module.
bool ParseXm(const std::uint8_t* data, std::size_t size, XmLayout* layout);
// The image again, patterns packed afresh; empty when a pattern does not fit its 16-bit size.
Bytes WriteXm(const XmLayout& layout);

std::uint16_t Get16(const Bytes& bytes, std::size_t offset);
std::uint32_t Get32(const Bytes& bytes, std::size_t offset);
void Set16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void Set32(Bytes& bytes, std::size_t offset, std::uint32_t value);

}  // namespace xmfuzz
