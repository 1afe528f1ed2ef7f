// Drums, bass, arpeggio, pad, stab and echo layers of the score.
#include "score_layers.h"

std::vector<Chord> Bars(const std::vector<std::string>& names) {
    std::vector<Chord> chords;
    chords.reserve(names.size());
    for (const std::string& name : names) {
        chords.push_back(ChordNamed(name));
    }
    return chords;
}

void Drums(XmPattern& pattern, int channel, int instrument, int note, const std::string& hits,
           int startRow, int endRow) {
    if (hits.empty()) {
        return;
    }
    bool rolling = false;
    for (int row = startRow; row < endRow; ++row) {
        const char hit = hits[static_cast<std::size_t>(row - startRow) % hits.size()];
        const bool roll = hit == 'r' || hit == 'R';
        switch (hit) {
            case 'X': PutNote(pattern, kChannels, row, channel, note, instrument); break;
            case 'x':
                PutNote(pattern, kChannels, row, channel, note, instrument, VolumeSet(44));
                break;
            case 'g':
                PutNote(pattern, kChannels, row, channel, note, instrument, VolumeSet(22));
                break;
            case 'f':
                PutNote(pattern, kChannels, row, channel, note, instrument, VolumeSet(30));
                PutEffect(pattern, kChannels, row, channel, kExtended, kNoteDelay | 2);
                break;
            case 'c':
                PutNote(pattern, kChannels, row, channel, note, instrument, VolumeSet(40));
                PutEffect(pattern, kChannels, row, channel, kExtended, kNoteCut | 3);
                break;
            case 'r':
                // The first note of a roll selects the instrument; the rest keep the volume.
                PutNote(pattern, kChannels, row, channel, note, rolling ? 0 : instrument,
                        rolling ? VolumeFineUp(2) : VolumeSet(28));
                PutEffect(pattern, kChannels, row, channel, kExtended, kRetrigger | 3);
                break;
            case 'R':
                // Multi retrig every three ticks, adding 2 to the volume at each.
                PutNote(pattern, kChannels, row, channel, note, rolling ? 0 : instrument,
                        rolling ? 0 : VolumeSet(14));
                PutEffect(pattern, kChannels, row, channel, kMultiRetrig, 0xA3);
                break;
            default: break;
        }
        rolling = roll;
    }
}

void Bass(XmPattern& pattern, const std::vector<Chord>& chords, const std::string& rhythm,
          int instrument, int octaveFloor, int firstBar) {
    for (int bar = firstBar; bar < static_cast<int>(chords.size()); ++bar) {
        const Chord& chord = chords[static_cast<std::size_t>(bar)];
        const int root = ChordTone(chord, 0, octaveFloor);
        for (int step = 0; step < kRowsPerBar; ++step) {
            const int row = bar * kRowsPerBar + step;
            switch (rhythm[static_cast<std::size_t>(step) % rhythm.size()]) {
                case 'R': PutNote(pattern, kChannels, row, kChBass, root, instrument); break;
                case 'O':
                    PutNote(pattern, kChannels, row, kChBass, root + 12, instrument, VolumeSet(40));
                    break;
                case 'F':
                    PutNote(pattern, kChannels, row, kChBass, ChordTone(chord, 2, root), instrument,
                            VolumeSet(44));
                    break;
                case '-': PutNote(pattern, kChannels, row, kChBass, kNoteKeyOff, 0); break;
                default: break;
            }
        }
    }
}

void Arpeggio(XmPattern& pattern, const std::vector<Chord>& chords, int channel, int instrument,
              int volume, int firstBar) {
    for (int bar = firstBar; bar < static_cast<int>(chords.size()); ++bar) {
        const Chord& chord = chords[static_cast<std::size_t>(bar)];
        const int row = bar * kRowsPerBar;
        PutNote(pattern, kChannels, row, channel, ChordTone(chord, 0, NoteNumber("A-4")),
                instrument, VolumeSet(volume));
        for (int step = 0; step < kRowsPerBar; ++step) {
            PutEffect(pattern, kChannels, row + step, channel, kArpeggio, ArpeggioParam(chord));
        }
    }
}

namespace {

// Close voicing: the third from F-4 upwards, the fifth just above it.
int PadTone(const Chord& chord, int index) {
    const int third = ChordTone(chord, 1, NoteNumber("F-4"));
    return index == 1 ? third : ChordTone(chord, 2, third);
}

}  // namespace

void Pad(XmPattern& pattern, const std::vector<Chord>& chords, int instrument, int volume,
         int firstBar) {
    for (int bar = firstBar; bar < static_cast<int>(chords.size()); ++bar) {
        const Chord& chord = chords[static_cast<std::size_t>(bar)];
        const int row = bar * kRowsPerBar;
        PutNote(pattern, kChannels, row, kChPadLow, PadTone(chord, 1), instrument,
                VolumeSet(volume));
        PutNote(pattern, kChannels, row, kChPadHigh, PadTone(chord, 2), instrument,
                VolumeSet(volume));
    }
}

void Stabs(XmPattern& pattern, const std::vector<Chord>& chords, int channel, int toneIndex,
           int instrument, const std::string& rhythm, int volume) {
    for (int bar = 0; bar < static_cast<int>(chords.size()); ++bar) {
        const Chord& chord = chords[static_cast<std::size_t>(bar)];
        for (int step = 0; step < kRowsPerBar; ++step) {
            if (rhythm[static_cast<std::size_t>(step) % rhythm.size()] != 'x') {
                continue;
            }
            const int row = bar * kRowsPerBar + step;
            PutNote(pattern, kChannels, row, channel, PadTone(chord, toneIndex) + 12, instrument,
                    VolumeSet(volume));
            PutEffect(pattern, kChannels, row, channel, kExtended, kNoteCut | 4);
        }
    }
}

void Echo(XmPattern& pattern, const std::vector<NoteEvent>& events, int channel, int delayRows,
          const LineStyle& style, std::uint8_t panning) {
    std::vector<NoteEvent> delayed;
    for (NoteEvent event : events) {
        event.row += delayRows;
        if (event.row < pattern.rowCount) {
            delayed.push_back(event);
        }
    }
    if (delayed.empty()) {
        return;
    }
    for (NoteEvent& event : delayed) {
        event.vibrato = false;
    }
    WriteLine(pattern, kChannels, channel, delayed, style);
    PanStruckNotes(pattern, channel, delayed, panning);
}

void PanStruckNotes(XmPattern& pattern, int channel, const std::vector<NoteEvent>& events,
                    std::uint8_t panning) {
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (!events[i].slide || i == 0) {
            PutEffect(pattern, kChannels, events[i].row, channel, kSetPanning, panning);
        }
    }
}
