// The fuzzer's editable view of an XM image: parsed into records by the offsets of xm/, edited
// field by field by the mutator, and written back byte for byte except where edited.
#include "xm_layout.h"

#include <cstring>

namespace xmfuzz {

namespace {

constexpr std::size_t kMaxHeaderSize = 4096;
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
        std::uint8_t fields[xm::kCellFieldCount];
        xm::UnpackCell([cursor] { return cursor->Byte(); }, fields);
        if (cursor->failed) return false;
        cell = {fields[xm::kCellNote], fields[xm::kCellInstrument], fields[xm::kCellVolume],
                fields[xm::kCellEffect], fields[xm::kCellParam]};
    }
    return true;
}

// Every cell in the mask form, whatever it holds, so that rewriting an image changes only the
// cells that were edited in it (the seeds are written that way).
void PackCell(const XmCell& cell, Bytes* out) {
    const std::uint8_t fields[xm::kCellFieldCount] = {cell.note, cell.instrument, cell.volume,
                                                      cell.effect, cell.param};
    xm::PackCellMasked(fields, [out](std::uint8_t byte) { out->push_back(byte); });
}

}  // namespace

std::uint16_t Get16(const Bytes& bytes, std::size_t offset) {
    return xm::Load16(&bytes[offset]);
}

std::uint32_t Get32(const Bytes& bytes, std::size_t offset) {
    return xm::Load32(&bytes[offset]);
}

void Set16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    xm::Store16(&bytes[offset], value);
}

void Set32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    xm::Store32(&bytes[offset], value);
}

bool ParseXm(const std::uint8_t* data, std::size_t size, XmLayout* layout) {
    *layout = XmLayout{};
    if (size < xm::kHeaderSizeOffset + 4 ||
        std::memcmp(data, xm::kModuleId, xm::kModuleIdLength) != 0) {
        return false;
    }
    const std::uint32_t headerSize = xm::Load32(data + xm::kHeaderSizeOffset);
    if (headerSize < xm::kStandardHeaderSize || headerSize > kMaxHeaderSize) return false;
    Cursor cursor{data, size};
    if (!cursor.Take(xm::kHeaderSizeOffset + headerSize, &layout->header)) return false;
    layout->channels = Get16(layout->header, xm::kChannelCountOffset);
    const std::uint16_t patternCount = Get16(layout->header, xm::kPatternCountOffset);
    const std::uint16_t instrumentCount = Get16(layout->header, xm::kInstrumentCountOffset);
    if (layout->channels > kMaxChannels || patternCount > kMaxPatterns ||
        instrumentCount > kMaxInstruments) {
        return false;
    }

    for (std::uint16_t p = 0; p < patternCount; ++p) {
        XmPatternPart pattern;
        if (!cursor.Take(xm::kPatternHeaderSize, &pattern.header)) return false;
        pattern.rows = Get16(pattern.header, xm::kPatternRowCountOffset);
        const std::size_t cellCount = std::size_t{pattern.rows} * layout->channels;
        if (cellCount > kMaxCells) return false;
        const bool stored = Get16(pattern.header, xm::kPatternPackedSizeOffset) != 0;
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
            const std::uint32_t bytes = Get32(instrument.sampleHeaders[s], xm::kSampleLengthOffset);
            if (!cursor.Take(bytes, &instrument.sampleData[s])) return false;
        }
        layout->instruments.push_back(std::move(instrument));
    }
    layout->trailer.assign(data + cursor.position, data + size);
    return true;
}

Bytes WriteXm(const XmLayout& layout) {
    Bytes out = layout.header;
    Set16(out, xm::kChannelCountOffset, layout.channels);
    Set16(out, xm::kPatternCountOffset, static_cast<std::uint16_t>(layout.patterns.size()));
    Set16(out, xm::kInstrumentCountOffset, static_cast<std::uint16_t>(layout.instruments.size()));
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
        Set16(header, xm::kPatternRowCountOffset, pattern.rows);
        Set16(header, xm::kPatternPackedSizeOffset, static_cast<std::uint16_t>(packed.size()));
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
            Set32(sampleHeader, xm::kSampleLengthOffset,
                  static_cast<std::uint32_t>(instrument.sampleData[s].size()));
            out.insert(out.end(), sampleHeader.begin(), sampleHeader.end());
        }
        for (const Bytes& data : instrument.sampleData)
            out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), layout.trailer.begin(), layout.trailer.end());
    return out;
}

}  // namespace xmfuzz
