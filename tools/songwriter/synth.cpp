// Oscillators, filters and shapes for the synthesized instruments.
#include "synth.h"

double SampleRate(int relativeNote) {
    return kBaseRate * SemitoneRatio(relativeNote);
}

double SawWave(double phase, int harmonics) {
    double sum = 0.0;
    for (int k = 1; k <= harmonics; ++k) {
        sum += Sine(phase * k) / k;
    }
    return sum * (2.0 / kPi);
}

double PulseWave(double phase, double width, int harmonics) {
    // Fourier series of a pulse of the given duty cycle, without its DC part.
    double sum = 0.0;
    for (int k = 1; k <= harmonics; ++k) {
        const double weight = Sine(0.5 * k * width) / k;
        sum += weight * Sine(phase * k + 0.25);
    }
    return sum * (4.0 / kPi);
}

double TriangleWave(double phase, int harmonics) {
    double sum = 0.0;
    double sign = 1.0;
    for (int k = 1; k <= harmonics; k += 2) {
        sum += sign * Sine(phase * k) / (k * k);
        sign = -sign;
    }
    return sum * (8.0 / (kPi * kPi));
}

double LowPass(OnePole& filter, double input) {
    filter.state += filter.a * (input - filter.state);
    return filter.state;
}

FilterOutputs Filter(StateVariable& filter, double input, double cutoffFraction) {
    const double f = 2.0 * Sine(0.5 * cutoffFraction);
    const double low = filter.low + f * filter.band;
    const double high = input - low - filter.damping * filter.band;
    const double band = filter.band + f * high;
    filter.low = low;
    filter.band = band;
    return {low, band, high};
}

double Decay(double t, double power) {
    if (t >= 1.0) {
        return 0.0;
    }
    const double rest = 1.0 - (t < 0.0 ? 0.0 : t);
    // Integer and half-integer powers are enough for the shapes used.
    double value = 1.0;
    double remaining = power;
    for (; remaining >= 1.0; remaining -= 1.0) {
        value *= rest;
    }
    if (remaining > 0.0) {
        // Square root by Newton's method for the half step.
        double root = rest > 0.0 ? rest : 0.0;
        double guess = 1.0;
        for (int i = 0; i < 30 && root > 0.0; ++i) {
            guess = 0.5 * (guess + root / guess);
        }
        value *= root > 0.0 ? guess : 0.0;
    }
    return value;
}

double AttackDecay(double t, double attack, double power) {
    if (t < attack) {
        return t / attack;
    }
    return Decay((t - attack) / (1.0 - attack), power);
}

void Normalize(Signal& signal, double peak) {
    double largest = 0.0;
    for (const double v : signal) {
        const double magnitude = v < 0.0 ? -v : v;
        largest = magnitude > largest ? magnitude : largest;
    }
    if (largest <= 0.0) {
        return;
    }
    const double gain = peak / largest;
    for (double& v : signal) {
        v *= gain;
    }
}

std::vector<std::int16_t> Quantize(const Signal& signal, bool sixteenBit) {
    const double scale = sixteenBit ? 32767.0 : 127.0;
    std::vector<std::int16_t> values;
    values.reserve(signal.size());
    for (const double v : signal) {
        values.push_back(static_cast<std::int16_t>(RoundToInt(Clamp(v, -1.0, 1.0) * scale)));
    }
    return values;
}

XmSample MakeSample(const char* name, const Signal& signal, const SampleShape& shape) {
    XmSample sample;
    sample.name = name;
    sample.values = Quantize(signal, shape.sixteenBit);
    sample.sixteenBit = shape.sixteenBit;
    sample.loopKind = shape.loopKind;
    sample.loopStart = shape.loopStart;
    sample.loopLength = shape.loopLength;
    sample.volume = shape.volume;
    sample.relativeNote = shape.relativeNote;
    sample.finetune = shape.finetune;
    sample.panning = shape.panning;
    return sample;
}
