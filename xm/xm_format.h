// The FastTracker 2 Extended Module (XM) file as the player's loader, the composer's writer and
// the fuzzer's layout editor all see it: the records' sizes and field offsets, the bits of the
// sample type and of a packed cell, and the packing of a cell itself. Offsets count from the
// start of their record; every multi-byte number is little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xm {

// ---- Little-endian numbers ----

inline std::uint16_t Load16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline std::uint32_t Load32(const std::uint8_t* at) {
    return std::uint32_t{Load16(at)} | (std::uint32_t{Load16(at + 2)} << 16);
}

inline void Store16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void Store32(std::uint8_t* at, std::uint32_t value) {
    Store16(at, value);
    Store16(at + 2, value >> 16);
}

// ---- Module header, from the start of the file ----

inline constexpr char kModuleId[] = "Extended Module: ";
constexpr std::size_t kModuleIdLength = 17;
constexpr std::size_t kModuleNameOffset = 17;
constexpr std::size_t kModuleNameLength = 20;
constexpr std::size_t kModuleMarkerOffset = 37;  // the byte 0x1A
constexpr std::uint8_t kModuleMarker = 0x1A;
constexpr std::size_t kTrackerNameOffset = 38;
constexpr std::size_t kTrackerNameLength = 20;
constexpr std::size_t kVersionOffset = 58;
constexpr std::uint16_t kVersion = 0x0104;
// The header size counts from its own field; the first pattern follows the header.
constexpr std::size_t kHeaderSizeOffset = 60;
constexpr std::size_t kSongLengthOffset = 64;
constexpr std::size_t kRestartPositionOffset = 66;
constexpr std::size_t kChannelCountOffset = 68;
constexpr std::size_t kPatternCountOffset = 70;
constexpr std::size_t kInstrumentCountOffset = 72;
constexpr std::size_t kFlagsOffset = 74;
constexpr std::size_t kDefaultSpeedOffset = 76;
constexpr std::size_t kDefaultBpmOffset = 78;
constexpr std::size_t kOrderTableOffset = 80;
constexpr std::size_t kOrderTableLength = 256;
// The header size field of a header that ends with the order table.
constexpr std::uint32_t kStandardHeaderSize =
    kOrderTableOffset + kOrderTableLength - kHeaderSizeOffset;  // 276
constexpr std::uint16_t kFlagLinearFrequencies = 1;

// ---- Pattern header, before each pattern's packed cells ----

constexpr std::size_t kPatternHeaderLengthOffset = 0;
constexpr std::size_t kPatternPackingOffset = 4;
constexpr std::size_t kPatternRowCountOffset = 5;
constexpr std::size_t kPatternPackedSizeOffset = 7;
constexpr std::size_t kPatternHeaderSize = 9;

// ---- Instrument header ----

constexpr std::size_t kInstrumentHeaderSizeOffset = 0;  // counts from the record's start
constexpr std::size_t kInstrumentNameOffset = 4;
constexpr std::size_t kInstrumentNameLength = 22;
constexpr std::size_t kInstrumentTypeOffset = 26;
constexpr std::size_t kInstrumentSampleCountOffset = 27;
// An instrument without samples needs no more than this.
constexpr std::size_t kInstrumentShortHeaderSize = 29;
// The rest is present (and read) only when the instrument has samples.
constexpr std::size_t kInstrumentSampleHeaderSizeOffset = 29;
constexpr std::size_t kInstrumentSampleMapOffset = 33;
constexpr std::size_t kInstrumentSampleMapLength = 96;
constexpr std::size_t kEnvelopePoints = 12;
constexpr std::size_t kEnvelopeBytes = kEnvelopePoints * 4;  // (x, y) as two 16-bit numbers
constexpr std::size_t kInstrumentVolumeEnvelopeOffset = 129;
constexpr std::size_t kInstrumentPanningEnvelopeOffset = 177;
constexpr std::size_t kInstrumentVolumePointCountOffset = 225;
constexpr std::size_t kInstrumentPanningPointCountOffset = 226;
constexpr std::size_t kInstrumentVolumeSustainOffset = 227;
constexpr std::size_t kInstrumentVolumeLoopStartOffset = 228;
constexpr std::size_t kInstrumentVolumeLoopEndOffset = 229;
constexpr std::size_t kInstrumentPanningSustainOffset = 230;
constexpr std::size_t kInstrumentPanningLoopStartOffset = 231;
constexpr std::size_t kInstrumentPanningLoopEndOffset = 232;
constexpr std::size_t kInstrumentVolumeTypeOffset = 233;
constexpr std::size_t kInstrumentPanningTypeOffset = 234;
constexpr std::size_t kInstrumentVibratoTypeOffset = 235;
constexpr std::size_t kInstrumentVibratoSweepOffset = 236;
constexpr std::size_t kInstrumentVibratoDepthOffset = 237;
constexpr std::size_t kInstrumentVibratoRateOffset = 238;
constexpr std::size_t kInstrumentFadeoutOffset = 239;
// Where the fields above end; FastTracker 2 writes 263 bytes, the rest reserved.
constexpr std::size_t kInstrumentFieldsEnd = 241;
constexpr std::uint32_t kInstrumentHeaderSize = 263;

static_assert(kInstrumentSampleMapOffset + kInstrumentSampleMapLength ==
              kInstrumentVolumeEnvelopeOffset);
static_assert(kInstrumentVolumeEnvelopeOffset + kEnvelopeBytes == kInstrumentPanningEnvelopeOffset);
static_assert(kInstrumentPanningEnvelopeOffset + kEnvelopeBytes ==
              kInstrumentVolumePointCountOffset);
static_assert(kInstrumentFadeoutOffset + 2 == kInstrumentFieldsEnd);

// ---- Sample header, after the instrument header, one per sample ----

constexpr std::size_t kSampleLengthOffset = 0;  // bytes
constexpr std::size_t kSampleLoopStartOffset = 4;
constexpr std::size_t kSampleLoopLengthOffset = 8;
constexpr std::size_t kSampleVolumeOffset = 12;
constexpr std::size_t kSampleFinetuneOffset = 13;
constexpr std::size_t kSampleTypeOffset = 14;
constexpr std::size_t kSamplePanningOffset = 15;
constexpr std::size_t kSampleRelativeNoteOffset = 16;
constexpr std::size_t kSampleReservedOffset = 17;
constexpr std::size_t kSampleNameOffset = 18;
constexpr std::size_t kSampleNameLength = 22;
constexpr std::size_t kSampleHeaderSize = 40;
static_assert(kSampleNameOffset + kSampleNameLength == kSampleHeaderSize);

// Bits of the sample type byte.
constexpr std::uint8_t kSampleTypeForwardLoop = 0x01;
constexpr std::uint8_t kSampleTypePingPongLoop = 0x02;
constexpr std::uint8_t kSampleType16Bit = 0x10;

// ---- Cells ----

// A cell's five fields in the order the file stores them.
enum CellField : std::size_t {
    kCellNote,
    kCellInstrument,
    kCellVolume,
    kCellEffect,
    kCellParam,
    kCellFieldCount,
};

// A packed cell starts with a byte. With bit 7 set it is a mask: bit i says that field i follows.
// Otherwise it is the note itself and the other four fields follow.
constexpr std::uint8_t kCellMaskFlag = 0x80;
constexpr std::uint8_t kFileKeyOffNote = 97;

// Decodes one packed cell, taking its bytes one at a time from next() (a callable giving
// std::uint8_t). Fields the cell leaves out are 0.
template <typename NextByte>
void UnpackCell(NextByte&& next, std::uint8_t fields[kCellFieldCount]) {
    for (std::size_t i = 0; i < kCellFieldCount; ++i) fields[i] = 0;
    const std::uint8_t lead = next();
    if ((lead & kCellMaskFlag) != 0) {
        for (std::size_t i = 0; i < kCellFieldCount; ++i) {
            if ((lead & (1u << i)) != 0) fields[i] = next();
        }
    } else {
        fields[kCellNote] = lead;
        for (std::size_t i = kCellInstrument; i < kCellFieldCount; ++i) fields[i] = next();
    }
}

// Packs one cell as a mask followed by the fields that are not 0; put(byte) receives the bytes.
template <typename PutByte>
void PackCellMasked(const std::uint8_t fields[kCellFieldCount], PutByte&& put) {
    std::uint8_t mask = kCellMaskFlag;
    for (std::size_t i = 0; i < kCellFieldCount; ++i) {
        if (fields[i] != 0) mask = static_cast<std::uint8_t>(mask | (1u << i));
    }
    put(mask);
    for (std::size_t i = 0; i < kCellFieldCount; ++i) {
        if (fields[i] != 0) put(fields[i]);
    }
}

// Packs one cell in its shortest form: the five bytes as they are when every field is set and
// the note cannot be taken for a mask, otherwise the mask form.
template <typename PutByte>
void PackCell(const std::uint8_t fields[kCellFieldCount], PutByte&& put) {
    bool allSet = (fields[kCellNote] & kCellMaskFlag) == 0;
    for (std::size_t i = 0; i < kCellFieldCount; ++i) allSet = allSet && fields[i] != 0;
    if (!allSet) {
        PackCellMasked(fields, put);
        return;
    }
    for (std::size_t i = 0; i < kCellFieldCount; ++i) put(fields[i]);
}

}  // namespace xm
