// Writes XM files record by record.
#include "xm_file.h"

#include <algorithm>
#include <iterator>
#include <type_traits>

#include "song.h"

namespace xmfile {

namespace {

// A text field padded with zeros (or cut) to its width, stored at `at`.
void StoreText(std::uint8_t* at, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        at[i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{0};
    }
}

void Append(Bytes& out, const Bytes& record) {
    out.insert(out.end(), record.begin(), record.end());
}

// The module header up to the end of the order table, then cut or padded to the header size
// the module states. A header size that points past the module is written as given, without
// padding.
Bytes ModuleHeader(const XmModule& module) {
    std::uint8_t at[xm::kOrderTableOffset + xm::kOrderTableLength] = {};
    StoreText(at, module.id, xm::kModuleIdLength);
    StoreText(at + xm::kModuleNameOffset, module.name, xm::kModuleNameLength);
    at[xm::kModuleMarkerOffset] = xm::kModuleMarker;
    StoreText(at + xm::kTrackerNameOffset, module.tracker, xm::kTrackerNameLength);
    xm::Store16(at + xm::kVersionOffset, xm::kVersion);
    xm::Store32(at + xm::kHeaderSizeOffset, module.headerSize);
    xm::Store16(at + xm::kSongLengthOffset, module.songLength);
    xm::Store16(at + xm::kRestartPositionOffset, module.restartPosition);
    xm::Store16(at + xm::kChannelCountOffset, module.channels);
    xm::Store16(at + xm::kPatternCountOffset,
                module.patternCountOverride >= 0
                    ? static_cast<std::uint32_t>(module.patternCountOverride)
                    : static_cast<std::uint32_t>(module.patterns.size()));
    xm::Store16(at + xm::kInstrumentCountOffset,
                module.instrumentCountOverride >= 0
                    ? static_cast<std::uint32_t>(module.instrumentCountOverride)
                    : static_cast<std::uint32_t>(module.instruments.size()));
    xm::Store16(at + xm::kFlagsOffset, module.flags);
    xm::Store16(at + xm::kDefaultSpeedOffset, module.speed);
    xm::Store16(at + xm::kDefaultBpmOffset, module.bpm);
    std::copy(std::begin(module.order), std::end(module.order), at + xm::kOrderTableOffset);
    if (module.headerSize > 0x10000) return Bytes(std::begin(at), std::end(at));
    const std::size_t stated = xm::kHeaderSizeOffset + module.headerSize;
    Bytes header(at, at + std::min(stated, sizeof at));
    header.insert(header.end(), stated - header.size(), 0);
    return header;
}

Bytes PatternHeader(const XmPattern& pattern) {
    Bytes header(xm::kPatternHeaderSize, 0);
    xm::Store32(header.data() + xm::kPatternHeaderLengthOffset, xm::kPatternHeaderSize);
    xm::Store16(header.data() + xm::kPatternRowCountOffset, pattern.rows);
    xm::Store16(header.data() + xm::kPatternPackedSizeOffset,
                pattern.packedSizeOverride >= 0
                    ? static_cast<std::uint32_t>(pattern.packedSizeOverride)
                    : static_cast<std::uint32_t>(pattern.packed.size()));
    return header;
}

void StoreEnvelope(std::uint8_t* at, const XmEnvelope& envelope) {
    for (std::size_t i = 0; i < xm::kEnvelopePoints; ++i) {
        xm::Store16(at + 4 * i, envelope.points[i][0]);
        xm::Store16(at + 4 * i + 2, envelope.points[i][1]);
    }
}

// The instrument header: its fields up to the fade-out when it has samples or its stated size
// holds them, only up to the sample count otherwise; padded to the stated size, never cut.
Bytes InstrumentHeader(const XmInstrument& instrument, std::uint32_t sampleCount) {
    const std::uint32_t headerSize =
        instrument.headerSize != 0
            ? instrument.headerSize
            : (sampleCount > 0 ? kInstrumentHeaderSize
                               : static_cast<std::uint32_t>(xm::kInstrumentShortHeaderSize));
    const bool full = sampleCount > 0 || headerSize >= xm::kInstrumentFieldsEnd;
    Bytes header(full ? xm::kInstrumentFieldsEnd : xm::kInstrumentShortHeaderSize, 0);
    std::uint8_t* at = header.data();
    xm::Store32(at + xm::kInstrumentHeaderSizeOffset, headerSize);
    StoreText(at + xm::kInstrumentNameOffset, instrument.name, xm::kInstrumentNameLength);
    xm::Store16(at + xm::kInstrumentSampleCountOffset, sampleCount);
    if (full) {
        xm::Store32(at + xm::kInstrumentSampleHeaderSizeOffset, kSampleHeaderSize);
        std::copy(std::begin(instrument.sampleMap), std::end(instrument.sampleMap),
                  at + xm::kInstrumentSampleMapOffset);
        StoreEnvelope(at + xm::kInstrumentVolumeEnvelopeOffset, instrument.volume);
        StoreEnvelope(at + xm::kInstrumentPanningEnvelopeOffset, instrument.panning);
        at[xm::kInstrumentVolumePointCountOffset] = instrument.volume.count;
        at[xm::kInstrumentPanningPointCountOffset] = instrument.panning.count;
        at[xm::kInstrumentVolumeSustainOffset] = instrument.volume.sustain;
        at[xm::kInstrumentVolumeLoopStartOffset] = instrument.volume.loopStart;
        at[xm::kInstrumentVolumeLoopEndOffset] = instrument.volume.loopEnd;
        at[xm::kInstrumentPanningSustainOffset] = instrument.panning.sustain;
        at[xm::kInstrumentPanningLoopStartOffset] = instrument.panning.loopStart;
        at[xm::kInstrumentPanningLoopEndOffset] = instrument.panning.loopEnd;
        at[xm::kInstrumentVolumeTypeOffset] = instrument.volume.type;
        at[xm::kInstrumentPanningTypeOffset] = instrument.panning.type;
        at[xm::kInstrumentVibratoTypeOffset] = instrument.vibratoType;
        at[xm::kInstrumentVibratoSweepOffset] = instrument.vibratoSweep;
        at[xm::kInstrumentVibratoDepthOffset] = instrument.vibratoDepth;
        at[xm::kInstrumentVibratoRateOffset] = instrument.vibratoRate;
        xm::Store16(at + xm::kInstrumentFadeoutOffset, instrument.fadeout);
    }
    if (header.size() < headerSize) header.resize(headerSize, 0);
    return header;
}

Bytes SampleHeader(const XmSample& sample) {
    Bytes header(xm::kSampleHeaderSize, 0);
    std::uint8_t* at = header.data();
    xm::Store32(at + xm::kSampleLengthOffset, sample.length);
    xm::Store32(at + xm::kSampleLoopStartOffset, sample.loopStart);
    xm::Store32(at + xm::kSampleLoopLengthOffset, sample.loopLength);
    at[xm::kSampleVolumeOffset] = sample.volume;
    at[xm::kSampleFinetuneOffset] = static_cast<std::uint8_t>(sample.finetune);
    at[xm::kSampleTypeOffset] = sample.type;
    at[xm::kSamplePanningOffset] = sample.panning;
    at[xm::kSampleRelativeNoteOffset] = static_cast<std::uint8_t>(sample.relativeNote);
    StoreText(at + xm::kSampleNameOffset, sample.name, xm::kSampleNameLength);
    return header;
}

}  // namespace

void Put8(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
}

void Put16(Bytes& out, std::uint32_t value) {
    Put8(out, value);
    Put8(out, value >> 8);
}

void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}

void PutZeros(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

void PutText(Bytes& out, const std::string& text, std::size_t width) {
    const std::size_t start = out.size();
    out.resize(start + width);
    StoreText(out.data() + start, text, width);
}

// The XM bytes of a module (without the length prefix).
Bytes BuildXm(const XmModule& module) {
    Bytes out = ModuleHeader(module);
    for (const XmPattern& pattern : module.patterns) {
        Append(out, PatternHeader(pattern));
        Append(out, pattern.packed);
    }
    for (const XmInstrument& instrument : module.instruments) {
        const std::uint32_t count = instrument.sampleCountOverride >= 0
                                        ? static_cast<std::uint32_t>(instrument.sampleCountOverride)
                                        : static_cast<std::uint32_t>(instrument.samples.size());
        Append(out, InstrumentHeader(instrument, count));
        for (const XmSample& sample : instrument.samples) Append(out, SampleHeader(sample));
        for (const XmSample& sample : instrument.samples) Append(out, sample.data);
    }
    return out;
}

// The image the player takes: a 32-bit little-endian byte count, then the bytes.
Bytes WithLengthPrefix(const Bytes& module) {
    Bytes out(4 + module.size());
    xm::Store32(out.data(), static_cast<std::uint32_t>(module.size()));
    std::copy(module.begin(), module.end(), out.begin() + 4);
    return out;
}

namespace {

template <typename Value>
Bytes DeltaCode(const std::vector<Value>& values) {
    Bytes out;
    Value previous = 0;
    for (const Value value : values) {
        const auto delta = static_cast<std::make_unsigned_t<Value>>(value - previous);
        if constexpr (sizeof(Value) == 1) {
            Put8(out, delta);
        } else {
            Put16(out, delta);
        }
        previous = value;
    }
    return out;
}

}  // namespace

Bytes DeltaCode8(const std::vector<std::int8_t>& values) {
    return DeltaCode(values);
}

Bytes DeltaCode16(const std::vector<std::int16_t>& values) {
    return DeltaCode(values);
}

// One cell in the raw form: the note byte (below 0x80) and the four other fields.
void PutRawCell(Bytes& out, std::uint8_t note, std::uint8_t instrument, std::uint8_t volume,
                std::uint8_t effect, std::uint8_t param) {
    Put8(out, note);
    Put8(out, instrument);
    Put8(out, volume);
    Put8(out, effect);
    Put8(out, param);
}

void PackCell(Bytes& out, std::uint8_t note, std::uint8_t instrument, std::uint8_t volume,
              std::uint8_t effect, std::uint8_t param) {
    if (note == kNoteKeyOff) note = xm::kFileKeyOffNote;
    const std::uint8_t fields[xm::kCellFieldCount] = {note, instrument, volume, effect, param};
    xm::PackCell(fields, [&out](std::uint8_t byte) { out.push_back(byte); });
}

void PutEmptyCells(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, xm::kCellMaskFlag);
}

}  // namespace xmfile
