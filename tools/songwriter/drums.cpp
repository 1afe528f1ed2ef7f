// Percussion instruments: pitch-swept sines for kick and tom, filtered noise for snare, claps,
// hi-hats, cymbal and shaker. All are 8-bit; most are one-shots played at C-4.
#include "instruments.h"
#include "synth.h"

namespace {

constexpr std::uint8_t kCentre = 128;

// Soft saturation that keeps |x| <= 1 and thickens a drum's body.
double Saturate(double x) {
    const double c = Clamp(x, -1.5, 1.5);
    return c - c * c * c * (4.0 / 27.0);
}

// Hats and hand percussion sit a little off centre, by their sample's own panning.
XmInstrument OneShot(const char* name, const Signal& signal, int relativeNote, std::uint8_t volume,
                     std::uint8_t panning = kCentre) {
    XmInstrument instrument;
    instrument.name = name;
    instrument.samples.push_back(MakeSample(
        name, signal,
        {false, kLoopNone, 0, 0, volume, static_cast<std::int8_t>(relativeNote), 0, panning}));
    return instrument;
}

// A sine whose frequency glides from `high` to `low` Hz during `glideSeconds`.
Signal SweptSine(int frames, double rate, double high, double low, double glideSeconds) {
    Signal out(ToSize(frames));
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = i / rate;
        const double frequency = low + (high - low) * Decay(t / glideSeconds, 3.0);
        phase += frequency / rate;
        out[ToSize(i)] = Sine(phase);
    }
    return out;
}

}  // namespace

XmInstrument MakeKick() {
    const int relativeNote = 7;
    const double rate = SampleRate(relativeNote);
    const int frames = RoundToInt(rate * 0.2);
    Signal body = SweptSine(frames, rate, 150.0, 44.0, 0.09);
    NoiseSource noise{0x4B1Cu};
    OnePole click{0.35, 0.0};
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / frames;
        const double clickPart = LowPass(click, NextNoise(noise)) * Decay(i / (rate * 0.004), 2.0);
        body[ToSize(i)] =
            Saturate(1.3 * body[ToSize(i)] * AttackDecay(t, 0.01, 1.6) + 0.5 * clickPart);
    }
    Normalize(body, 0.98);
    return OneShot("kick", body, relativeNote, 58);
}

XmInstrument MakeSnare() {
    const int relativeNote = 7;
    const double rate = SampleRate(relativeNote);
    const int frames = RoundToInt(rate * 0.2);
    Signal tone = SweptSine(frames, rate, 240.0, 180.0, 0.03);
    NoiseSource noise{0x5A4Eu};
    StateVariable shaper{0.7, 0.0, 0.0};
    Signal out(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        const double seconds = i / rate;
        const FilterOutputs f = Filter(shaper, NextNoise(noise), 2600.0 / rate);
        const double rattle = (0.6 * f.band + 0.5 * f.high) * Decay(seconds / 0.2, 2.5);
        const double body = tone[ToSize(i)] * Decay(seconds / 0.07, 2.0);
        out[ToSize(i)] = Saturate(0.8 * body + 1.1 * rattle);
    }
    Normalize(out, 0.98);
    return OneShot("snare", out, relativeNote, 56);
}

XmInstrument MakeClosedHat() {
    const int relativeNote = 24;
    const double rate = SampleRate(relativeNote);
    const int frames = RoundToInt(rate * 0.055);
    NoiseSource noise{0x4A7Fu};
    OnePole body{0.45, 0.0};
    Signal out(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        const double n = NextNoise(noise);
        const double high = n - LowPass(body, n);  // keep only the hiss above a few kHz
        out[ToSize(i)] = high * AttackDecay(static_cast<double>(i) / frames, 0.02, 3.0);
    }
    Normalize(out, 0.95);
    return OneShot("closed hat", out, relativeNote, 40, 152);
}

XmInstrument MakeOpenHat() {
    // A short attack and then a loop of steady hiss; the volume envelope lets it ring and die.
    const int relativeNote = 24;
    const int attack = 512;
    const int loop = 1024;
    NoiseSource noise{0x09E4u};
    OnePole body{0.4, 0.0};
    Signal out(ToSize(attack + loop));
    for (int i = 0; i < attack + loop; ++i) {
        const double n = NextNoise(noise);
        const double level = i < attack ? 1.0 - 0.4 * i / attack : 0.6;
        out[ToSize(i)] = (n - LowPass(body, n)) * level;
    }
    Normalize(out, 0.95);
    XmInstrument instrument;
    instrument.name = "open hat";
    instrument.samples.push_back(
        MakeSample("open hat", out,
                   {false, kLoopForward, static_cast<std::uint32_t>(attack),
                    static_cast<std::uint32_t>(loop), 36, relativeNote, 0, 108}));
    instrument.volumeEnvelope.points = {{0, 64}, {4, 40}, {14, 14}, {24, 0}};
    instrument.fadeout = 2048;
    return instrument;
}

XmInstrument MakeClap() {
    const int relativeNote = 12;
    const double rate = SampleRate(relativeNote);
    const int frames = RoundToInt(rate * 0.13);
    NoiseSource noise{0xC1A9u};
    StateVariable band{0.45, 0.0, 0.0};
    Signal out(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        const double seconds = i / rate;
        // Three quick claps, then the room.
        double level = 0.0;
        for (int burst = 0; burst < 3; ++burst) {
            const double since = seconds - 0.011 * burst;
            if (since >= 0.0) {
                level += Decay(since / 0.009, 2.0);
            }
        }
        const double tail = seconds >= 0.03 ? 0.7 * Decay((seconds - 0.03) / 0.1, 2.0) : 0.0;
        const FilterOutputs f = Filter(band, NextNoise(noise), 1300.0 / rate);
        out[ToSize(i)] = f.band * (level + tail);
    }
    Normalize(out, 0.98);
    return OneShot("clap", out, relativeNote, 48, 120);
}

XmInstrument MakeCrash() {
    // Bright noise with a ping-pong loop; the envelope gives the long decay.
    const int relativeNote = 24;
    const int frames = 2048;
    const int loopStart = 768;
    NoiseSource noise{0xC3A5u};
    OnePole body{0.55, 0.0};
    StateVariable ring{0.2, 0.0, 0.0};
    const double rate = SampleRate(relativeNote);
    Signal out(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        const double n = NextNoise(noise);
        const double hiss = n - LowPass(body, n);
        const double shimmer = Filter(ring, n, 4200.0 / rate).band;
        const double level = i < loopStart ? 1.0 - 0.35 * i / loopStart : 0.65;
        out[ToSize(i)] = (hiss + 0.3 * shimmer) * level;
    }
    Normalize(out, 0.95);
    XmInstrument instrument;
    instrument.name = "crash";
    instrument.samples.push_back(
        MakeSample("crash", out,
                   {false, kLoopPingPong, static_cast<std::uint32_t>(loopStart),
                    static_cast<std::uint32_t>(frames - loopStart), 40, relativeNote, 0, 140}));
    instrument.volumeEnvelope.points = {{0, 64}, {8, 44}, {36, 20}, {80, 6}, {110, 0}};
    instrument.fadeout = 1024;
    return instrument;
}

XmInstrument MakeTom() {
    const int relativeNote = 7;
    const double rate = SampleRate(relativeNote);
    const int frames = RoundToInt(rate * 0.22);
    Signal out = SweptSine(frames, rate, 190.0, 110.0, 0.12);
    NoiseSource noise{0x7017u};
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / frames;
        const double skin = NextNoise(noise) * Decay(i / (rate * 0.01), 2.0);
        out[ToSize(i)] = Saturate(1.2 * out[ToSize(i)] * AttackDecay(t, 0.01, 2.0) + 0.3 * skin);
    }
    Normalize(out, 0.98);
    return OneShot("tom", out, relativeNote, 52);
}

XmInstrument MakeShaker() {
    const int relativeNote = 19;
    const double rate = SampleRate(relativeNote);
    const int frames = RoundToInt(rate * 0.06);
    NoiseSource noise{0x5AC3u};
    OnePole body{0.6, 0.0};
    Signal out(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        const double n = NextNoise(noise);
        out[ToSize(i)] =
            (n - LowPass(body, n)) * AttackDecay(static_cast<double>(i) / frames, 0.3, 2.0);
    }
    Normalize(out, 0.95);
    return OneShot("shaker", out, relativeNote, 30, 100);
}

XmInstrument MakeRim() {
    const int relativeNote = 12;
    const double rate = SampleRate(relativeNote);
    const int frames = RoundToInt(rate * 0.06);
    NoiseSource noise{0x0A11u};
    Signal out(ToSize(frames));
    for (int i = 0; i < frames; ++i) {
        const double seconds = i / rate;
        const double tone = 0.7 * Sine(seconds * 820.0) + 0.4 * Sine(seconds * 1730.0);
        out[ToSize(i)] = tone * Decay(seconds / 0.05, 3.0) +
                         0.5 * NextNoise(noise) * Decay(seconds / 0.004, 1.0);
    }
    Normalize(out, 0.95);
    return OneShot("rim", out, relativeNote, 40, 112);
}
