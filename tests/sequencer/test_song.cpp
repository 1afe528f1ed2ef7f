// Songs built in code, and their XM images.
#include "test_song.h"

#include <cstring>

#include "offline_render.h"
#include "notes.h"
#include "output.h"
#include "sequencer.h"

TestSong::TestSong(std::int32_t channels, std::vector<std::int32_t> patternRows,
                   std::vector<std::uint8_t> order, bool linear) {
    instruments.reserve(128);
    for (std::int32_t rows : patternRows) {
        cells.emplace_back(static_cast<std::size_t>(rows * channels));
        patterns.push_back(Pattern{rows, nullptr});
    }
    for (std::size_t i = 0; i < patterns.size(); ++i) patterns[i].cells = cells[i].data();
    song.patterns = patterns.data();
    song.patternSlotCount = static_cast<std::int32_t>(patterns.size());
    song.usedPatternCount = song.patternSlotCount;
    song.channelCount = static_cast<std::int16_t>(channels);
    song.songLength = static_cast<std::int16_t>(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) song.orderTable[i] = order[i];
    song.flags = linear ? kFlagLinearFrequencies : 0;
    song.defaultSpeed = 6;
    song.defaultBpm = 125;
    song.initialGlobalVolume = 64;
    song.instruments = instruments.data();
}

Cell& TestSong::At(std::int32_t pattern, std::int32_t row, std::int32_t channel) {
    return cells[pattern][static_cast<std::size_t>(row * song.channelCount + channel)];
}

void TestSong::Put(std::int32_t pattern, std::int32_t row, std::int32_t channel, std::uint8_t note,
                   std::uint8_t instrument, std::uint8_t volumeCommand, std::uint8_t effect,
                   std::uint8_t param) {
    At(pattern, row, channel) = Cell{note, instrument, volumeCommand, effect, param};
}

std::int32_t TestSong::AddInstrument(std::uint8_t volume, std::int32_t panning, std::int8_t finetune,
                                     std::int8_t relativeNote, std::uint32_t frames,
                                     std::uint8_t loopKind) {
    std::vector<std::int16_t>& data = sampleData.emplace_back(frames + 8, 0);
    for (std::uint32_t i = 0; i < frames; ++i) data[i] = (i / 8) % 2 ? -8000 : 8000;
    Sample& sample = samples.emplace_back();
    sample.data = frames > 0 ? data.data() : nullptr;
    sample.length = frames;
    sample.loopStart = 0;
    sample.loopLength = frames;
    sample.volume = volume;
    sample.finetune = finetune;
    sample.panning = panning;
    sample.bits = 16;
    sample.loopKind = loopKind;
    sample.relativeNote = relativeNote;
    if (frames > 0 && loopKind == kLoopForward) data[frames] = data[0];
    if (frames > 0 && loopKind == kLoopPingPong) data[frames] = data[frames - 1];

    Instrument& instrument = instruments.emplace_back();
    instrument.sampleCount = 1;
    instrument.samples[0] = &sample;
    for (std::int32_t s = 1; s < kSamplesPerInstrument; ++s) instrument.samples[s] = &EmptySample;
    song.instruments = instruments.data();
    song.instrumentCount = static_cast<std::int16_t>(instruments.size());
    return song.instrumentCount;
}

namespace {

void Put8(std::vector<std::uint8_t>* out, std::uint32_t value) {
    out->push_back(static_cast<std::uint8_t>(value));
}
void Put16(std::vector<std::uint8_t>* out, std::uint32_t value) {
    Put8(out, value);
    Put8(out, value >> 8);
}
void Put32(std::vector<std::uint8_t>* out, std::uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}
void PutText(std::vector<std::uint8_t>* out, const char* text, std::size_t size) {
    std::size_t length = std::strlen(text);
    for (std::size_t i = 0; i < size; ++i) Put8(out, i < length ? static_cast<std::uint8_t>(text[i]) : 0);
}

void PutEnvelope(std::vector<std::uint8_t>* out, const EnvelopePoint* points) {
    for (std::int32_t i = 0; i < kEnvelopePointCount; ++i) {
        Put16(out, points[i].x);
        Put16(out, points[i].y);
    }
}

constexpr std::uint32_t kInstrumentHeaderSize = 263;

}  // namespace

std::vector<std::uint8_t> TestSong::XmImage() const {
    std::vector<std::uint8_t> out(4, 0);
    PutText(&out, "Extended Module: ", 17);
    PutText(&out, "test", 20);
    Put8(&out, 0x1A);
    PutText(&out, "sequencer tests", 20);
    Put16(&out, 0x0104);
    Put32(&out, 276);
    Put16(&out, static_cast<std::uint16_t>(song.songLength));
    Put16(&out, static_cast<std::uint16_t>(song.restartPosition));
    Put16(&out, static_cast<std::uint16_t>(song.channelCount));
    Put16(&out, static_cast<std::uint16_t>(patterns.size()));
    Put16(&out, static_cast<std::uint16_t>(instruments.size()));
    Put16(&out, static_cast<std::uint16_t>(song.flags));
    Put16(&out, static_cast<std::uint16_t>(song.defaultSpeed));
    Put16(&out, static_cast<std::uint16_t>(song.defaultBpm));
    for (std::uint8_t entry : song.orderTable) Put8(&out, entry);

    for (std::size_t p = 0; p < patterns.size(); ++p) {
        Put32(&out, 9);
        Put8(&out, 0);
        Put16(&out, static_cast<std::uint16_t>(patterns[p].rowCount));
        std::vector<std::uint8_t> packed;
        for (const Cell& cell : cells[p]) {
            Put8(&packed, 0x9F);
            Put8(&packed, cell.note == kNoteKeyOff ? 97 : cell.note);
            Put8(&packed, cell.instrument);
            Put8(&packed, cell.volumeCommand);
            Put8(&packed, cell.effect);
            Put8(&packed, cell.effectParam);
        }
        Put16(&out, static_cast<std::uint16_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (const Instrument& instrument : instruments) {
        Put32(&out, kInstrumentHeaderSize);
        PutText(&out, "instrument", 22);
        Put8(&out, 0);
        Put16(&out, static_cast<std::uint16_t>(instrument.sampleCount));
        Put32(&out, 40);
        for (std::uint8_t slot : instrument.sampleMap) Put8(&out, slot);
        PutEnvelope(&out, instrument.volumeEnvelope);
        PutEnvelope(&out, instrument.panningEnvelope);
        for (std::uint8_t value : {instrument.volumePointCount, instrument.panningPointCount,
                                   instrument.volumeSustainPoint, instrument.volumeLoopStart,
                                   instrument.volumeLoopEnd, instrument.panningSustainPoint,
                                   instrument.panningLoopStart, instrument.panningLoopEnd,
                                   instrument.volumeType, instrument.panningType,
                                   instrument.autoVibratoType, instrument.autoVibratoSweep,
                                   instrument.autoVibratoDepth, instrument.autoVibratoRate}) {
            Put8(&out, value);
        }
        Put16(&out, instrument.fadeout / 2u);
        for (std::uint32_t i = 241; i < kInstrumentHeaderSize; ++i) Put8(&out, 0);
        for (std::int32_t s = 0; s < instrument.sampleCount; ++s) {
            const Sample& sample = *instrument.samples[s];
            std::uint8_t type = 0x10;
            if (sample.loopKind == kLoopForward) type |= 1;
            if (sample.loopKind == kLoopPingPong) type |= 2;
            Put32(&out, sample.length * 2);
            Put32(&out, sample.loopStart * 2);
            Put32(&out, sample.loopLength * 2);
            Put8(&out, sample.volume);
            Put8(&out, static_cast<std::uint8_t>(sample.finetune));
            Put8(&out, type);
            Put8(&out, static_cast<std::uint8_t>(sample.panning));
            Put8(&out, static_cast<std::uint8_t>(sample.relativeNote));
            Put8(&out, 0);
            PutText(&out, "sample", 22);
        }
        for (std::int32_t s = 0; s < instrument.sampleCount; ++s) {
            const Sample& sample = *instrument.samples[s];
            std::int16_t previous = 0;
            for (std::uint32_t i = 0; i < sample.length; ++i) {
                Put16(&out, static_cast<std::uint16_t>(sample.data[i] - previous));
                previous = sample.data[i];
            }
        }
    }
    std::uint32_t length = static_cast<std::uint32_t>(out.size() - 4);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(length >> (8 * i));
    return out;
}

void StartTestPlayback(Song* song) {
    SetOutputParameters(kRenderRate);
    ResetPlayback(song);
}

std::uint8_t NoteNumber(const char* name) {
    for (int i = 0; i < 12; ++i) {
        if (std::strncmp(name, kNoteNames[i], 2) == 0) return static_cast<std::uint8_t>(1 + i + 12 * (name[2] - '0'));
    }
    return 0;
}
