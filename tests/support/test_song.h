// Songs built in code for the sequencer's tests: the in-memory model filled directly, and the
// same song written out as an XM image for the loader, the renderer and the golden traces.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "song.h"

struct TestSong {
    Song song{};
    std::vector<Pattern> patterns;
    std::vector<std::vector<Cell>> cells;
    std::vector<Instrument> instruments;
    std::deque<Sample> samples;
    std::deque<std::vector<std::int16_t>> sampleData;

    // channels tracks; patternRows[i] rows for pattern i; order positions play patterns order.
    TestSong(std::int32_t channels, const std::vector<std::int32_t>& patternRows,
             std::vector<std::uint8_t> order, bool linear = false);

    Cell& At(std::int32_t pattern, std::int32_t row, std::int32_t channel);
    // Sets the cell's note, instrument, volume column, effect and parameter in one go.
    void Put(std::int32_t pattern, std::int32_t row, std::int32_t channel, std::uint8_t note,
             std::uint8_t instrument = 0, std::uint8_t volumeCommand = 0, std::uint8_t effect = 0,
             std::uint8_t param = 0);

    // Adds an instrument whose every note plays one new looping sample of `frames` frames
    // (a square wave); returns the instrument's number (1 for the first).
    std::int32_t AddInstrument(std::uint8_t volume = 64, std::int32_t panning = 128,
                               std::int8_t finetune = 0, std::int8_t relativeNote = 0,
                               std::uint32_t frames = 256, std::uint8_t loopKind = kLoopForward);
    Instrument& InstrumentAt(std::int32_t number) {
        return instruments[static_cast<std::size_t>(number - 1)];
    }
    Sample& SampleOf(std::int32_t number) {
        return *WritableSample(instruments[static_cast<std::size_t>(number - 1)].samples[0]);
    }

    // The song as a length-prefixed XM image, as LoadModule takes it.
    std::vector<std::uint8_t> XmImage() const;
};

// Sets the player's output parameters for 44100 Hz and resets the song's playback state.
void StartTestPlayback(Song* song);

// Note number of a note name such as "C-4" (49).
std::uint8_t NoteNumber(const char* name);
