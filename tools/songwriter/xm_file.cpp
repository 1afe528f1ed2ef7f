// Writes XM files record by record.
#include "xm_file.h"

#include <algorithm>
#include <type_traits>

#include "song.h"

namespace xmfile {

namespace {

// An instrument header this long holds everything up to the fade-out.
constexpr std::uint32_t kExtendedInstrumentHeader = 241;

}  // namespace

void Put8(Bytes& out, std::uint32_t value) { out.push_back(static_cast<std::uint8_t>(value)); }

void Put16(Bytes& out, std::uint32_t value) {
    Put8(out, value);
    Put8(out, value >> 8);
}

void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}

void PutZeros(Bytes& out, std::size_t count) { out.insert(out.end(), count, 0); }

void PutText(Bytes& out, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        Put8(out, i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    }
}

// The XM bytes of a module (without the length prefix).
Bytes BuildXm(const XmModule& module) {
    Bytes out;
    for (std::size_t i = 0; i < 17; ++i) Put8(out, i < module.id.size() ? module.id[i] : 0);
    PutText(out, module.name, 20);
    Put8(out, 0x1A);
    PutText(out, module.tracker, 20);
    Put16(out, 0x0104);
    const std::size_t headerStart = out.size();
    Put32(out, module.headerSize);
    Put16(out, module.songLength);
    Put16(out, module.restartPosition);
    Put16(out, module.channels);
    Put16(out, module.patternCountOverride >= 0 ? static_cast<std::uint32_t>(module.patternCountOverride)
                                                : static_cast<std::uint32_t>(module.patterns.size()));
    Put16(out, module.instrumentCountOverride >= 0 ? static_cast<std::uint32_t>(module.instrumentCountOverride)
                                                   : static_cast<std::uint32_t>(module.instruments.size()));
    Put16(out, module.flags);
    Put16(out, module.speed);
    Put16(out, module.bpm);
    for (std::uint8_t entry : module.order) Put8(out, entry);
    // A header size that points past the module is written as given, without padding.
    if (module.headerSize <= 0x10000) out.resize(headerStart + module.headerSize, 0);

    for (const XmPattern& pattern : module.patterns) {
        Put32(out, kPatternHeaderSize);
        Put8(out, 0);
        Put16(out, pattern.rows);
        Put16(out, pattern.packedSizeOverride >= 0 ? static_cast<std::uint32_t>(pattern.packedSizeOverride)
                                                   : static_cast<std::uint32_t>(pattern.packed.size()));
        out.insert(out.end(), pattern.packed.begin(), pattern.packed.end());
    }

    for (const XmInstrument& instrument : module.instruments) {
        const std::size_t start = out.size();
        const std::uint32_t count = instrument.sampleCountOverride >= 0
            ? static_cast<std::uint32_t>(instrument.sampleCountOverride)
            : static_cast<std::uint32_t>(instrument.samples.size());
        const std::uint32_t headerSize =
            instrument.headerSize != 0 ? instrument.headerSize : (count > 0 ? kInstrumentHeaderSize : 29u);
        Put32(out, headerSize);
        PutText(out, instrument.name, 22);
        Put8(out, 0);  // type
        Put16(out, count);
        if (count > 0 || headerSize >= kExtendedInstrumentHeader) {
            Put32(out, kSampleHeaderSize);
            for (std::uint8_t slot : instrument.sampleMap) Put8(out, slot);
            for (const XmEnvelope* envelope : {&instrument.volume, &instrument.panning}) {
                for (const auto& point : envelope->points) {
                    Put16(out, point[0]);
                    Put16(out, point[1]);
                }
            }
            Put8(out, instrument.volume.count);
            Put8(out, instrument.panning.count);
            Put8(out, instrument.volume.sustain);
            Put8(out, instrument.volume.loopStart);
            Put8(out, instrument.volume.loopEnd);
            Put8(out, instrument.panning.sustain);
            Put8(out, instrument.panning.loopStart);
            Put8(out, instrument.panning.loopEnd);
            Put8(out, instrument.volume.type);
            Put8(out, instrument.panning.type);
            Put8(out, instrument.vibratoType);
            Put8(out, instrument.vibratoSweep);
            Put8(out, instrument.vibratoDepth);
            Put8(out, instrument.vibratoRate);
            Put16(out, instrument.fadeout);
        }
        if (out.size() < start + headerSize) out.resize(start + headerSize, 0);
        for (const XmSample& sample : instrument.samples) {
            Put32(out, sample.length);
            Put32(out, sample.loopStart);
            Put32(out, sample.loopLength);
            Put8(out, sample.volume);
            Put8(out, static_cast<std::uint8_t>(sample.finetune));
            Put8(out, sample.type);
            Put8(out, sample.panning);
            Put8(out, static_cast<std::uint8_t>(sample.relativeNote));
            Put8(out, 0);
            PutText(out, sample.name, 22);
        }
        for (const XmSample& sample : instrument.samples) {
            out.insert(out.end(), sample.data.begin(), sample.data.end());
        }
    }
    return out;
}

// The image the player takes: a 32-bit little-endian byte count, then the bytes.
Bytes WithLengthPrefix(const Bytes& xm) {
    Bytes out;
    Put32(out, static_cast<std::uint32_t>(xm.size()));
    out.insert(out.end(), xm.begin(), xm.end());
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

Bytes DeltaCode8(const std::vector<std::int8_t>& values) { return DeltaCode(values); }

Bytes DeltaCode16(const std::vector<std::int16_t>& values) { return DeltaCode(values); }

// One cell in the raw form: the note byte (below 0x80) and the four other fields.
void PutRawCell(Bytes& out, std::uint8_t note, std::uint8_t instrument,
                       std::uint8_t volume, std::uint8_t effect, std::uint8_t param) {
    Put8(out, note);
    Put8(out, instrument);
    Put8(out, volume);
    Put8(out, effect);
    Put8(out, param);
}

void PackCell(Bytes& out, std::uint8_t note, std::uint8_t instrument, std::uint8_t volume,
              std::uint8_t effect, std::uint8_t param) {
    if (note == kNoteKeyOff) note = kFileKeyOffNote;
    const std::uint8_t fields[5] = {note, instrument, volume, effect, param};
    const bool allSet = std::all_of(fields, fields + 5, [](std::uint8_t f) { return f != 0; });
    if (allSet && note < 0x80) {
        out.insert(out.end(), fields, fields + 5);
        return;
    }
    std::uint8_t mask = 0x80;
    for (int i = 0; i < 5; ++i) {
        if (fields[i] != 0) mask = static_cast<std::uint8_t>(mask | (1u << i));
    }
    out.push_back(mask);
    for (const std::uint8_t field : fields) {
        if (field != 0) out.push_back(field);
    }
}

void PutEmptyCells(Bytes& out, std::size_t count) { out.insert(out.end(), count, 0x80); }

}  // namespace xmfile
