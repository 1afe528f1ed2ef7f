// The score. A minor at 130 BPM, four bars of 16 rows per pattern:
//   orders 0-2   intro: pads and a bell motif, then bass, hats and arpeggio, then the kick
//                and a snare roll into the main part
//   orders 3-8   main theme (A A' B B'), played twice through A
//   orders 9-10  bridge: choir, bell and flute over a thinned beat, building up again
//   orders 11-13 main theme with a harmony line, then a saw-lead solo
//   order 14     drum break that slows down before the B part returns
//   orders 15-18 B part, a half-length turnaround and a build-up that loops to order 3
#include "score.h"

#include <string>

#include "instruments.h"
#include "score_layers.h"

namespace {

const int kDrumNote = NoteNumber("C-4");

// Melodies, bar by bar ("|" is only for the eye; lengths are in rows).
const char* const kThemeA =
    "A4:2 C5:2 E5:3 D5:3 C5:2 B4:2 C5:2 | C5:3 A4:3 F4:2 A4:4 C5:4 |"
    "G4:2 C5:2 E5:3 G5:3 E5:2 D5:2 C5:2 | D5:6~ B4:2 G4:4 -:4";
const char* const kThemeA2 =
    "A4:2 C5:2 E5:3 A5:3 G5:2 E5:2 C5:2 | F5:3 E5:3 C5:2 A4:4 C5:4 |"
    "B4:2 D5:2 G5:3 F5:3 E5:2 D5:4 | E5:4 /G#5:4 B5:6~ -:2";
const char* const kThemeB =
    "A5:6 F5:2 D5:4 F5:4 | E5:6 C5:2 A4:4 C5:4 | F5:3 A5:3 C6:2 A5:4 F5:4 | G5:6~ E5:2 C5:4 -:4";
const char* const kThemeB2 =
    "A5:6 F5:2 D5:4 F5:4 | E5:6 C5:2 A4:4 E5:4 | F5:3 A5:3 C6:2 D6:4 C6:4 | B5:8~ /D6:4 B5:2 G5:2";
const char* const kIntroMotif =
    "A5:2 C6:2 E6:4 -:8 | A5:2 C6:2 F6:4 -:8 | G5:2 C6:2 E6:4 -:8 | D6:6~ B5:4 -:6";
const char* const kIntroMotif2 =
    "A5:2 C6:2 E6:4 D6:4 C6:4 | A5:2 C6:2 F6:4 E6:4 C6:4 | G5:2 C6:2 E6:4 G6:4 E6:4 | D6:6~ B5:4 "
    "G5:6";
const char* const kRisingLine = "E5:16~ F5:16~ G5:16~ G#5:14~ -:2";
const char* const kBridgeBell =
    "C6:6 A5:2 F5:8 | D6:6 B5:2 G5:8 | E6:6 B5:2 G5:4 E5:4 | A5:12~ -:4";
const char* const kBridgeFlute =
    "A5:4 C6:4 A5:8~ | B5:4 D6:4 B5:8~ | G#5:4 B5:4 E6:8~ | /D6:4 B5:4 G#5:4 E5:4";
const char* const kSolo =
    "E5:2 A5:2 C6:2 B5:2 A5:2 E5:2 C5:2 E5:2 | F5:2 A5:2 C6:4 A5:2 F5:2 C6:2 A5:2 |"
    "G5:2 C6:2 E6:4 D6:2 C6:2 G5:2 E5:2 | D6:2 B5:2 G5:2 /A5:2 B5:2 D6:6~";
const char* const kBuildUp = "E5:8~ A5:8 | C6:8~ A5:8 | B5:4 D6:4 G5:8 | G#5:4 B5:4 E6:6~ -:2";
const char* const kTurnaround = "A5:4 G5:2 F5:2 E5:4 C5:4 | B4:4 /E5:4 G#5:4 B5:4";

const LineStyle kLeadStyle{kLead, 0, 0x04, 0x61, true};
const LineStyle kEchoStyle{kLead, VolumeSet(16), 0x04, 0, true};
const LineStyle kBellStyle{kBell, VolumeSet(44), 0x04, 0x41, true};
const LineStyle kBellEchoStyle{kBell, VolumeSet(14), 0x04, 0, true};
const LineStyle kFluteStyle{kFlute, VolumeSet(40), 0x03, 0x51, true};
const LineStyle kSawStyle{kSawLead, 0, 0x05, 0x61, true};
const LineStyle kSawEchoStyle{kSawLead, VolumeSet(14), 0x05, 0, true};
const LineStyle kHarmonyStyle{kSawLead, VolumeSet(20), 0x04, 0x51, true};

constexpr std::uint8_t kEchoPanning = 0x48;
constexpr std::uint8_t kHarmonyPanning = 0xB8;

// Rhythms, one bar of 16 rows unless noted.
const char* const kFourOnFloor = "X...X...X...X...";
const char* const kBackbeat = "....X.......X...";
const char* const kOffbeatHats = "g.X.g.X.g.X.g.X.";
const char* const kSixteenthHats = "xgXgxgXgxgXgxgXg";
const char* const kOctaveBass = "R.O.R.O.R.O.R.O.";
const char* const kSyncopatedBass = "R..R..O.R..R..O.";

XmPattern Blank() {
    return EmptyPattern(kChannels);
}

void Lead(XmPattern& p, const char* line, const LineStyle& style) {
    WriteLine(p, kChannels, kChLead, ParseLine(line), style);
}

void LeadWithEcho(XmPattern& p, const char* line, const LineStyle& style, const LineStyle& echo) {
    const std::vector<NoteEvent> events = ParseLine(line);
    WriteLine(p, kChannels, kChLead, events, style);
    Echo(p, events, kChEcho, 3, echo, kEchoPanning);
}

void LeadWithHarmony(XmPattern& p, const char* line, const std::vector<Chord>& chords) {
    const std::vector<NoteEvent> events = ParseLine(line);
    WriteLine(p, kChannels, kChLead, events, kLeadStyle);
    const std::vector<NoteEvent> harmony = HarmonyBelow(events, chords);
    WriteLine(p, kChannels, kChEcho, harmony, kHarmonyStyle);
    PanStruckNotes(p, kChEcho, harmony, kHarmonyPanning);
}

// A noise band rising through the rows [from, to) by portamento up while it swells.
void Riser(XmPattern& p, int from, int to) {
    PutNote(p, kChannels, from, kChFx, NoteNumber("C-4"), kSweep, VolumeSet(6));
    PutEffect(p, kChannels, from, kChFx, kPortaUp, 0x01);
    for (int row = from + 1; row < to - 1; ++row) {
        PutEffect(p, kChannels, row, kChFx, kPortaUp, 0);
        PutVolume(p, kChannels, row, kChFx, VolumeFineUp(1));
    }
    // Cut it half-way through the last row, just before the downbeat.
    PutEffect(p, kChannels, to - 1, kChFx, kExtended, kNoteCut | 3);
}

// Toms falling in pitch on the last beats of a pattern.
void TomFill(XmPattern& p, int from) {
    const char* const notes[4] = {"E-4", "C-4", "A-3", "F-3"};
    for (int i = 0; i < 4; ++i) {
        const int row = from + 2 * i;
        PutNote(p, kChannels, row, kChFx, NoteNumber(notes[i]), kTom, VolumeSet(40 - 4 * i));
        PutEffect(p, kChannels, row, kChFx, kPortaDown, 0x06);
    }
}

void Crash(XmPattern& p, int row) {
    PutNote(p, kChannels, row, kChFx, kDrumNote, kCrash);
}

// Silences a channel whose looping instrument would otherwise ring on.
void Silence(XmPattern& p, int row, int channel) {
    PutNote(p, kChannels, row, channel, kDrumNote, kSilent);
}

// The main groove shared by the theme patterns.
void MainGroove(XmPattern& p, const std::vector<Chord>& chords, int snareInstrument) {
    Drums(p, kChKick, kKick, kDrumNote, kFourOnFloor);
    Drums(p, kChSnare, snareInstrument, kDrumNote, kBackbeat, 0, 48);
    Drums(p, kChHats, kClosedHat, kDrumNote, "g...g...g...g...");
    Drums(p, kChHats, kOpenHat, kDrumNote, "..x...x...x...x.");
    Arpeggio(p, chords, kChArp, kArp, 20);
}

XmPattern IntroPads() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "F", "C", "G"});
    // The first chord swells in from near silence.
    PutNote(p, kChannels, 0, kChPadLow, ChordTone(chords[0], 1, NoteNumber("F-4")), kPad,
            VolumeSet(2));
    PutNote(p, kChannels, 0, kChPadHigh, ChordTone(chords[0], 2, NoteNumber("C-5")), kPad,
            VolumeSet(2));
    for (int row = 0; row < 8; ++row) {
        PutEffect(p, kChannels, row, kChPadLow, kVolumeSlide, 0x10);
        PutEffect(p, kChannels, row, kChPadHigh, kVolumeSlide, 0x10);
    }
    Pad(p, chords, kPad, 26, 1);
    // The sub bass grows louder bar by bar.
    Bass(p, chords, "R...............", kSubBass, NoteNumber("E-2"));
    for (int bar = 0; bar < 4; ++bar) {
        PutEffect(p, kChannels, bar * kRowsPerBar, kChBass, kSetVolume,
                  static_cast<std::uint8_t>(24 + 8 * bar));
    }
    LeadWithEcho(p, kIntroMotif, kBellStyle, kBellEchoStyle);
    Riser(p, 32, 64);
    return p;
}

XmPattern IntroGroove() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "F", "C", "G"});
    Pad(p, chords, kPad, 26);
    Bass(p, chords, "R.......R.O.R...", kBass, NoteNumber("E-1"));
    Drums(p, kChHats, kClosedHat, kDrumNote, "..X...X...X...Xg");
    Drums(p, kChSnare, kRim, kDrumNote, "....x.......x..x");
    Arpeggio(p, chords, kChArp, kArp, 18);
    LeadWithEcho(p, kIntroMotif2, kBellStyle, kBellEchoStyle);
    return p;
}

XmPattern IntroBuild() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "F", "G", "E"});
    Drums(p, kChKick, kKick, kDrumNote, kFourOnFloor, 0, 48);
    Drums(p, kChKick, kKick, kDrumNote, "X.X.X.X.X.X.XXXX", 48, 64);
    Drums(p, kChSnare, kClap, kDrumNote, kBackbeat, 0, 48);
    Drums(p, kChSnare, kSnare, kDrumNote, "rrrrrrrrRRRRRRRR", 48, 64);
    Drums(p, kChHats, kClosedHat, kDrumNote, kOffbeatHats);
    Bass(p, chords, kOctaveBass, kBass, NoteNumber("E-1"));
    Arpeggio(p, chords, kChArp, kArp, 22);
    Pad(p, chords, kPad, 24);
    Lead(p, kRisingLine, kFluteStyle);
    Riser(p, 32, 64);
    return p;
}

XmPattern ThemeA() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "F", "C", "G"});
    // The loop comes back here: set speed and tempo again.
    Crash(p, 0);
    PutEffect(p, kChannels, 0, kChFx, kSpeedTempo, kSongSpeed);
    PutEffect(p, kChannels, 0, kChBass, kSpeedTempo, kSongBpm);
    MainGroove(p, chords, kSnare);
    Drums(p, kChSnare, kSnare, kDrumNote, kBackbeat, 48, 64);
    Bass(p, chords, kOctaveBass, kBass, NoteNumber("E-1"));
    Pad(p, chords, kPad, 24);
    LeadWithEcho(p, kThemeA, kLeadStyle, kEchoStyle);
    return p;
}

XmPattern ThemeA2() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "F", "G", "E"});
    MainGroove(p, chords, kSnare);
    Drums(p, kChSnare, kSnare, kDrumNote, "....X.......XgXX", 48, 64);
    Bass(p, chords, kOctaveBass, kBass, NoteNumber("E-1"));
    Pad(p, chords, kPad, 24);
    LeadWithEcho(p, kThemeA2, kLeadStyle, kEchoStyle);
    TomFill(p, 56);
    return p;
}

XmPattern ThemeB(const char* melody, const std::vector<Chord>& chords, bool fillAtEnd) {
    XmPattern p = Blank();
    // Also the landing point after the slowed-down drum break: back to the song's speed.
    Crash(p, 0);
    PutEffect(p, kChannels, 0, kChFx, kSpeedTempo, kSongSpeed);
    Drums(p, kChKick, kKick, kDrumNote, kFourOnFloor);
    Drums(p, kChSnare, kClap, kDrumNote, kBackbeat, 0, fillAtEnd ? 48 : 64);
    if (fillAtEnd) {
        Drums(p, kChSnare, kSnare, kDrumNote, "....X...x.x.XXXX", 48, 64);
    }
    Drums(p, kChHats, kClosedHat, kDrumNote, "x...x...x...x..c");
    Drums(p, kChHats, kOpenHat, kDrumNote, "..X...X...X...X.");
    Bass(p, chords, kSyncopatedBass, kBass, NoteNumber("E-1"));
    Arpeggio(p, chords, kChArp, kArp, 16);
    Stabs(p, chords, kChPadLow, 1, kPluck, "..x..x....x..x..", 30);
    Stabs(p, chords, kChPadHigh, 2, kPluck, "..x..x....x..x..", 26);
    LeadWithEcho(p, melody, kLeadStyle, kEchoStyle);
    return p;
}

XmPattern BridgeCalm() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"F", "G", "Em", "Am"});
    Crash(p, 0);
    Silence(p, 0, kChArp);
    Drums(p, kChSnare, kRim, kDrumNote, "....x.......x...");
    Drums(p, kChHats, kShaker, kDrumNote, "x.gfx.gfx.gfx.gf");
    Bass(p, chords, "R...............", kSubBass, NoteNumber("E-2"));
    Pad(p, chords, kChoir, 30);
    LeadWithEcho(p, kBridgeBell, kBellStyle, kBellEchoStyle);
    // The last bell note fades while the choir holds.
    for (int row = 52; row < 60; ++row) {
        PutVolume(p, kChannels, row, kChLead, VolumeSlideDown(1));
    }
    return p;
}

XmPattern BridgeBuild() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"F", "G", "E", "E"});
    Drums(p, kChKick, kKick, kDrumNote, kFourOnFloor, 32, 48);
    Drums(p, kChKick, kKick, kDrumNote, "X.X.X.X.X.X.X.X.", 48, 64);
    Drums(p, kChSnare, kRim, kDrumNote, "....x.......x...", 0, 32);
    Drums(p, kChSnare, kSnare, kDrumNote, "X...X...r.r.r.r.", 32, 48);
    Drums(p, kChSnare, kSnare, kDrumNote, "R", 48, 64);
    Drums(p, kChHats, kShaker, kDrumNote, "x.gfx.gfx.gfx.gf", 0, 32);
    Drums(p, kChHats, kClosedHat, kDrumNote, kSixteenthHats, 32, 64);
    Bass(p, chords, "R.......R.......", kSubBass, NoteNumber("E-2"));
    Pad(p, chords, kChoir, 28);
    Arpeggio(p, chords, kChArp, kArp, 18, 2);
    LeadWithEcho(p, kBridgeFlute, kFluteStyle, kBellEchoStyle);
    Riser(p, 32, 64);
    return p;
}

XmPattern ThemeWithHarmony(const char* melody, const std::vector<Chord>& chords, bool fillAtEnd) {
    XmPattern p = Blank();
    if (!fillAtEnd) {
        Crash(p, 0);
    }
    MainGroove(p, chords, kClap);
    Drums(p, kChSnare, kClap, kDrumNote, fillAtEnd ? "....X.......XgXX" : kBackbeat, 48, 64);
    Bass(p, chords, kSyncopatedBass, kBass, NoteNumber("E-1"));
    Pad(p, chords, kOrgan, 20);
    LeadWithHarmony(p, melody, chords);
    if (fillAtEnd) {
        TomFill(p, 56);
    }
    return p;
}

XmPattern Solo() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "F", "C", "G"});
    Crash(p, 0);
    Drums(p, kChKick, kKick, kDrumNote, kFourOnFloor);
    Drums(p, kChSnare, kSnare, kDrumNote, kBackbeat);
    Drums(p, kChHats, kClosedHat, kDrumNote, "xgX.xgX.xgX.xgX.");
    Drums(p, kChHats, kOpenHat, kDrumNote, "...X...X...X...X");
    Bass(p, chords, kOctaveBass, kBass, NoteNumber("E-1"));
    Arpeggio(p, chords, kChArp, kArp, 26);
    Pad(p, chords, kPad, 22);
    WriteLine(p, kChannels, kChLead, ParseLine(kSolo), kSawStyle);
    Echo(p, ParseLine(kSolo), kChEcho, 3, kSawEchoStyle, kEchoPanning);
    return p;
}

XmPattern DrumBreak() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "Am", "F", "E"});
    Crash(p, 0);
    Silence(p, 0, kChPadHigh);
    Silence(p, 0, kChArp);
    PutNote(p, kChannels, 0, kChLead, kNoteKeyOff, 0);
    PutNote(p, kChannels, 0, kChEcho, kNoteKeyOff, 0);
    Drums(p, kChKick, kKick, kDrumNote, "X..X..X...X..X..");
    Drums(p, kChSnare, kSnare, kDrumNote, "....X..g....X..g");
    Drums(p, kChHats, kClosedHat, kDrumNote, kSixteenthHats);
    Bass(p, chords, kSyncopatedBass, kBass, NoteNumber("E-1"));
    Stabs(p, chords, kChPadLow, 1, kOrgan, "x..x..x.........", 24);
    TomFill(p, 40);
    Arpeggio(p, chords, kChArp, kArp, 20, 2);
    // Slow down over the last bar; the next pattern restores the speed.
    PutEffect(p, kChannels, 52, kChFx, kSpeedTempo, 7);
    PutEffect(p, kChannels, 58, kChFx, kSpeedTempo, 8);
    PutNote(p, kChannels, 60, kChFx, kDrumNote, kCrash, VolumeSet(30));
    return p;
}

XmPattern Turnaround() {
    // Half a pattern: the break at row 31 moves on to the next order position.
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"F", "E"});
    Drums(p, kChKick, kKick, kDrumNote, "X.......X.......", 0, 32);
    Drums(p, kChSnare, kSnare, kDrumNote, "........X.......", 0, 32);
    Drums(p, kChHats, kClosedHat, kDrumNote, "x.x.x.x.x.x.x.x.", 0, 32);
    Bass(p, chords, "R.......R.O.R.O.", kBass, NoteNumber("E-1"));
    Pad(p, chords, kPad, 22);
    Arpeggio(p, chords, kChArp, kArp, 18);
    LeadWithEcho(p, kTurnaround, kLeadStyle, kEchoStyle);
    PutEffect(p, kChannels, 31, kChFx, kPatternBreak, 0x00);
    return p;
}

XmPattern BuildUp() {
    XmPattern p = Blank();
    const std::vector<Chord> chords = Bars({"Am", "F", "G", "E"});
    Drums(p, kChKick, kKick, kDrumNote, kFourOnFloor, 0, 48);
    Drums(p, kChKick, kKick, kDrumNote, "X.X.X.X.X.X.X.X.", 48, 64);
    Drums(p, kChSnare, kSnare, kDrumNote, kBackbeat, 0, 32);
    Drums(p, kChSnare, kSnare, kDrumNote, "X.X.X.X.X.X.X.X.", 32, 48);
    Drums(p, kChSnare, kSnare, kDrumNote, "rrrrrrrrRRRRRRRR", 48, 64);
    Drums(p, kChHats, kClosedHat, kDrumNote, kSixteenthHats);
    Bass(p, chords, kOctaveBass, kBass, NoteNumber("E-1"));
    Arpeggio(p, chords, kChArp, kArp, 22);
    Pad(p, chords, kPad, 22);
    LeadWithEcho(p, kBuildUp, kLeadStyle, kEchoStyle);
    Riser(p, 32, 64);
    return p;
}

}  // namespace

XmModule ComposeSong() {
    XmModule module;
    module.name = "hashcalc theme";
    module.channelCount = kSongChannels;
    module.restartPosition = kSongRestart;
    module.defaultSpeed = kSongSpeed;
    module.defaultBpm = kSongBpm;
    module.flags = 0;  // Amiga frequency table

    module.patterns.push_back(IntroPads());                                                    // 0
    module.patterns.push_back(IntroGroove());                                                  // 1
    module.patterns.push_back(IntroBuild());                                                   // 2
    module.patterns.push_back(ThemeA());                                                       // 3
    module.patterns.push_back(ThemeA2());                                                      // 4
    module.patterns.push_back(ThemeB(kThemeB, Bars({"Dm", "Am", "F", "C"}), false));           // 5
    module.patterns.push_back(ThemeB(kThemeB2, Bars({"Dm", "Am", "F", "G"}), true));           // 6
    module.patterns.push_back(BridgeCalm());                                                   // 7
    module.patterns.push_back(BridgeBuild());                                                  // 8
    module.patterns.push_back(ThemeWithHarmony(kThemeA, Bars({"Am", "F", "C", "G"}), false));  // 9
    module.patterns.push_back(ThemeWithHarmony(kThemeA2, Bars({"Am", "F", "G", "E"}), true));  // 10
    module.patterns.push_back(Solo());                                                         // 11
    module.patterns.push_back(DrumBreak());                                                    // 12
    module.patterns.push_back(BuildUp());                                                      // 13
    module.patterns.push_back(Turnaround());                                                   // 14

    module.orders = {0, 1, 2, 3, 4, 5, 6, 3, 4, 7, 8, 9, 10, 11, 12, 5, 6, 14, 13};
    return module;
}
