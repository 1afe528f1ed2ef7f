// Score notation: note names, melody lines written as text, chords, and the cell-level helpers
// with which the score fills patterns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xm_writer.h"

constexpr int kRowsPerPattern = 64;
constexpr int kRowsPerBar = 16;
constexpr int kRowsPerBeat = 4;

// Effect numbers as stored in a cell.
enum EffectNumber : std::uint8_t {
    kArpeggio = 0x0,
    kPortaUp = 0x1,
    kPortaDown = 0x2,
    kTonePorta = 0x3,
    kVibrato = 0x4,
    kSetPanning = 0x8,
    kVolumeSlide = 0xA,
    kSetVolume = 0xC,
    kPatternBreak = 0xD,
    kExtended = 0xE,
    kSpeedTempo = 0xF,
    kMultiRetrig = 27,  // R
};
// High nibbles of the extended (E) commands.
constexpr std::uint8_t kRetrigger = 0x90;
constexpr std::uint8_t kNoteCut = 0xC0;
constexpr std::uint8_t kNoteDelay = 0xD0;

// Volume-column commands.
std::uint8_t VolumeSet(int volume);  // 0..64
std::uint8_t VolumeSlideDown(int step);
std::uint8_t VolumeSlideUp(int step);
std::uint8_t VolumeFineDown(int step);
std::uint8_t VolumeFineUp(int step);

// "C-4", "C#4" or "C4" to a note number (1 is C-0); 0 for a name it cannot read.
int NoteNumber(const std::string& name);

// One note of a melody line. Rests are not stored: the gap between notes is the rest.
struct NoteEvent {
    int row;
    int note;
    int length;    // rows
    bool slide;    // glide into the note from the previous one (tone portamento)
    bool vibrato;  // vibrato once the note has sounded for a beat
};

// Reads a line such as "A4:2 C5:2 E5:4~ -:4 /D5:4": note:rows, "-" a rest, a leading "/" a
// glide from the previous note, a trailing "~" vibrato. Rows are counted from startRow.
std::vector<NoteEvent> ParseLine(const std::string& text, int startRow = 0);
// Moves every note by the given number of semitones.
std::vector<NoteEvent> Transpose(std::vector<NoteEvent> events, int semitones);

// A triad: the root's pitch class (0 = C) and whether the third is minor.
struct Chord {
    int root;
    bool minor;
};
// "Am", "F", "G#m"...
Chord ChordNamed(const std::string& name);
// The chord's tone with the given index (0 root, 1 third, 2 fifth) nearest above `floor`.
int ChordTone(const Chord& chord, int index, int floor);
// Semitones from the root to the third and to the fifth, as an arpeggio parameter.
std::uint8_t ArpeggioParam(const Chord& chord);

// Cell access and writing. Writing a field that is already set is a composing error; the score
// only writes empty fields, which the helpers check.
XmPattern EmptyPattern(int channelCount, int rowCount = kRowsPerPattern);
Cell& CellAt(XmPattern& pattern, int channelCount, int row, int channel);
// How many writes so far found their field already set (each is also reported on stderr).
int CompositionClashes();
bool PutNote(XmPattern& pattern, int channelCount, int row, int channel, int note, int instrument,
             std::uint8_t volumeCommand = 0);
bool PutEffect(XmPattern& pattern, int channelCount, int row, int channel, std::uint8_t effect,
               std::uint8_t param);

// Writes a melody line on one channel: key-off where a rest begins (when keyOffAtRests),
// tone portamento for glides and vibrato on long notes.
struct LineStyle {
    int instrument;
    std::uint8_t volumeCommand;  // on each struck note; 0 for the sample's own volume
    std::uint8_t slideSpeed;     // tone-portamento speed for glides
    std::uint8_t vibrato;        // vibrato parameter for notes marked "~"
    bool keyOffAtRests;
};
void WriteLine(XmPattern& pattern, int channelCount, int channel,
               const std::vector<NoteEvent>& events, const LineStyle& style);

// A volume-column command on its own (the cell's note and effect are left as they are).
bool PutVolume(XmPattern& pattern, int channelCount, int row, int channel,
               std::uint8_t volumeCommand);

// A second voice under a melody: for each note, the highest tone of its bar's chord that lies
// at least a minor third below it, so the two voices always agree with the harmony.
std::vector<NoteEvent> HarmonyBelow(std::vector<NoteEvent> events,
                                    const std::vector<Chord>& chords);
