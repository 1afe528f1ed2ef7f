// Note names, melody text, chords and pattern cell helpers for the score.
#include "score_notation.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

std::uint8_t VolumeSet(int volume) {
    return static_cast<std::uint8_t>(0x10 + volume);
}
std::uint8_t VolumeSlideDown(int step) {
    return static_cast<std::uint8_t>(0x60 + step);
}
std::uint8_t VolumeSlideUp(int step) {
    return static_cast<std::uint8_t>(0x70 + step);
}
std::uint8_t VolumeFineDown(int step) {
    return static_cast<std::uint8_t>(0x80 + step);
}
std::uint8_t VolumeFineUp(int step) {
    return static_cast<std::uint8_t>(0x90 + step);
}

namespace {

// Semitone of a note letter within its octave; -1 for anything else.
int LetterSemitone(char letter) {
    switch (letter) {
        case 'C': return 0;
        case 'D': return 2;
        case 'E': return 4;
        case 'F': return 5;
        case 'G': return 7;
        case 'A': return 9;
        case 'B': return 11;
        default: return -1;
    }
}

}  // namespace

int NoteNumber(const std::string& name) {
    if (name.size() < 2) {
        return 0;
    }
    int semitone = LetterSemitone(name[0]);
    if (semitone < 0) {
        return 0;
    }
    std::size_t at = 1;
    if (name[at] == '#') {
        ++semitone;
        ++at;
    } else if (name[at] == '-') {
        ++at;
    }
    if (at + 1 != name.size() || name[at] < '0' || name[at] > '7') {
        return 0;
    }
    const int octave = name[at] - '0';
    return octave * 12 + semitone + 1;
}

std::vector<NoteEvent> ParseLine(const std::string& text, int startRow) {
    std::vector<NoteEvent> events;
    std::istringstream words(text);
    std::string word;
    int row = startRow;
    while (words >> word) {
        const std::size_t colon = word.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string pitch = word.substr(0, colon);
        std::string length = word.substr(colon + 1);
        NoteEvent event{row, 0, 0, false, false};
        if (!length.empty() && length.back() == '~') {
            event.vibrato = true;
            length.pop_back();
        }
        event.length = std::atoi(length.c_str());
        if (!pitch.empty() && pitch.front() == '/') {
            event.slide = true;
            pitch.erase(0, 1);
        }
        if (pitch != "-") {
            event.note = NoteNumber(pitch);
            if (event.note != 0) {
                events.push_back(event);
            }
        }
        row += event.length;
    }
    return events;
}

std::vector<NoteEvent> Transpose(std::vector<NoteEvent> events, int semitones) {
    for (NoteEvent& event : events) {
        event.note += semitones;
    }
    return events;
}

Chord ChordNamed(const std::string& name) {
    Chord chord{0, false};
    if (name.empty()) {
        return chord;
    }
    chord.root = LetterSemitone(name[0]);
    std::size_t at = 1;
    if (at < name.size() && name[at] == '#') {
        chord.root = (chord.root + 1) % 12;
        ++at;
    }
    chord.minor = at < name.size() && name[at] == 'm';
    return chord;
}

int ChordTone(const Chord& chord, int index, int floor) {
    const int offsets[3] = {0, chord.minor ? 3 : 4, 7};
    const int pitchClass = (chord.root + offsets[index]) % 12;
    // Note numbers start at 1 for C-0, so pitch class pc sits at 12k + pc + 1.
    int note = pitchClass + 1;
    while (note < floor) {
        note += 12;
    }
    return note;
}

std::uint8_t ArpeggioParam(const Chord& chord) {
    return static_cast<std::uint8_t>(((chord.minor ? 3 : 4) << 4) | 7);
}

XmPattern EmptyPattern(int channelCount, int rowCount) {
    XmPattern pattern;
    pattern.rowCount = rowCount;
    pattern.cells.assign(
        static_cast<std::size_t>(channelCount) * static_cast<std::size_t>(rowCount),
        Cell{0, 0, 0, 0, 0});
    return pattern;
}

Cell& CellAt(XmPattern& pattern, int channelCount, int row, int channel) {
    const int index = row * channelCount + channel;
    return pattern.cells[static_cast<std::size_t>(index)];
}

namespace {

bool InPattern(const XmPattern& pattern, int channelCount, int row, int channel) {
    return row >= 0 && row < pattern.rowCount && channel >= 0 && channel < channelCount;
}

int Clashes = 0;

void ReportClash(int row, int channel, const char* what) {
    ++Clashes;
    std::fprintf(stderr, "songwriter: %s written twice at row %d, channel %d\n", what, row,
                 channel);
}

}  // namespace

int CompositionClashes() {
    return Clashes;
}

bool PutNote(XmPattern& pattern, int channelCount, int row, int channel, int note, int instrument,
             std::uint8_t volumeCommand) {
    if (!InPattern(pattern, channelCount, row, channel)) {
        return false;
    }
    Cell& cell = CellAt(pattern, channelCount, row, channel);
    if (cell.note != 0 || cell.instrument != 0 || (volumeCommand != 0 && cell.volumeCommand != 0)) {
        ReportClash(row, channel, "note");
        return false;
    }
    cell.note = static_cast<std::uint8_t>(note);
    cell.instrument = static_cast<std::uint8_t>(instrument);
    if (volumeCommand != 0) {
        cell.volumeCommand = volumeCommand;
    }
    return true;
}

bool PutEffect(XmPattern& pattern, int channelCount, int row, int channel, std::uint8_t effect,
               std::uint8_t param) {
    if (!InPattern(pattern, channelCount, row, channel)) {
        return false;
    }
    Cell& cell = CellAt(pattern, channelCount, row, channel);
    if (cell.effect != 0 || cell.effectParam != 0) {
        ReportClash(row, channel, "effect");
        return false;
    }
    cell.effect = effect;
    cell.effectParam = param;
    return true;
}

void WriteLine(XmPattern& pattern, int channelCount, int channel,
               const std::vector<NoteEvent>& events, const LineStyle& style) {
    for (std::size_t i = 0; i < events.size(); ++i) {
        const NoteEvent& event = events[i];
        if (event.slide && i > 0) {
            // A glide keeps the sounding note and bends it to the new pitch.
            PutNote(pattern, channelCount, event.row, channel, event.note, 0);
            PutEffect(pattern, channelCount, event.row, channel, kTonePorta, style.slideSpeed);
            for (int r = 1; r < event.length && r < kRowsPerBeat / 2; ++r) {
                PutEffect(pattern, channelCount, event.row + r, channel, kTonePorta, 0);
            }
        } else {
            PutNote(pattern, channelCount, event.row, channel, event.note, style.instrument,
                    style.volumeCommand);
        }
        if (event.vibrato) {
            const int from = event.slide ? kRowsPerBeat / 2 : kRowsPerBeat;
            for (int r = from; r < event.length; ++r) {
                PutEffect(pattern, channelCount, event.row + r, channel, kVibrato,
                          r == from ? style.vibrato : 0);
            }
        }
        const int end = event.row + event.length;
        const bool restFollows = i + 1 == events.size() || events[i + 1].row > end;
        if (style.keyOffAtRests && restFollows && end < pattern.rowCount) {
            PutNote(pattern, channelCount, end, channel, kNoteKeyOff, 0);
        }
    }
}

bool PutVolume(XmPattern& pattern, int channelCount, int row, int channel,
               std::uint8_t volumeCommand) {
    if (!InPattern(pattern, channelCount, row, channel)) {
        return false;
    }
    Cell& cell = CellAt(pattern, channelCount, row, channel);
    if (cell.volumeCommand != 0) {
        ReportClash(row, channel, "volume");
        return false;
    }
    cell.volumeCommand = volumeCommand;
    return true;
}

std::vector<NoteEvent> HarmonyBelow(std::vector<NoteEvent> events,
                                    const std::vector<Chord>& chords) {
    for (NoteEvent& event : events) {
        const std::size_t bar = static_cast<std::size_t>(event.row / kRowsPerBar);
        if (bar >= chords.size()) {
            continue;
        }
        int best = 0;
        for (int index = 0; index < 3; ++index) {
            // The twelve notes from note - 14 to note - 3 hold each pitch class once.
            const int tone = ChordTone(chords[bar], index, event.note - 14);
            if (tone > best) {
                best = tone;
            }
        }
        event.note = best;
    }
    return events;
}
