// Songs built in code, and their XM images.
#include "test_song.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "notes.h"
#include "offline_render.h"
#include "output.h"
#include "sequencer.h"
#include "xm_file.h"

TestSong::TestSong(std::int32_t channels, const std::vector<std::int32_t>& patternRows,
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
    const std::int32_t index = row * song.channelCount + channel;
    return cells[static_cast<std::size_t>(pattern)][static_cast<std::size_t>(index)];
}

void TestSong::Put(std::int32_t pattern, std::int32_t row, std::int32_t channel, std::uint8_t note,
                   std::uint8_t instrument, std::uint8_t volumeCommand, std::uint8_t effect,
                   std::uint8_t param) {
    At(pattern, row, channel) = Cell{note, instrument, volumeCommand, effect, param};
}

std::int32_t TestSong::AddInstrument(std::uint8_t volume, std::int32_t panning,
                                     std::int8_t finetune, std::int8_t relativeNote,
                                     std::uint32_t frames, std::uint8_t loopKind) {
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

void CopyEnvelope(xmfile::XmEnvelope* file, const EnvelopePoint* points, std::uint8_t count,
                  std::uint8_t sustain, std::uint8_t loopStart, std::uint8_t loopEnd,
                  std::uint8_t type) {
    for (std::int32_t i = 0; i < kEnvelopePointCount; ++i) {
        file->points[i][0] = points[i].x;
        file->points[i][1] = points[i].y;
    }
    file->count = count;
    file->sustain = sustain;
    file->loopStart = loopStart;
    file->loopEnd = loopEnd;
    file->type = type;
}

}  // namespace

std::vector<std::uint8_t> TestSong::XmImage() const {
    xmfile::XmModule file;
    file.name = "test";
    file.tracker = "sequencer tests";
    file.songLength = static_cast<std::uint16_t>(song.songLength);
    file.restartPosition = static_cast<std::uint16_t>(song.restartPosition);
    file.channels = static_cast<std::uint16_t>(song.channelCount);
    file.flags = static_cast<std::uint16_t>(song.flags);
    file.speed = static_cast<std::uint16_t>(song.defaultSpeed);
    file.bpm = static_cast<std::uint16_t>(song.defaultBpm);
    std::copy(std::begin(song.orderTable), std::end(song.orderTable), file.order);
    for (std::size_t p = 0; p < patterns.size(); ++p) {
        xmfile::XmPattern& pattern = file.patterns.emplace_back();
        pattern.rows = static_cast<std::uint16_t>(patterns[p].rowCount);
        for (const Cell& cell : cells[p]) {
            xmfile::PackCell(pattern.packed, cell.note, cell.instrument, cell.volumeCommand,
                             cell.effect, cell.effectParam);
        }
    }
    for (const Instrument& instrument : instruments) {
        xmfile::XmInstrument& written = file.instruments.emplace_back();
        written.name = "instrument";
        std::copy(std::begin(instrument.sampleMap), std::end(instrument.sampleMap),
                  written.sampleMap);
        CopyEnvelope(&written.volume, instrument.volumeEnvelope, instrument.volumePointCount,
                     instrument.volumeSustainPoint, instrument.volumeLoopStart,
                     instrument.volumeLoopEnd, instrument.volumeType);
        CopyEnvelope(&written.panning, instrument.panningEnvelope, instrument.panningPointCount,
                     instrument.panningSustainPoint, instrument.panningLoopStart,
                     instrument.panningLoopEnd, instrument.panningType);
        written.vibratoType = instrument.autoVibratoType;
        written.vibratoSweep = instrument.autoVibratoSweep;
        written.vibratoDepth = instrument.autoVibratoDepth;
        written.vibratoRate = instrument.autoVibratoRate;
        written.fadeout = static_cast<std::uint16_t>(instrument.fadeout / 2u);
        for (std::int32_t s = 0; s < instrument.sampleCount; ++s) {
            const Sample& sample = *instrument.samples[s];
            xmfile::XmSample& stored = written.samples.emplace_back();
            stored.name = "sample";
            stored.length = sample.length * 2;
            stored.loopStart = sample.loopStart * 2;
            stored.loopLength = sample.loopLength * 2;
            stored.volume = sample.volume;
            stored.finetune = sample.finetune;
            stored.type = 0x10;
            if (sample.loopKind == kLoopForward) stored.type |= 1;
            if (sample.loopKind == kLoopPingPong) stored.type |= 2;
            stored.panning = static_cast<std::uint8_t>(sample.panning);
            stored.relativeNote = sample.relativeNote;
            stored.data = xmfile::DeltaCode16(
                std::vector<std::int16_t>(sample.data, sample.data + sample.length));
        }
    }
    return xmfile::WithLengthPrefix(xmfile::BuildXm(file));
}

void StartTestPlayback(Song* song) {
    SetOutputParameters(kRenderRate);
    ResetPlayback(song);
}

std::uint8_t NoteNumber(const char* name) {
    for (int i = 0; i < 12; ++i) {
        if (std::strncmp(name, kNoteNames[i], 2) == 0)
            return static_cast<std::uint8_t>(1 + i + 12 * (name[2] - '0'));
    }
    return 0;
}
