// Tonal instruments: additive oscillators rendered as single cycles or short evolving runs of
// cycles with a loop, shaped in the player by envelopes, fade-out and auto-vibrato.
#include "instruments.h"

#include "synth.h"

namespace {

constexpr std::uint8_t kCentre = 128;

// A pitched sample for C-4 whose cycle spans kFramesPerCycleAtBase * 2^(octave) frames.
struct Tuning {
    int relativeNote;  // a multiple of 12
    int framesPerCycle;
};
Tuning OctaveTuning(int octaves) {
    int frames = kFramesPerCycleAtBase;
    for (int i = 0; i < octaves; ++i) {
        frames *= 2;
    }
    return {12 * octaves, frames};
}

// Renders `cycles` cycles; the callback gets the phase in turns and the run's progress 0..1.
template <typename Voice>
Signal RenderCycles(const Tuning& tuning, int cycles, Voice voice) {
    const int frames = tuning.framesPerCycle * cycles;
    Signal out(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        out[ToSize(i)] =
            voice(static_cast<double>(i) / tuning.framesPerCycle, static_cast<double>(i) / frames);
    }
    return out;
}

// Sample looping its last `loopCycles` cycles (all of it when equal to the run).
XmSample LoopedSample(const char* name, const Signal& signal, const Tuning& tuning, int loopCycles,
                      bool sixteenBit, std::uint8_t loopKind, std::uint8_t volume) {
    const auto loopLength = static_cast<std::uint32_t>(loopCycles * tuning.framesPerCycle);
    const auto loopStart = static_cast<std::uint32_t>(signal.size()) - loopLength;
    return MakeSample(name, signal,
                      {sixteenBit, loopKind, loopStart, loopLength, volume,
                       static_cast<std::int8_t>(tuning.relativeNote), 0, kCentre});
}

XmInstrument Named(const char* name, XmSample sample) {
    XmInstrument instrument;
    instrument.name = name;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

// Harmonic series with 1/k amplitudes scaled by brightness^(k-1): a saw seen through a
// gentle low-pass whose cutoff falls as brightness does.
double DarkSaw(double phase, double brightness, int harmonics) {
    double sum = 0.0;
    double weight = 1.0;
    for (int k = 1; k <= harmonics; ++k) {
        sum += weight * Sine(phase * k) / k;
        weight *= brightness;
    }
    return sum;
}

XmInstrument MakeBass() {
    // Plucked saw bass: bright for a few cycles, then it settles into its last cycle.
    const Tuning tuning = OctaveTuning(2);
    const int cycles = 8;
    Signal signal = RenderCycles(tuning, cycles, [](double phase, double progress) {
        // Settles before the last cycle, which loops.
        const double brightness = 0.93 - 0.13 * (1.0 - Decay(progress * 1.2, 2.0));
        return DarkSaw(phase, brightness, 40) + 0.35 * Sine(phase);
    });
    Normalize(signal, 0.97);
    XmInstrument instrument =
        Named("bass", LoopedSample("bass", signal, tuning, 1, true, kLoopForward, 52));
    instrument.volumeEnvelope.points = {{0, 64}, {6, 50}, {24, 42}, {32, 0}};
    instrument.volumeEnvelope.sustainPoint = 2;
    instrument.fadeout = 1200;
    return instrument;
}

XmInstrument MakeLead() {
    // Pulse wave whose width breathes once per loop: the classic moving chip lead.
    const Tuning tuning = OctaveTuning(1);
    const int cycles = 24;
    Signal signal = RenderCycles(tuning, cycles, [](double phase, double progress) {
        const double width = 0.5 + 0.22 * Sine(progress);
        return PulseWave(phase, width, 14);
    });
    Normalize(signal, 0.97);
    XmInstrument instrument =
        Named("lead", LoopedSample("lead", signal, tuning, cycles, true, kLoopForward, 44));
    instrument.volumeEnvelope.points = {{0, 0}, {2, 64}, {10, 50}, {14, 46}, {30, 0}};
    instrument.volumeEnvelope.sustainPoint = 3;
    instrument.fadeout = 700;
    instrument.autoVibratoType = 0;
    instrument.autoVibratoSweep = 24;
    instrument.autoVibratoDepth = 4;
    instrument.autoVibratoRate = 9;
    return instrument;
}

XmInstrument MakeArp() {
    // Narrow pulse; its looping envelope chops a held note into eighth-note pulses.
    const Tuning tuning = OctaveTuning(1);
    Signal signal =
        RenderCycles(tuning, 1, [](double phase, double) { return PulseWave(phase, 0.25, 16); });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("arp", LoopedSample("arp", signal, tuning, 1, false, kLoopForward, 34));
    instrument.volumeEnvelope.points = {{0, 64}, {4, 36}, {11, 14}, {12, 64}};
    instrument.volumeEnvelope.loopStart = 0;
    instrument.volumeEnvelope.loopEnd = 3;
    instrument.panningEnvelope.points = {{0, 32}, {24, 44}, {72, 20}, {96, 32}};
    instrument.panningEnvelope.loopStart = 0;
    instrument.panningEnvelope.loopEnd = 3;
    instrument.fadeout = 1500;
    return instrument;
}

XmInstrument MakePad() {
    // Three saws a little apart in pitch; 64, 63 and 65 cycles fit the loop exactly, so the
    // slow beating between them repeats seamlessly.
    const Tuning tuning = OctaveTuning(1);
    const int cycles = 64;
    Signal signal = RenderCycles(tuning, cycles, [](double phase, double progress) {
        const double a = DarkSaw(phase, 0.78, 10);
        const double b = DarkSaw(progress * 63.0 + 0.31, 0.78, 10);
        const double c = DarkSaw(progress * 65.0 + 0.67, 0.78, 10);
        return a + 0.8 * b + 0.8 * c;
    });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("pad", LoopedSample("pad", signal, tuning, cycles, false, kLoopForward, 30));
    instrument.volumeEnvelope.points = {{0, 0}, {30, 56}, {48, 64}, {72, 50}, {96, 64}};
    instrument.volumeEnvelope.loopStart = 2;
    instrument.volumeEnvelope.loopEnd = 4;
    instrument.panningEnvelope.points = {{0, 32}, {24, 18}, {72, 46}, {96, 32}};
    instrument.panningEnvelope.loopStart = 0;
    instrument.panningEnvelope.loopEnd = 3;
    instrument.fadeout = 500;
    instrument.autoVibratoSweep = 60;
    instrument.autoVibratoDepth = 2;
    instrument.autoVibratoRate = 5;
    return instrument;
}

XmInstrument MakePluck() {
    const Tuning tuning = OctaveTuning(1);
    const int cycles = 16;
    Signal signal = RenderCycles(tuning, cycles, [](double phase, double progress) {
        // Darkens over all cycles but the last, which loops.
        const double settled = progress * cycles / (cycles - 1);
        return DarkSaw(phase, 0.9 - 0.3 * (settled < 1.0 ? settled : 1.0), 14);
    });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("pluck", LoopedSample("pluck", signal, tuning, 1, false, kLoopForward, 40));
    instrument.volumeEnvelope.points = {{0, 64}, {6, 36}, {20, 12}, {40, 0}};
    instrument.fadeout = 1500;
    return instrument;
}

XmInstrument MakeBell() {
    // Phase modulation at 3.5 times the pitch: the sidebands fall between the harmonics, which
    // is what makes it ring like metal. The pattern repeats every two cycles.
    const Tuning tuning = OctaveTuning(1);
    const int cycles = 16;
    Signal signal = RenderCycles(tuning, cycles, [](double phase, double progress) {
        // Settles before the last two cycles, which loop.
        const double index = 0.25 + 1.1 * Decay(progress * 1.25, 2.0);
        return Sine(phase + index * Sine(phase * 3.5) / (2.0 * kPi));
    });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("bell", LoopedSample("bell", signal, tuning, 2, true, kLoopForward, 44));
    instrument.volumeEnvelope.points = {{0, 64}, {4, 50}, {30, 24}, {90, 8}, {150, 0}};
    instrument.fadeout = 600;
    return instrument;
}

XmInstrument MakeFlute() {
    const Tuning tuning = OctaveTuning(1);
    Signal signal = RenderCycles(tuning, 1, [](double phase, double) {
        return TriangleWave(phase, 9) + 0.25 * Sine(phase * 2.0);
    });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("flute", LoopedSample("flute", signal, tuning, 1, true, kLoopForward, 46));
    instrument.volumeEnvelope.points = {{0, 0}, {5, 64}, {14, 54}, {30, 0}};
    instrument.volumeEnvelope.sustainPoint = 2;
    instrument.fadeout = 900;
    instrument.autoVibratoSweep = 40;
    instrument.autoVibratoDepth = 5;
    instrument.autoVibratoRate = 8;
    return instrument;
}

XmInstrument MakeSweep() {
    // Band of noise looping forward; slides in pitch make it rise or fall.
    const int relativeNote = 12;
    const int frames = 2048;
    NoiseSource noise{0x5EEBu};
    StateVariable band{0.3, 0.0, 0.0};
    Signal signal(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        signal[ToSize(i)] = Filter(band, NextNoise(noise), 0.06).band;
    }
    Normalize(signal, 0.95);
    return Named("sweep", MakeSample("sweep", signal,
                                     {false, kLoopForward, 0, static_cast<std::uint32_t>(frames),
                                      32, relativeNote, 0, kCentre}));
}

XmInstrument MakeSawLead() {
    const Tuning tuning = OctaveTuning(1);
    Signal signal =
        RenderCycles(tuning, 1, [](double phase, double) { return SawWave(phase, 14); });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("saw lead", LoopedSample("saw lead", signal, tuning, 1, true, kLoopForward, 36));
    instrument.volumeEnvelope.points = {{0, 0}, {2, 64}, {12, 48}, {28, 0}};
    instrument.volumeEnvelope.sustainPoint = 2;
    instrument.fadeout = 800;
    instrument.autoVibratoSweep = 16;
    instrument.autoVibratoDepth = 5;
    instrument.autoVibratoRate = 10;
    return instrument;
}

// Resonance curve of one vocal formant at `frequency` Hz.
double Formant(double frequency, double centre, double width) {
    const double d = (frequency - centre) / width;
    return 1.0 / (1.0 + d * d);
}

XmInstrument MakeChoir() {
    // Harmonics weighted by the formants of an open "ah".
    const Tuning tuning = OctaveTuning(1);
    const double fundamental = kBaseRate / kFramesPerCycleAtBase;
    Signal signal = RenderCycles(tuning, 1, [fundamental](double phase, double) {
        double sum = 0.0;
        for (int k = 1; k <= 16; ++k) {
            const double f = fundamental * k;
            const double weight = 0.3 / k + Formant(f, 720.0, 140.0) +
                                  0.7 * Formant(f, 1150.0, 160.0) +
                                  0.25 * Formant(f, 2600.0, 300.0);
            sum += weight * Sine(phase * k + 0.13 * k * k);
        }
        return sum;
    });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("choir", LoopedSample("choir", signal, tuning, 1, true, kLoopForward, 34));
    instrument.volumeEnvelope.points = {{0, 0}, {20, 64}, {40, 58}, {70, 0}};
    instrument.volumeEnvelope.sustainPoint = 2;
    instrument.fadeout = 400;
    instrument.autoVibratoSweep = 50;
    instrument.autoVibratoDepth = 4;
    instrument.autoVibratoRate = 6;
    return instrument;
}

XmInstrument MakeSubBass() {
    const Tuning tuning = OctaveTuning(1);
    Signal signal = RenderCycles(tuning, 1, [](double phase, double) {
        return Sine(phase) + 0.18 * Sine(phase * 2.0) + 0.06 * Sine(phase * 3.0);
    });
    Normalize(signal, 0.97);
    XmInstrument instrument =
        Named("sub bass", LoopedSample("sub bass", signal, tuning, 1, true, kLoopForward, 56));
    instrument.volumeEnvelope.points = {{0, 0}, {3, 64}, {20, 56}, {34, 0}};
    instrument.volumeEnvelope.sustainPoint = 2;
    instrument.fadeout = 1000;
    return instrument;
}

XmInstrument MakeOrgan() {
    // Drawbar-style sum of a few octave and fifth partials.
    const Tuning tuning = OctaveTuning(1);
    Signal signal = RenderCycles(tuning, 1, [](double phase, double) {
        return Sine(phase) + 0.7 * Sine(phase * 2.0) + 0.45 * Sine(phase * 3.0) +
               0.35 * Sine(phase * 4.0) + 0.15 * Sine(phase * 6.0) + 0.1 * Sine(phase * 8.0);
    });
    Normalize(signal, 0.95);
    XmInstrument instrument =
        Named("organ", LoopedSample("organ", signal, tuning, 1, false, kLoopForward, 30));
    instrument.volumeEnvelope.points = {{0, 0}, {3, 64}, {8, 52}, {20, 0}};
    instrument.volumeEnvelope.sustainPoint = 2;
    instrument.fadeout = 1000;
    return instrument;
}

}  // namespace

std::vector<XmInstrument> BuildInstruments() {
    std::vector<XmInstrument> all;
    all.push_back(MakeKick());
    all.push_back(MakeSnare());
    all.push_back(MakeClosedHat());
    all.push_back(MakeOpenHat());
    all.push_back(MakeClap());
    all.push_back(MakeCrash());
    all.push_back(MakeTom());
    XmInstrument silent;
    silent.name = "silence";
    all.push_back(silent);
    all.push_back(MakeBass());
    all.push_back(MakeLead());
    all.push_back(MakeArp());
    all.push_back(MakePad());
    all.push_back(MakePluck());
    all.push_back(MakeBell());
    all.push_back(MakeFlute());
    all.push_back(MakeSweep());
    all.push_back(MakeSawLead());
    all.push_back(MakeChoir());
    all.push_back(MakeShaker());
    all.push_back(MakeRim());
    all.push_back(MakeSubBass());
    all.push_back(MakeOrgan());
    return all;
}
