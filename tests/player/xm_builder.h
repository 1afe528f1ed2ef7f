// Test helper: writes small XM module images in memory, field by field, so that loader and
// player tests can state exactly what a file holds.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace xmtest {

using Bytes = std::vector<std::uint8_t>;

struct XmSample {
    // Header values exactly as stored in the file (lengths and loop points in bytes).
    std::uint32_t length = 0;
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t type = 0;  // bits 0-1 loop kind, bit 4 16-bit data
    std::uint8_t panning = 128;
    std::int8_t relativeNote = 0;
    Bytes data;  // the stored (delta-coded) data bytes
};

struct XmEnvelope {
    std::uint16_t points[12][2] = {};
    std::uint8_t count = 0;
    std::uint8_t sustain = 0;
    std::uint8_t loopStart = 0;
    std::uint8_t loopEnd = 0;
    std::uint8_t type = 0;
};

struct XmInstrument {
    std::vector<XmSample> samples;
    std::int32_t sampleCountOverride = -1;  // the stored sample count, when not samples.size()
    std::uint32_t headerSize = 0;           // 0: 263 with samples, 29 without
    std::uint8_t sampleMap[96] = {};
    XmEnvelope volume;
    XmEnvelope panning;
    std::uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    std::uint16_t fadeout = 0;
};

struct XmPattern {
    std::uint16_t rows = 64;
    Bytes packed;  // the packed cells; empty: packed size 0
    std::int32_t packedSizeOverride = -1;
};

struct XmModule {
    std::string id = "Extended Module: ";
    std::uint32_t headerSize = 276;
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

inline void Put8(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
}
inline void Put16(Bytes& out, std::uint32_t value) {
    Put8(out, value);
    Put8(out, value >> 8);
}
inline void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}
inline void PutZeros(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

// The XM bytes of a module (without the length prefix).
inline Bytes BuildXm(const XmModule& module) {
    Bytes out;
    for (std::size_t i = 0; i < 17; ++i) Put8(out, i < module.id.size() ? module.id[i] : 0);
    PutZeros(out, 20);  // name
    Put8(out, 0x1A);
    PutZeros(out, 20);  // tracker
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
    out.resize(headerStart + module.headerSize, 0);

    for (const XmPattern& pattern : module.patterns) {
        Put32(out, 9);
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
            instrument.headerSize != 0 ? instrument.headerSize : (count > 0 ? 263u : 29u);
        Put32(out, headerSize);
        PutZeros(out, 22);  // name
        Put8(out, 0);       // type
        Put16(out, count);
        if (count > 0) {
            Put32(out, 40);
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
            PutZeros(out, 22);
        }
        for (const XmSample& sample : instrument.samples) {
            out.insert(out.end(), sample.data.begin(), sample.data.end());
        }
    }
    return out;
}

// The image the player takes: a 32-bit little-endian byte count, then the bytes.
inline Bytes WithLengthPrefix(const Bytes& xm) {
    Bytes out;
    Put32(out, static_cast<std::uint32_t>(xm.size()));
    out.insert(out.end(), xm.begin(), xm.end());
    return out;
}

// 8-bit sample values as the file stores them: each byte the difference from the last.
inline Bytes DeltaCode8(const std::vector<std::int8_t>& values) {
    Bytes out;
    std::int8_t previous = 0;
    for (std::int8_t value : values) {
        Put8(out, static_cast<std::uint8_t>(value - previous));
        previous = value;
    }
    return out;
}

inline Bytes DeltaCode16(const std::vector<std::int16_t>& values) {
    Bytes out;
    std::int16_t previous = 0;
    for (std::int16_t value : values) {
        Put16(out, static_cast<std::uint16_t>(value - previous));
        previous = value;
    }
    return out;
}

// One cell in the raw form: the note byte (below 0x80) and the four other fields.
inline void PutRawCell(Bytes& out, std::uint8_t note, std::uint8_t instrument,
                       std::uint8_t volume, std::uint8_t effect, std::uint8_t param) {
    Put8(out, note);
    Put8(out, instrument);
    Put8(out, volume);
    Put8(out, effect);
    Put8(out, param);
}

// `count` empty cells, each as the lone mask byte 0x80.
inline void PutEmptyCells(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0x80);
}

// A small module that sounds: one 4-channel pattern with notes on instrument 1, whose one
// sample is a forward-looped 8-bit saw.
inline XmModule SmallSongModule() {
    XmModule module;
    module.channels = 4;
    module.songLength = 2;
    module.order[0] = 0;
    module.order[1] = 0;
    XmPattern pattern;
    pattern.rows = 4;
    PutRawCell(pattern.packed, 49, 1, 0x40, 0, 0);
    PutEmptyCells(pattern.packed, 3);
    PutEmptyCells(pattern.packed, 4);
    Put8(pattern.packed, 0x83);
    Put8(pattern.packed, 61);
    Put8(pattern.packed, 1);
    PutEmptyCells(pattern.packed, 3);
    Put8(pattern.packed, 0x81);
    Put8(pattern.packed, 97);
    PutEmptyCells(pattern.packed, 3);
    module.patterns.push_back(pattern);
    XmInstrument instrument;
    instrument.volume.count = 2;
    instrument.volume.points[1][0] = 10;
    instrument.volume.points[0][1] = 64;
    instrument.volume.type = 1;
    instrument.fadeout = 100;
    XmSample sample;
    std::vector<std::int8_t> saw;
    for (int i = 0; i < 32; ++i) saw.push_back(static_cast<std::int8_t>(i * 8 - 128));
    sample.data = DeltaCode8(saw);
    sample.length = 32;
    sample.loopStart = 8;
    sample.loopLength = 24;
    sample.type = 1;
    instrument.samples.push_back(sample);
    module.instruments.push_back(instrument);
    return module;
}

}  // namespace xmtest
