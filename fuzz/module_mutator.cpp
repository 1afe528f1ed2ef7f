// Structure-aware mutations for the module fuzz target. Plain byte mutations rarely survive
// the pattern packing or land on an envelope point, so most mutations here unpack the module,
// change one pattern cell, envelope or header field to an extreme or boundary value, and
// pack it again. Inputs that are not plain modules get libFuzzer's own byte mutations.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "effects.h"
#include "xm_layout.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

using xmfuzz::Bytes;
using xmfuzz::XmCell;
using xmfuzz::XmInstrumentPart;
using xmfuzz::XmLayout;
using Random = std::minstd_rand;

std::uint32_t Below(Random& random, std::uint32_t bound) {
    return bound == 0 ? 0 : static_cast<std::uint32_t>(random() % bound);
}

template <typename T, std::size_t N>
T Pick(Random& random, const T (&values)[N]) {
    return values[Below(random, N)];
}

// Every effect the player knows, so that the fuzzer spends its time on these.
constexpr std::uint8_t kEffects[] = {kEffectArpeggio,
                                     kEffectPortaUp,
                                     kEffectPortaDown,
                                     kEffectTonePorta,
                                     kEffectVibrato,
                                     kEffectTonePortaVolumeSlide,
                                     kEffectVibratoVolumeSlide,
                                     kEffectTremolo,
                                     kEffectSetPanning,
                                     kEffectSampleOffset,
                                     kEffectVolumeSlide,
                                     kEffectPositionJump,
                                     kEffectSetVolume,
                                     kEffectPatternBreak,
                                     kEffectExtended,
                                     kEffectSpeedTempo,
                                     kEffectGlobalVolume,
                                     kEffectGlobalVolumeSlide,
                                     kEffectKeyOff,
                                     kEffectEnvelopePosition,
                                     kEffectPanningSlide,
                                     kEffectMultiRetrig,
                                     kEffectTremor,
                                     kEffectExtraFinePorta};

constexpr std::uint8_t kEdgeBytes[] = {0x00, 0x01, 0x02, 0x0F, 0x10, 0x1F, 0x40, 0x41,
                                       0x7F, 0x80, 0x81, 0xF0, 0xF1, 0xFE, 0xFF};
constexpr std::uint16_t kEdgeWords[] = {0,   1,   2,    63,    64,    65,    255,
                                        256, 324, 1000, 32767, 32768, 65000, 65535};

std::uint8_t EdgeOrRandomByte(Random& random) {
    return Below(random, 2) == 0 ? Pick(random, kEdgeBytes) : static_cast<std::uint8_t>(random());
}

std::uint16_t EdgeOrRandomWord(Random& random) {
    return Below(random, 2) == 0 ? Pick(random, kEdgeWords) : static_cast<std::uint16_t>(random());
}

std::uint8_t EffectParam(Random& random, std::uint8_t effect) {
    // The extended effect and the volume column keep their command in the high nibble.
    if (effect == kEffectExtended || Below(random, 4) == 0) {
        return static_cast<std::uint8_t>((Below(random, 16) << 4) |
                                         (Below(random, 2) == 0 ? Below(random, 16) : 0xF));
    }
    return EdgeOrRandomByte(random);
}

bool MutateCell(XmLayout& layout, Random& random) {
    if (layout.patterns.empty()) return false;
    auto& pattern =
        layout.patterns[Below(random, static_cast<std::uint32_t>(layout.patterns.size()))];
    if (pattern.cells.empty()) return false;
    XmCell& cell = pattern.cells[Below(random, static_cast<std::uint32_t>(pattern.cells.size()))];
    const std::uint32_t instruments = static_cast<std::uint32_t>(layout.instruments.size());
    switch (Below(random, 5)) {
        case 0:  // a note that plays, often with an instrument
            cell.note = static_cast<std::uint8_t>(Below(random, 8) == 0 ? Pick(random, kEdgeBytes)
                                                                        : 1 + Below(random, 97));
            if (Below(random, 2) == 0)
                cell.instrument = static_cast<std::uint8_t>(1 + Below(random, instruments + 1));
            break;
        case 1: cell.instrument = static_cast<std::uint8_t>(Below(random, instruments + 2)); break;
        case 2:  // volume column: a command in the high nibble, its parameter in the low one
            cell.volume =
                Below(random, 4) == 0
                    ? EdgeOrRandomByte(random)
                    : static_cast<std::uint8_t>(((1 + Below(random, 15)) << 4) | Below(random, 16));
            break;
        case 3:
            cell.effect = Below(random, 8) == 0 ? EdgeOrRandomByte(random) : Pick(random, kEffects);
            cell.param = EffectParam(random, cell.effect);
            break;
        default: cell.param = EffectParam(random, cell.effect); break;
    }
    return true;
}

// An instrument whose header holds envelopes (one with samples), or null when none has.
XmInstrumentPart* InstrumentWithHeader(XmLayout& layout, Random& random) {
    std::vector<XmInstrumentPart*> candidates;
    for (XmInstrumentPart& instrument : layout.instruments) {
        if (instrument.header.size() >= xmfuzz::kInstrumentFullHeader)
            candidates.push_back(&instrument);
    }
    if (candidates.empty()) return nullptr;
    return candidates[Below(random, static_cast<std::uint32_t>(candidates.size()))];
}

bool MutateEnvelope(XmLayout& layout, Random& random) {
    XmInstrumentPart* instrument = InstrumentWithHeader(layout, random);
    if (instrument == nullptr) return false;
    Bytes& header = instrument->header;
    const bool panning = Below(random, 2) == 0;
    const std::size_t points =
        panning ? xmfuzz::kInstrumentPanningPoints : xmfuzz::kInstrumentVolumePoints;
    const std::size_t count =
        panning ? xm::kInstrumentPanningPointCountOffset : xm::kInstrumentVolumePointCountOffset;
    const std::size_t type =
        panning ? xm::kInstrumentPanningTypeOffset : xm::kInstrumentVolumeTypeOffset;
    switch (Below(random, 5)) {
        case 4: {  // a steep segment far out: a point at a large position and the next just after
                   // it
            const std::size_t first = Below(random, 2) == 0 ? 0 : Below(random, 11);
            const std::uint16_t x = Below(random, 2) == 0 ? Pick(random, kEdgeWords)
                                                          : static_cast<std::uint16_t>(random());
            const std::uint32_t next = x + Below(random, 4);
            xmfuzz::Set16(header, points + 4 * first, x);
            xmfuzz::Set16(header, points + 4 * (first + 1),
                          static_cast<std::uint16_t>(next > 0xFFFF ? 0xFFFF : next));
            xmfuzz::Set16(header, points + 4 * (first + 1) + 2, EdgeOrRandomWord(random));
            header[type] = static_cast<std::uint8_t>(header[type] | 1);
            if (header[count] < first + 2) header[count] = static_cast<std::uint8_t>(first + 2);
            break;
        }
        case 0:
        case 1: {  // one point's position or value
            const std::size_t point =
                points + 4 * Below(random, xm::kEnvelopePoints) + 2 * Below(random, 2);
            xmfuzz::Set16(header, point, EdgeOrRandomWord(random));
            // A point only matters in an envelope that is on and long enough to hold it.
            header[type] = static_cast<std::uint8_t>(header[type] | 1);
            if (header[count] < 2) header[count] = static_cast<std::uint8_t>(2 + Below(random, 11));
            break;
        }
        case 2:  // point count, sustain point, loop start or loop end
        {
            // The sustain, loop start and loop end points follow one another.
            const std::size_t sustain =
                panning ? xm::kInstrumentPanningSustainOffset : xm::kInstrumentVolumeSustainOffset;
            const std::size_t field = Below(random, 4) == 0 ? count : sustain + Below(random, 3);
            header[field] = Below(random, 2) == 0 ? static_cast<std::uint8_t>(Below(random, 14))
                                                  : EdgeOrRandomByte(random);
            break;
        }
        default:  // on, sustain, loop
            header[type] = static_cast<std::uint8_t>(Below(random, 8));
            break;
    }
    return true;
}

bool MutateInstrumentField(XmLayout& layout, Random& random) {
    XmInstrumentPart* instrument = InstrumentWithHeader(layout, random);
    if (instrument == nullptr) return false;
    Bytes& header = instrument->header;
    if (Below(random, 5) == 0) {
        xmfuzz::Set16(header, xmfuzz::kInstrumentFadeout, EdgeOrRandomWord(random));
    } else if (Below(random, 4) == 0) {
        header[xmfuzz::kInstrumentSampleMap + Below(random, xm::kInstrumentSampleMapLength)] =
            static_cast<std::uint8_t>(Below(random, 18));
    } else {
        header[xmfuzz::kInstrumentVibrato + Below(random, 4)] = EdgeOrRandomByte(random);
    }
    return true;
}

bool MutateSampleHeader(XmLayout& layout, Random& random) {
    if (layout.instruments.empty()) return false;
    XmInstrumentPart& instrument =
        layout.instruments[Below(random, static_cast<std::uint32_t>(layout.instruments.size()))];
    if (instrument.sampleHeaders.empty()) return false;
    Bytes& header = instrument.sampleHeaders[Below(
        random, static_cast<std::uint32_t>(instrument.sampleHeaders.size()))];
    const std::uint32_t length = xmfuzz::Get32(header, xm::kSampleLengthOffset);
    switch (Below(random, 4)) {
        case 0:  // loop start or length near the sample's end
            static_assert(xm::kSampleLoopLengthOffset == xm::kSampleLoopStartOffset + 4);
            xmfuzz::Set32(
                header, xm::kSampleLoopStartOffset + 4 * Below(random, 2),
                Below(random, 2) == 0 ? Below(random, length + 2) : EdgeOrRandomWord(random));
            break;
        case 1:  // loop kind and bit depth
            header[xm::kSampleTypeOffset] = static_cast<std::uint8_t>(
                Below(random, 4) | (Below(random, 2) * xm::kSampleType16Bit));
            break;
        case 2:  // finetune or relative note
            header[Below(random, 2) == 0 ? xm::kSampleFinetuneOffset
                                         : xm::kSampleRelativeNoteOffset] =
                EdgeOrRandomByte(random);
            break;
        default:  // volume or panning
            header[Below(random, 2) == 0 ? xm::kSampleVolumeOffset : xm::kSamplePanningOffset] =
                EdgeOrRandomByte(random);
            break;
    }
    return true;
}

bool MutateModuleHeader(XmLayout& layout, Random& random) {
    Bytes& header = layout.header;
    switch (Below(random, 4)) {
        case 0:  // speed or tempo
            static_assert(xm::kDefaultBpmOffset == xm::kDefaultSpeedOffset + 2);
            xmfuzz::Set16(header, xm::kDefaultSpeedOffset + 2 * Below(random, 2),
                          Below(random, 2) == 0 ? static_cast<std::uint16_t>(Below(random, 256))
                                                : EdgeOrRandomWord(random));
            break;
        case 1:  // frequency table
            xmfuzz::Set16(header, xm::kFlagsOffset, static_cast<std::uint16_t>(Below(random, 2)));
            break;
        case 2: {  // song length and restart position
            const std::uint16_t patterns = static_cast<std::uint16_t>(layout.patterns.size());
            static_assert(xm::kRestartPositionOffset == xm::kSongLengthOffset + 2);
            xmfuzz::Set16(header, xm::kSongLengthOffset + 2 * Below(random, 2),
                          static_cast<std::uint16_t>(Below(random, patterns + 3)));
            break;
        }
        default:  // an order entry
            header[xm::kOrderTableOffset + Below(random, 16)] = static_cast<std::uint8_t>(
                Below(random, static_cast<std::uint32_t>(layout.patterns.size()) + 1));
            break;
    }
    return true;
}

bool MutateStructure(XmLayout& layout, Random& random) {
    switch (Below(random, 10)) {
        case 0:
        case 1:
        case 2:
        case 3: return MutateCell(layout, random);
        case 4:
        case 5: return MutateEnvelope(layout, random);
        case 6: return MutateInstrumentField(layout, random);
        case 7:
        case 8: return MutateSampleHeader(layout, random);
        default: return MutateModuleHeader(layout, random);
    }
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed) {
    Random random(seed == 0 ? 1u : seed);
    XmLayout layout;
    if (Below(random, 5) == 0 || !xmfuzz::ParseXm(data, size, &layout)) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    const std::uint32_t rounds = 1 + Below(random, 3);
    bool changed = false;
    for (std::uint32_t i = 0; i < rounds; ++i) changed = MutateStructure(layout, random) || changed;
    if (!changed) return LLVMFuzzerMutate(data, size, maxSize);
    const Bytes image = xmfuzz::WriteXm(layout);
    if (image.empty() || image.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, image.data(), image.size());
    return image.size();
}
