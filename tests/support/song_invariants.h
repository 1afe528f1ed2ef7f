// Test helper: the promises a loaded song keeps towards the sequencer and the mixer, for
// any input. Shared by the loader tests and the fuzz target.
#pragma once

#include <cstdint>

#include "song.h"

namespace xmtest {

// True when every order entry names a pattern with rows and cells, every cell holds a
// playable note and instrument number, every instrument's slots point at samples, and
// every sample's loop lies within its data.
inline bool SongKeepsItsBounds(const Song& song) {
    if (song.songLength < 1 || song.songLength > kOrderTableSize) return false;
    if (song.restartPosition < 0 || song.restartPosition >= song.songLength) return false;
    if (song.channelCount < 0 || song.channelCount > kMaxChannels) return false;
    if (song.defaultSpeed < 1 || song.defaultBpm < 1) return false;
    if (song.patterns == nullptr) return false;
    for (int i = 0; i < kOrderTableSize; ++i) {
        if (song.orderTable[i] >= song.patternSlotCount) return false;
        const Pattern& pattern = song.patterns[song.orderTable[i]];
        if (pattern.rowCount < 1 || pattern.cells == nullptr) return false;
        for (int c = 0; c < pattern.rowCount * song.channelCount; ++c) {
            const Cell& cell = pattern.cells[c];
            if (cell.note > 96 && cell.note != kNoteKeyOff) return false;
            if (cell.instrument > 128) return false;
        }
    }
    if (song.instrumentCount > 0 && song.instruments == nullptr) return false;
    for (int i = 0; i < song.instrumentCount; ++i) {
        const Instrument& instrument = song.instruments[i];
        if (instrument.sampleCount < 0 || instrument.sampleCount > kSamplesPerInstrument)
            return false;
        if (instrument.volumePointCount > kEnvelopePointCount) return false;
        if (instrument.panningPointCount > kEnvelopePointCount) return false;
        const std::uint8_t volumeLast =
            instrument.volumePointCount > 0 ? instrument.volumePointCount - 1 : 0;
        const std::uint8_t panningLast =
            instrument.panningPointCount > 0 ? instrument.panningPointCount - 1 : 0;
        if (instrument.volumeSustainPoint > volumeLast || instrument.volumeLoopStart > volumeLast ||
            instrument.volumeLoopEnd > volumeLast) {
            return false;
        }
        if (instrument.panningSustainPoint > panningLast ||
            instrument.panningLoopStart > panningLast || instrument.panningLoopEnd > panningLast) {
            return false;
        }
        for (int j = 0; j < kSamplesPerInstrument; ++j) {
            const Sample* sample = instrument.samples[j];
            if (sample == nullptr) return false;
            if (j >= instrument.sampleCount && sample != &EmptySample) return false;
            const std::uint64_t loopEnd = std::uint64_t{sample->loopStart} + sample->loopLength;
            if (loopEnd > sample->length) return false;
            if (sample->length > 0 && sample->data == nullptr) return false;
            if ((sample->loopKind == kLoopForward || sample->loopKind == kLoopPingPong) &&
                sample->loopLength == 0) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace xmtest
