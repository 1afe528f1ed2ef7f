// Purpose-made songs for the golden traces: each one exercises a family of effects so that a
// change in behaviour shows up as a readable difference in one trace.
#include "golden_songs.h"

#include "effects.h"

namespace {

std::uint8_t N(const char* name) {
    return NoteNumber(name);
}

// Pitch and volume effects in the Amiga table, one channel per family.
std::unique_ptr<TestSong> PitchAndVolume() {
    auto t = std::make_unique<TestSong>(4, std::vector<std::int32_t>{16, 16},
                                        std::vector<std::uint8_t>{0, 1});
    std::uint8_t lead = static_cast<std::uint8_t>(t->AddInstrument(48, 96, 16, 0, 512));
    std::uint8_t bass =
        static_cast<std::uint8_t>(t->AddInstrument(64, 160, -20, -12, 2048, kLoopPingPong));
    // Channel 0: arpeggio, then portamentos with memory.
    t->Put(0, 0, 0, N("C-4"), lead, 0, kEffectArpeggio, 0x47);
    t->Put(0, 2, 0, 0, 0, 0, kEffectPortaUp, 0x08);
    t->Put(0, 3, 0, 0, 0, 0, kEffectPortaUp, 0x00);
    t->Put(0, 4, 0, 0, 0, 0, kEffectPortaDown, 0x10);
    t->Put(0, 5, 0, 0, 0, 0, kEffectExtended, 0x12);
    t->Put(0, 6, 0, 0, 0, 0, kEffectExtraFinePorta, 0x23);
    t->Put(0, 8, 0, N("G-4"), lead, 0, kEffectTonePorta, 0x00);
    t->Put(0, 9, 0, N("E-4"), 0, 0, kEffectTonePorta, 0x20);
    t->Put(0, 10, 0, 0, 0, 0, kEffectTonePortaVolumeSlide, 0x04);
    t->Put(0, 12, 0, kNoteKeyOff);
    // Channel 1: vibrato in its waveforms, tremolo, tremor.
    t->Put(0, 0, 1, N("A-3"), bass, 0, kEffectVibrato, 0x4A);
    t->Put(0, 2, 1, 0, 0, 0, kEffectExtended, 0x41);
    t->Put(0, 3, 1, 0, 0, 0, kEffectVibratoVolumeSlide, 0x02);
    t->Put(0, 4, 1, 0, 0, 0, kEffectExtended, 0x72);
    t->Put(0, 5, 1, 0, 0, 0, kEffectTremolo, 0x6C);
    t->Put(0, 7, 1, 0, 0, 0x40, kEffectTremor, 0x21);
    t->Put(0, 9, 1, N("A-3"), bass, 0xA6, kEffectExtended, 0xC4);
    t->Put(0, 10, 1, N("C-4"), bass, 0xB4, kEffectExtended, 0xD3);
    // Channel 2: volume and panning, volume column slides.
    t->Put(0, 0, 2, N("E-5"), lead, 0x20, kEffectVolumeSlide, 0x20);
    t->Put(0, 2, 2, 0, 0, 0x65, kEffectPanningSlide, 0x0F);
    t->Put(0, 3, 2, 0, 0, 0x93, kEffectSetPanning, 0xF0);
    t->Put(0, 4, 2, 0, 0, 0xD4, kEffectExtended, 0xA3);
    t->Put(0, 5, 2, 0, 0, 0xE8, kEffectExtended, 0xB2);
    t->Put(0, 6, 2, 0, 0, 0xC2, kEffectSetVolume, 0x30);
    t->Put(0, 7, 2, N("E-5"), 0, 0xF4, kEffectGlobalVolume, 0x30);
    t->Put(0, 8, 2, 0, 0, 0, kEffectGlobalVolumeSlide, 0x20);
    // Channel 3: sample offset, retriggers.
    t->Put(0, 0, 3, N("C-3"), bass, 0, kEffectSampleOffset, 0x04);
    t->Put(0, 2, 3, N("C-3"), bass, 0, kEffectSampleOffset, 0x00);
    t->Put(0, 4, 3, N("C-3"), bass, 0, kEffectExtended, 0x92);
    t->Put(0, 6, 3, N("D-3"), bass, 0, kEffectMultiRetrig, 0x63);
    t->Put(0, 7, 3, 0, 0, 0, kEffectMultiRetrig, 0x00);
    t->Put(0, 8, 3, N("D-3"), bass, 0, kEffectSampleOffset, 0x40);
    t->Put(0, 10, 3, 0, 0, 0, kEffectKeyOff, 0);
    // Pattern 1: the same families again at another speed, in other channels.
    t->Put(1, 0, 0, 0, 0, 0, kEffectSpeedTempo, 0x03);
    t->Put(1, 0, 1, N("F-4"), lead, 0, kEffectArpeggio, 0x0C);
    t->Put(1, 1, 2, N("F-4"), bass, 0, kEffectPortaDown, 0x40);
    t->Put(1, 2, 3, N("G-2"), lead, 0, kEffectVibrato, 0xF8);
    t->Put(1, 4, 0, N("C-6"), lead, 0, kEffectExtended, 0x57);
    t->Put(1, 5, 0, N("C-6"), 0, 0, kEffectExtended, 0x00);
    return t;
}

// Envelopes, fade-out and auto-vibrato in the linear table.
std::unique_ptr<TestSong> Envelopes() {
    auto t = std::make_unique<TestSong>(3, std::vector<std::int32_t>{32},
                                        std::vector<std::uint8_t>{0}, true);
    std::uint8_t pad = static_cast<std::uint8_t>(t->AddInstrument(64, 128, 0, 0, 1024));
    Instrument& padInstrument = t->InstrumentAt(pad);
    EnvelopePoint volume[] = {{0, 0}, {4, 64}, {10, 40}, {16, 48}, {30, 0}};
    for (int i = 0; i < 5; ++i) padInstrument.volumeEnvelope[i] = volume[i];
    padInstrument.volumePointCount = 5;
    padInstrument.volumeType = 7;
    padInstrument.volumeSustainPoint = 2;
    padInstrument.volumeLoopStart = 2;
    padInstrument.volumeLoopEnd = 3;
    EnvelopePoint panning[] = {{0, 32}, {8, 0}, {16, 64}};
    for (int i = 0; i < 3; ++i) padInstrument.panningEnvelope[i] = panning[i];
    padInstrument.panningPointCount = 3;
    padInstrument.panningType = 5;
    padInstrument.panningLoopStart = 0;
    padInstrument.panningLoopEnd = 2;
    padInstrument.fadeout = 2048;
    padInstrument.autoVibratoType = 0;
    padInstrument.autoVibratoSweep = 12;
    padInstrument.autoVibratoDepth = 10;
    padInstrument.autoVibratoRate = 20;

    std::uint8_t pluck = static_cast<std::uint8_t>(t->AddInstrument(50, 60, -64, 5, 600));
    Instrument& pluckInstrument = t->InstrumentAt(pluck);
    pluckInstrument.fadeout = 300;
    pluckInstrument.autoVibratoType = 2;
    pluckInstrument.autoVibratoDepth = 30;
    pluckInstrument.autoVibratoRate = 40;

    t->Put(0, 0, 0, N("C-4"), pad);
    t->Put(0, 6, 0, 0, 0, 0, kEffectEnvelopePosition, 0x0C);
    t->Put(0, 12, 0, kNoteKeyOff);
    t->Put(0, 20, 0, N("G-4"), pad);
    t->Put(0, 24, 0, 0, 0, 0, kEffectKeyOff, 0);
    t->Put(0, 0, 1, N("E-4"), pluck);
    t->Put(0, 4, 1, kNoteKeyOff);
    t->Put(0, 8, 1, N("B-4"), pluck, 0, kEffectArpeggio, 0x37);
    t->Put(0, 16, 1, N("B-4"), pluck);
    t->Put(0, 18, 1, 0, pluck);
    t->Put(0, 2, 2, N("C-2"), 9);  // no such instrument
    t->Put(0, 3, 2, N("C-5"), pad, 0, kEffectExtended, 0xD2);
    t->Put(0, 10, 2, 0, pad, 0, kEffectPortaUp, 0x20);
    t->song.defaultBpm = 140;
    return t;
}

// The song position: speed and tempo, jumps, breaks, loops, delays, the restart position.
std::unique_ptr<TestSong> Flow() {
    auto t = std::make_unique<TestSong>(2, std::vector<std::int32_t>{8, 6, 12},
                                        std::vector<std::uint8_t>{0, 1, 2, 1});
    t->song.restartPosition = 2;
    t->song.defaultSpeed = 3;
    std::uint8_t tick = static_cast<std::uint8_t>(t->AddInstrument(40, 128, 0, 0, 128));
    for (int p = 0; p < 3; ++p) {
        const std::int32_t rows = t->patterns[static_cast<std::size_t>(p)].rowCount;
        for (int r = 0; r < rows; r += 2) t->Put(p, r, 0, N("C-5"), tick);
    }
    t->Put(0, 1, 1, 0, 0, 0, kEffectExtended, 0x60);
    t->Put(0, 3, 1, 0, 0, 0, kEffectExtended, 0x61);
    t->Put(0, 4, 1, 0, 0, 0, kEffectExtended, 0xE1);
    t->Put(0, 5, 1, 0, 0, 0, kEffectSpeedTempo, 0x02);
    t->Put(0, 6, 1, 0, 0, 0, kEffectSpeedTempo, 0xA0);
    t->Put(0, 7, 1, 0, 0, 0, kEffectPatternBreak, 0x04);
    t->Put(1, 5, 1, 0, 0, 0, kEffectPositionJump, 0x02);
    t->Put(1, 5, 0, N("C-6"), tick, 0, kEffectPatternBreak, 0x02);
    t->Put(2, 3, 1, 0, 0, 0, kEffectSpeedTempo, 0x00);
    t->Put(2, 6, 1, 0, 0, 0, kEffectSpeedTempo, 0x04);
    t->Put(2, 9, 1, 0, 0, 0, kEffectPatternBreak, 0x99);
    return t;
}

}  // namespace

std::vector<GoldenSong> GoldenSongs() {
    std::vector<GoldenSong> songs;
    songs.push_back({"pitch_and_volume", PitchAndVolume(), 5});
    songs.push_back({"envelopes", Envelopes(), 4});
    songs.push_back({"flow", Flow(), 6});
    return songs;
}
