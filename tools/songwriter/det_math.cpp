// Deterministic sine, power of two and noise for the synthesizer.
#include "det_math.h"

namespace {

// Taylor series of sin on [-pi/2, pi/2]; the error stays below 1e-9 there.
double SineNearZero(double x) {
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int k = 1; k <= 8; ++k) {
        term = -term * x2 / static_cast<double>((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

// Largest integer not above x, for the moderate ranges used here.
double Floor(double x) {
    const auto whole = static_cast<double>(static_cast<std::int64_t>(x));
    return whole > x ? whole - 1.0 : whole;
}

}  // namespace

double Sine(double turns) {
    double t = turns - Floor(turns);  // 0 <= t < 1
    if (t >= 0.5) {
        t -= 1.0;  // -0.5 <= t < 0.5
    }
    // Fold into a quarter turn: sin(pi - x) = sin(x).
    if (t > 0.25) {
        t = 0.5 - t;
    } else if (t < -0.25) {
        t = -0.5 - t;
    }
    return SineNearZero(2.0 * kPi * t);
}

double Exp2(double x) {
    const double whole = Floor(x);
    const double fraction = x - whole;  // 0 <= fraction < 1
    // exp(fraction * ln 2) by its series: converges fast on [0, ln 2).
    const double y = fraction * 0.69314718055994530942;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k <= 18; ++k) {
        term = term * y / static_cast<double>(k);
        sum += term;
    }
    auto exponent = static_cast<std::int64_t>(whole);
    for (; exponent > 0; --exponent) {
        sum *= 2.0;
    }
    for (; exponent < 0; ++exponent) {
        sum *= 0.5;
    }
    return sum;
}

double SemitoneRatio(double semitones) {
    return Exp2(semitones / 12.0);
}

std::int32_t RoundToInt(double x) {
    return static_cast<std::int32_t>(x < 0.0 ? x - 0.5 : x + 0.5);
}

double Clamp(double x, double low, double high) {
    return x < low ? low : (x > high ? high : x);
}

double NextNoise(NoiseSource& source) {
    source.state = source.state * 1664525u + 1013904223u;
    // The top 24 bits are the well-mixed part of the generator.
    return static_cast<double>(source.state >> 8) / 8388608.0 - 1.0;
}
