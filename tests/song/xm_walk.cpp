// Test-side walk over an XM image, following its declared sizes.
#include "xm_walk.h"

namespace {

std::uint32_t Read(const std::uint8_t* data, std::uint32_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | data[at + static_cast<std::uint32_t>(i)];
    }
    return value;
}

}  // namespace

XmWalk WalkXm(const std::uint8_t* data, std::uint32_t size) {
    XmWalk walk;
    if (size < 336) {
        return walk;
    }
    const std::uint32_t headerSize = Read(data, 60, 4);
    walk.channelCount = static_cast<int>(Read(data, 68, 2));
    walk.patternCount = static_cast<int>(Read(data, 70, 2));
    walk.instrumentCount = static_cast<int>(Read(data, 72, 2));
    std::uint32_t at = 60 + headerSize;
    for (int p = 0; p < walk.patternCount; ++p) {
        if (at + 9 > size) {
            return walk;
        }
        const std::uint32_t patternHeader = Read(data, at, 4);
        const std::uint32_t rows = Read(data, at + 5, 2);
        const std::uint32_t packed = Read(data, at + 7, 2);
        std::uint32_t cursor = at + patternHeader;
        const std::uint32_t start = cursor;
        for (std::uint32_t cell = 0; cell < rows * static_cast<std::uint32_t>(walk.channelCount);
             ++cell) {
            if (cursor >= size) {
                return walk;
            }
            const std::uint8_t first = data[cursor++];
            if ((first & 0x80) == 0) {
                cursor += 4;
                continue;
            }
            for (int bit = 0; bit < 5; ++bit) {
                cursor += (first >> bit) & 1u;
            }
        }
        walk.decodedBytes.push_back(cursor - start);
        walk.declaredBytes.push_back(packed);
        at = start + packed;
    }
    for (int i = 0; i < walk.instrumentCount; ++i) {
        if (at + 29 > size) {
            return walk;
        }
        const std::uint32_t instrumentSize = Read(data, at, 4);
        const std::uint32_t samples = Read(data, at + 27, 2);
        const std::uint32_t sampleHeaderSize = samples > 0 ? Read(data, at + 29, 4) : 0;
        std::uint32_t header = at + instrumentSize;
        std::uint32_t dataBytes = 0;
        for (std::uint32_t s = 0; s < samples; ++s) {
            if (header + 40 > size) {
                return walk;
            }
            dataBytes += Read(data, header, 4);
            walk.sampleTypes.push_back(data[header + 14]);
            header += sampleHeaderSize;
        }
        at = header + dataBytes;
    }
    walk.bytesWalked = at;
    walk.ok = at <= size;
    return walk;
}
