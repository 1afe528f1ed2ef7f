// The composer's module as the records of an XM file.
#include "xm_writer.h"

#include <algorithm>

#include "xm_file.h"

namespace {

std::uint8_t EnvelopeType(const XmEnvelope& envelope) {
    if (envelope.points.size() < 2) return 0;
    std::uint8_t type = 1;
    if (envelope.sustainPoint >= 0) type |= 2;
    if (envelope.loopStart >= 0 && envelope.loopEnd >= 0) type |= 4;
    return type;
}

std::uint8_t IndexOrZero(int index) {
    return index < 0 ? 0 : static_cast<std::uint8_t>(index);
}

xmfile::XmEnvelope FileEnvelope(const XmEnvelope& envelope) {
    xmfile::XmEnvelope file;
    const std::size_t count = std::min<std::size_t>(envelope.points.size(), kEnvelopePointCount);
    for (std::size_t i = 0; i < count; ++i) {
        file.points[i][0] = envelope.points[i].x;
        file.points[i][1] = envelope.points[i].y;
    }
    file.count = static_cast<std::uint8_t>(envelope.points.size());
    file.sustain = IndexOrZero(envelope.sustainPoint);
    file.loopStart = IndexOrZero(envelope.loopStart);
    file.loopEnd = IndexOrZero(envelope.loopEnd);
    file.type = EnvelopeType(envelope);
    return file;
}

xmfile::XmSample FileSample(const XmSample& sample) {
    const std::uint32_t scale = sample.sixteenBit ? 2 : 1;  // bytes per frame
    const bool looped = sample.loopKind != kLoopNone;
    xmfile::XmSample file;
    file.name = sample.name;
    file.length = static_cast<std::uint32_t>(sample.values.size()) * scale;
    file.loopStart = looped ? sample.loopStart * scale : 0;
    file.loopLength = looped ? sample.loopLength * scale : 0;
    file.volume = sample.volume;
    file.finetune = sample.finetune;
    file.type = sample.loopKind == kLoopForward ? 1 : (sample.loopKind == kLoopPingPong ? 2 : 0);
    if (sample.sixteenBit) file.type |= 0x10;
    file.panning = sample.panning;
    file.relativeNote = sample.relativeNote;
    file.data = DeltaEncode(sample.values, sample.sixteenBit);
    return file;
}

xmfile::XmInstrument FileInstrument(const XmInstrument& instrument) {
    xmfile::XmInstrument file;
    file.name = instrument.name;
    // Every note plays the first sample; the full header even without samples.
    file.headerSize = xmfile::kInstrumentHeaderSize;
    for (const XmSample& sample : instrument.samples) file.samples.push_back(FileSample(sample));
    file.volume = FileEnvelope(instrument.volumeEnvelope);
    file.panning = FileEnvelope(instrument.panningEnvelope);
    file.vibratoType = instrument.autoVibratoType;
    file.vibratoSweep = instrument.autoVibratoSweep;
    file.vibratoDepth = instrument.autoVibratoDepth;
    file.vibratoRate = instrument.autoVibratoRate;
    file.fadeout = instrument.fadeout;
    return file;
}

}  // namespace

void AppendPackedCell(std::vector<std::uint8_t>& out, const Cell& cell) {
    xmfile::PackCell(out, cell.note, cell.instrument, cell.volumeCommand, cell.effect,
                     cell.effectParam);
}

std::vector<std::uint8_t> DeltaEncode(const std::vector<std::int16_t>& values, bool sixteenBit) {
    if (sixteenBit) return xmfile::DeltaCode16(values);
    std::vector<std::int8_t> bytes;
    bytes.reserve(values.size());
    for (const std::int16_t value : values) bytes.push_back(static_cast<std::int8_t>(value));
    return xmfile::DeltaCode8(bytes);
}

std::vector<std::uint8_t> SerializeModule(const XmModule& module) {
    xmfile::XmModule file;
    file.name = module.name;
    file.tracker = "songwriter";
    file.songLength = static_cast<std::uint16_t>(module.orders.size());
    file.restartPosition = static_cast<std::uint16_t>(module.restartPosition);
    file.channels = static_cast<std::uint16_t>(module.channelCount);
    file.flags = static_cast<std::uint16_t>(module.flags);
    file.speed = static_cast<std::uint16_t>(module.defaultSpeed);
    file.bpm = static_cast<std::uint16_t>(module.defaultBpm);
    std::copy_n(module.orders.begin(), std::min<std::size_t>(module.orders.size(), kOrderTableSize),
                file.order);
    for (const XmPattern& pattern : module.patterns) {
        xmfile::XmPattern& packed = file.patterns.emplace_back();
        packed.rows = static_cast<std::uint16_t>(pattern.rowCount);
        for (const Cell& cell : pattern.cells) AppendPackedCell(packed.packed, cell);
    }
    for (const XmInstrument& instrument : module.instruments) {
        file.instruments.push_back(FileInstrument(instrument));
    }
    return xmfile::BuildXm(file);
}
