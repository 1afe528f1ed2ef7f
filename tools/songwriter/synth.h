// Synthesis building blocks: band-limited oscillators, noise, filters and amplitude shapes, and
// the conversion of a rendered signal into an 8- or 16-bit module sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "det_math.h"
#include "xm_writer.h"

using Signal = std::vector<double>;

// The instruments count frames in int, as their formulas use them; this makes a count or a
// frame number (never negative) a signal's size or index.
inline std::size_t ToSize(int frames) {
    return static_cast<std::size_t>(frames);
}

// The player plays a sample at 8363 Hz for C-4 when its relative note is 0; each relative
// semitone scales that rate. A pitched sample tuned to C-4 holds one cycle per
// kFramesPerCycleAtBase frames at that base rate, so all pitched instruments agree in tuning.
constexpr double kBaseRate = 8363.0;
constexpr int kFramesPerCycleAtBase = 32;

// Frames per second at which a sample with this relative note plays for C-4.
double SampleRate(int relativeNote);

// Additive waveforms, phase in turns; harmonics above `harmonics` are left out so that the
// sample stays free of aliasing when it is played several octaves up.
double SawWave(double phase, int harmonics);
double PulseWave(double phase, double width, int harmonics);
double TriangleWave(double phase, int harmonics);

// One-pole low-pass: coefficient 0 < a <= 1, larger is brighter.
struct OnePole {
    double a;
    double state;
};
double LowPass(OnePole& filter, double input);

// Chamberlin state-variable filter; cutoff as a fraction of the sample rate (below 1/6).
struct StateVariable {
    double damping;  // 1/Q
    double low;
    double band;
};
struct FilterOutputs {
    double low;
    double band;
    double high;
};
FilterOutputs Filter(StateVariable& filter, double input, double cutoffFraction);

// Amplitude shapes over normalised time t in [0, 1].
double Decay(double t, double power);  // (1 - t)^power, 0 beyond 1
double AttackDecay(double t, double attack, double power);

// Scales the signal so that its largest magnitude is `peak` (0..1).
void Normalize(Signal& signal, double peak);

// Quantizes a signal in [-1, 1] into sample values (8-bit: -128..127).
std::vector<std::int16_t> Quantize(const Signal& signal, bool sixteenBit);

struct SampleShape {
    bool sixteenBit;
    std::uint8_t loopKind;  // LoopKind
    std::uint32_t loopStart;
    std::uint32_t loopLength;
    std::uint8_t volume;
    std::int8_t relativeNote;
    std::int8_t finetune;
    std::uint8_t panning;
};
XmSample MakeSample(const char* name, const Signal& signal, const SampleShape& shape);
