// Deterministic maths for the synthesizer: the composed module must come out byte for byte the
// same on every build, so the few transcendental functions it needs are computed here with plain
// arithmetic instead of the C library (whose results may differ between optimisation levels when
// the compiler folds constant calls).
#pragma once

#include <cstdint>

constexpr double kPi = 3.14159265358979323846;

// sin(2 * pi * turns).
double Sine(double turns);
// 2 raised to x.
double Exp2(double x);
// Frequency ratio of a number of semitones (may be fractional).
double SemitoneRatio(double semitones);
// Nearest integer, ties away from zero.
std::int32_t RoundToInt(double x);
double Clamp(double x, double low, double high);

// A small linear congruential generator: reproducible white noise.
struct NoiseSource {
    std::uint32_t state;
};
// Uniform value in [-1, 1).
double NextNoise(NoiseSource& source);
