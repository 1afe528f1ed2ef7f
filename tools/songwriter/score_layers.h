// Accompaniment layers of the score: drums, bass, arpeggios, pads and stabs, each written onto
// one or two channels of a pattern from a chord per bar and a rhythm written as text.
#pragma once

#include <string>
#include <vector>

#include "score_notation.h"

enum ChannelRole : int {
    kChKick = 0,
    kChSnare = 1,
    kChHats = 2,
    kChBass = 3,
    kChLead = 4,
    kChEcho = 5,
    kChArp = 6,
    kChPadLow = 7,
    kChPadHigh = 8,
    kChFx = 9,
};
constexpr int kChannels = 10;

// One chord per bar, from names such as {"Am", "F", "C", "G"}.
std::vector<Chord> Bars(const std::vector<std::string>& names);

// Drum hits, one character per row, repeated to fill the pattern from startRow:
//   X full hit, x medium, g ghost, f hit delayed by two ticks (swing),
//   r roll: note with a retrigger every three ticks, R roll whose retriggers grow louder,
//   c hit cut short after three ticks, . nothing.
void Drums(XmPattern& pattern, int channel, int instrument, int note, const std::string& hits,
           int startRow = 0, int endRow = kRowsPerPattern);

// Bass, one character per row within each bar: R root, O octave above, F fifth, - key-off,
// . hold or nothing. Bars before firstBar stay empty.
void Bass(XmPattern& pattern, const std::vector<Chord>& chords, const std::string& rhythm,
          int instrument, int octaveFloor, int firstBar = 0);

// A held chord root whose arpeggio runs through third and fifth on every tick.
void Arpeggio(XmPattern& pattern, const std::vector<Chord>& chords, int channel, int instrument,
              int volume, int firstBar = 0);

// Third and fifth of each bar's chord held on the two pad channels.
void Pad(XmPattern& pattern, const std::vector<Chord>& chords, int instrument, int volume,
         int firstBar = 0);

// Short chord stabs (third, or fifth on the second channel) on the rows marked x in a 16-row
// rhythm, cut after a few ticks.
void Stabs(XmPattern& pattern, const std::vector<Chord>& chords, int channel, int toneIndex,
           int instrument, const std::string& rhythm, int volume);

// A delayed, quieter copy of a melody line on another channel, panned away from the original.
void Echo(XmPattern& pattern, const std::vector<NoteEvent>& events, int channel, int delayRows,
          const LineStyle& style, std::uint8_t panning);

// Pans every struck (not glided) note of a line written with WriteLine: each note that names
// an instrument resets the channel to the sample's own panning.
void PanStruckNotes(XmPattern& pattern, int channel, const std::vector<NoteEvent>& events,
                    std::uint8_t panning);
