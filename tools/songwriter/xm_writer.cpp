// Writes an XmModule as an Extended Module file image.
#include "xm_writer.h"

#include <algorithm>

namespace {

void Put8(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    Put8(out, value);
    Put8(out, value >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A text field padded with zeros (or cut) to its width.
void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        Put8(out, i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    }
}

void WriteHeader(std::vector<std::uint8_t>& out, const XmModule& module) {
    PutText(out, "Extended Module: ", 17);
    PutText(out, module.name, 20);
    Put8(out, 0x1A);
    PutText(out, "songwriter", 20);
    Put16(out, 0x0104);
    Put32(out, kXmHeaderSize);
    Put16(out, static_cast<unsigned>(module.orders.size()));
    Put16(out, static_cast<unsigned>(module.restartPosition));
    Put16(out, static_cast<unsigned>(module.channelCount));
    Put16(out, static_cast<unsigned>(module.patterns.size()));
    Put16(out, static_cast<unsigned>(module.instruments.size()));
    Put16(out, static_cast<unsigned>(module.flags));
    Put16(out, static_cast<unsigned>(module.defaultSpeed));
    Put16(out, static_cast<unsigned>(module.defaultBpm));
    for (int i = 0; i < kOrderTableSize; ++i) {
        Put8(out, i < static_cast<int>(module.orders.size()) ? module.orders[i] : 0u);
    }
}

void WritePattern(std::vector<std::uint8_t>& out, const XmPattern& pattern) {
    std::vector<std::uint8_t> packed;
    for (const Cell& cell : pattern.cells) {
        AppendPackedCell(packed, cell);
    }
    Put32(out, kXmPatternHeaderSize);
    Put8(out, 0);
    Put16(out, static_cast<unsigned>(pattern.rowCount));
    Put16(out, static_cast<unsigned>(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
}

std::uint8_t EnvelopeType(const XmEnvelope& envelope) {
    if (envelope.points.size() < 2) {
        return 0;
    }
    std::uint8_t type = 1;
    if (envelope.sustainPoint >= 0) {
        type |= 2;
    }
    if (envelope.loopStart >= 0 && envelope.loopEnd >= 0) {
        type |= 4;
    }
    return type;
}

void PutEnvelopePoints(std::vector<std::uint8_t>& out, const XmEnvelope& envelope) {
    for (int i = 0; i < kEnvelopePointCount; ++i) {
        const bool used = i < static_cast<int>(envelope.points.size());
        Put16(out, used ? envelope.points[i].x : 0u);
        Put16(out, used ? envelope.points[i].y : 0u);
    }
}

unsigned IndexOrZero(int index) {
    return index < 0 ? 0u : static_cast<unsigned>(index);
}

std::uint8_t SampleType(const XmSample& sample) {
    std::uint8_t type = 0;
    if (sample.loopKind == kLoopForward) {
        type = 1;
    } else if (sample.loopKind == kLoopPingPong) {
        type = 2;
    }
    if (sample.sixteenBit) {
        type |= 0x10;
    }
    return type;
}

void WriteInstrument(std::vector<std::uint8_t>& out, const XmInstrument& instrument) {
    const std::size_t start = out.size();
    Put32(out, kXmInstrumentHeaderSize);
    PutText(out, instrument.name, 22);
    Put8(out, 0);
    Put16(out, static_cast<unsigned>(instrument.samples.size()));
    Put32(out, kXmSampleHeaderSize);
    for (int note = 0; note < kSampleMapSize; ++note) {
        Put8(out, 0);  // every note plays the first sample
    }
    PutEnvelopePoints(out, instrument.volumeEnvelope);
    PutEnvelopePoints(out, instrument.panningEnvelope);
    Put8(out, static_cast<unsigned>(instrument.volumeEnvelope.points.size()));
    Put8(out, static_cast<unsigned>(instrument.panningEnvelope.points.size()));
    Put8(out, IndexOrZero(instrument.volumeEnvelope.sustainPoint));
    Put8(out, IndexOrZero(instrument.volumeEnvelope.loopStart));
    Put8(out, IndexOrZero(instrument.volumeEnvelope.loopEnd));
    Put8(out, IndexOrZero(instrument.panningEnvelope.sustainPoint));
    Put8(out, IndexOrZero(instrument.panningEnvelope.loopStart));
    Put8(out, IndexOrZero(instrument.panningEnvelope.loopEnd));
    Put8(out, EnvelopeType(instrument.volumeEnvelope));
    Put8(out, EnvelopeType(instrument.panningEnvelope));
    Put8(out, instrument.autoVibratoType);
    Put8(out, instrument.autoVibratoSweep);
    Put8(out, instrument.autoVibratoDepth);
    Put8(out, instrument.autoVibratoRate);
    Put16(out, instrument.fadeout);
    out.resize(start + kXmInstrumentHeaderSize, 0);  // reserved tail of the header

    for (const XmSample& sample : instrument.samples) {
        const std::uint32_t scale = sample.sixteenBit ? 2 : 1;  // bytes per frame
        const auto frames = static_cast<std::uint32_t>(sample.values.size());
        const bool looped = sample.loopKind != kLoopNone;
        Put32(out, frames * scale);
        Put32(out, looped ? sample.loopStart * scale : 0);
        Put32(out, looped ? sample.loopLength * scale : 0);
        Put8(out, sample.volume);
        Put8(out, static_cast<std::uint8_t>(sample.finetune));
        Put8(out, SampleType(sample));
        Put8(out, sample.panning);
        Put8(out, static_cast<std::uint8_t>(sample.relativeNote));
        Put8(out, 0);
        PutText(out, sample.name, 22);
    }
    for (const XmSample& sample : instrument.samples) {
        const std::vector<std::uint8_t> data = DeltaEncode(sample.values, sample.sixteenBit);
        out.insert(out.end(), data.begin(), data.end());
    }
}

}  // namespace

void AppendPackedCell(std::vector<std::uint8_t>& out, const Cell& cell) {
    const std::uint8_t note = cell.note == kNoteKeyOff ? kFileKeyOffNote : cell.note;
    const std::uint8_t fields[5] = {note, cell.instrument, cell.volumeCommand, cell.effect,
                                    cell.effectParam};
    const bool allSet = std::all_of(fields, fields + 5, [](std::uint8_t f) { return f != 0; });
    if (allSet && note < 0x80) {
        out.insert(out.end(), fields, fields + 5);
        return;
    }
    std::uint8_t mask = 0x80;
    for (int i = 0; i < 5; ++i) {
        if (fields[i] != 0) {
            mask = static_cast<std::uint8_t>(mask | (1u << i));
        }
    }
    out.push_back(mask);
    for (const std::uint8_t field : fields) {
        if (field != 0) {
            out.push_back(field);
        }
    }
}

std::vector<std::uint8_t> DeltaEncode(const std::vector<std::int16_t>& values, bool sixteenBit) {
    std::vector<std::uint8_t> out;
    out.reserve(values.size() * (sixteenBit ? 2 : 1));
    unsigned previous = 0;
    for (const std::int16_t value : values) {
        const unsigned current = static_cast<std::uint16_t>(value);
        const unsigned delta = (current - previous) & 0xFFFF;
        previous = current;
        if (sixteenBit) {
            Put16(out, delta);
        } else {
            Put8(out, delta);
        }
    }
    return out;
}

std::vector<std::uint8_t> SerializeModule(const XmModule& module) {
    std::vector<std::uint8_t> out;
    WriteHeader(out, module);
    for (const XmPattern& pattern : module.patterns) {
        WritePattern(out, pattern);
    }
    for (const XmInstrument& instrument : module.instruments) {
        WriteInstrument(out, instrument);
    }
    return out;
}
