#include "xm_layout.h"

#include <cstring>

namespace xmfuzz {

namespace {

constexpr char kModuleId[] = "Extended Module: ";
constexpr std::size_t kModuleIdLength = 17;
constexpr std::size_t kHeaderSizeOffset = 60;
constexpr std::size_t kStandardHeaderSize = 276;  // up to the end of the order table
constexpr std::size_t kMaxHeaderSize = 4096;
constexpr std::size_t kPatternHeaderBytes = 9;
constexpr std::size_t kMaxCells = 65536;
constexpr std::uint32_t kMaxInstrumentHeader = 4096;
constexpr std::uint16_t kMaxSamples = 16;
constexpr std::uint16_t kMaxPatterns = 256;
constexpr std::uint16_t kMaxInstruments = 128;
constexpr std::uint16_t kMaxChannels = 32;

// Reads forward through the image; any read past its end marks the cursor as failed.
struct Cursor {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
    bool failed = false;

    bool Take(std::size_t count, Bytes* out) {
        if (failed || count > size - position) {
            failed = true;
            return false;
        }
        if (out != nullptr) out->assign(data + position, data + position + count);
        position += count;
        return true;
    }
    std::uint8_t Byte() {
        Bytes one;
        return Take(1, &one) ? one[0] : 0;
    }
};

bool ReadCells(Cursor* cursor, std::size_t count, std::vector<XmCell>* cells) {
    cells->assign(count, XmCell{});
    for (XmCell& cell : *cells) {
        const std::uint8_t lead = cursor->Byte();
        if ((lead & 0x80) != 0) {
            if ((lead & 0x01) != 0) cell.note = cursor->Byte();
            if ((lead & 0x02) != 0) cell.instrument = cursor->Byte();
            if ((lead & 0x04) != 0) cell.volume = cursor->Byte();
            if ((lead & 0x08) != 0) cell.effect = cursor->Byte();
            if ((lead & 0x10) != 0) cell.param = cursor->Byte();
        } else {
            cell.note = lead;
            cell.instrument = cursor->Byte();
            cell.volume = cursor->Byte();
            cell.effect = cursor->Byte();
            cell.param = cursor->Byte();
        }
        if (cursor->failed) return false;
    }
    return true;
}

void PackCell(const XmCell& cell, Bytes* out) {
    const std::uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect,
                                    cell.param};
    std::uint8_t lead = 0x80;
    for (int i = 0; i < 5; ++i) {
        if (fields[i] != 0) lead = static_cast<std::uint8_t>(lead | (1u << i));
    }
    out->push_back(lead);
    for (int i = 0; i < 5; ++i) {
        if (fields[i] != 0) out->push_back(fields[i]);
    }
}

}  // namespace

std::uint16_t Get16(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t Get32(const Bytes& bytes, std::size_t offset) {
    return std::uint32_t{Get16(bytes, offset)} | (std::uint32_t{Get16(bytes, offset + 2)} << 16);
}

void Set16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Set32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    Set16(bytes, offset, static_cast<std::uint16_t>(value));
    Set16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

bool ParseXm(const std::uint8_t* data, std::size_t size, XmLayout* layout) {
    *layout = XmLayout{};
    if (size < kHeaderSizeOffset + 4 || std::memcmp(data, kModuleId, kModuleIdLength) != 0) {
        return false;
    }
    Bytes sizeField(data + kHeaderSizeOffset, data + kHeaderSizeOffset + 4);
    const std::uint32_t headerSize = Get32(sizeField, 0);
    if (headerSize < kStandardHeaderSize || headerSize > kMaxHeaderSize) return false;
    Cursor cursor{data, size};
    if (!cursor.Take(kHeaderSizeOffset + headerSize, &layout->header)) return false;
    layout->channels = Get16(layout->header, 68);
    const std::uint16_t patternCount = Get16(layout->header, 70);
    const std::uint16_t instrumentCount = Get16(layout->header, 72);
    if (layout->channels > kMaxChannels || patternCount > kMaxPatterns ||
        instrumentCount > kMaxInstruments) {
        return false;
    }

    for (std::uint16_t p = 0; p < patternCount; ++p) {
        XmPatternPart pattern;
        if (!cursor.Take(kPatternHeaderBytes, &pattern.header)) return false;
        pattern.rows = Get16(pattern.header, 5);
        const std::size_t cellCount = std::size_t{pattern.rows} * layout->channels;
        if (cellCount > kMaxCells) return false;
        const bool stored = Get16(pattern.header, 7) != 0;
        if (!ReadCells(&cursor, stored ? cellCount : 0, &pattern.cells)) return false;
        pattern.cells.resize(cellCount);
        layout->patterns.push_back(std::move(pattern));
    }

    for (std::uint16_t i = 0; i < instrumentCount; ++i) {
        XmInstrumentPart instrument;
        Bytes sizeBytes;
        if (!cursor.Take(4, &sizeBytes)) return false;
        const std::uint32_t instrumentHeaderSize = Get32(sizeBytes, 0);
        if (instrumentHeaderSize < kInstrumentSampleCount + 2 ||
            instrumentHeaderSize > kMaxInstrumentHeader) {
            return false;
        }
        cursor.position -= 4;
        if (!cursor.Take(instrumentHeaderSize, &instrument.header)) return false;
        const std::uint16_t samples = Get16(instrument.header, kInstrumentSampleCount);
        if (samples > kMaxSamples) return false;
        if (samples > 0 && instrumentHeaderSize < kInstrumentFullHeader) return false;
        instrument.sampleHeaders.resize(samples);
        instrument.sampleData.resize(samples);
        for (Bytes& header : instrument.sampleHeaders) {
            if (!cursor.Take(kSampleHeaderBytes, &header)) return false;
        }
        for (std::uint16_t s = 0; s < samples; ++s) {
            const std::uint32_t bytes = Get32(instrument.sampleHeaders[s], 0);
            if (!cursor.Take(bytes, &instrument.sampleData[s])) return false;
        }
        layout->instruments.push_back(std::move(instrument));
    }
    layout->trailer.assign(data + cursor.position, data + size);
    return true;
}

Bytes WriteXm(const XmLayout& layout) {
    Bytes out = layout.header;
    Set16(out, 68, layout.channels);
    Set16(out, 70, static_cast<std::uint16_t>(layout.patterns.size()));
    Set16(out, 72, static_cast<std::uint16_t>(layout.instruments.size()));
    for (const XmPatternPart& pattern : layout.patterns) {
        Bytes packed;
        bool anything = false;
        for (const XmCell& cell : pattern.cells) {
            PackCell(cell, &packed);
            anything = anything || cell.note != 0 || cell.instrument != 0 || cell.volume != 0 ||
                       cell.effect != 0 || cell.param != 0;
        }
        if (!anything) packed.clear();
        if (packed.size() > 0xFFFF) return {};
        Bytes header = pattern.header;
        Set16(header, 5, pattern.rows);
        Set16(header, 7, static_cast<std::uint16_t>(packed.size()));
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), packed.begin(), packed.end());
    }
    for (const XmInstrumentPart& instrument : layout.instruments) {
        Bytes header = instrument.header;
        Set16(header, kInstrumentSampleCount,
              static_cast<std::uint16_t>(instrument.sampleHeaders.size()));
        out.insert(out.end(), header.begin(), header.end());
        for (std::size_t s = 0; s < instrument.sampleHeaders.size(); ++s) {
            Bytes sampleHeader = instrument.sampleHeaders[s];
            Set32(sampleHeader, 0, static_cast<std::uint32_t>(instrument.sampleData[s].size()));
            out.insert(out.end(), sampleHeader.begin(), sampleHeader.end());
        }
        for (const Bytes& data : instrument.sampleData)
            out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), layout.trailer.begin(), layout.trailer.end());
    return out;
}

}  // namespace xmfuzz
