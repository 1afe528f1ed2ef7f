// Mixer throughput: 64 sounding voices at an interpolating step over looping samples, half
// of them ramping at all times, mixed in runs of one ramp length. Reports voice-frames per
// second and how many times faster than real time 64 voices at 44100 Hz are mixed.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mixer.h"
#include "output.h"
#include "player_state.h"
#include "song.h"

namespace {

constexpr int kOutputRate = 44100;
constexpr int kRunFrames = 128;
constexpr int kRunsPerIteration = 7;  // 896 frames, about one block
constexpr int kSampleFrames = 20000;

void MixSixtyFourVoices(benchmark::State& state) {
    SetOutputParameters(kOutputRate);
    std::vector<std::int16_t> values(kSampleFrames + kSampleSlackBytes / 2);
    for (std::uint32_t i = 0; i < kSampleFrames; ++i)
        values[i] = static_cast<std::int16_t>((i * 2654435761u) >> 17);
    Sample looped{};
    looped.data = values.data();
    looped.length = kSampleFrames;
    looped.loopStart = 2000;
    looped.loopLength = kSampleFrames - 2000;
    looped.loopKind = kLoopForward;
    looped.bits = 16;
    values[kSampleFrames] = values[looped.loopStart];

    for (int slot = 0; slot < kMixedVoiceCount; ++slot) {
        MixVoice* voice = &Player.mixer.voices[slot];
        StartVoiceNote(Player.mixer, &voice, &looped);
        SetVoiceGains(voice, 100 + slot, 200 - slot);
        // Steps from 0.5 to about 2.5 samples per frame, none of them whole.
        SetVoicePitch(Player.mixer, voice, 22050 + 1400 * slot + 7);
        voice->positionInt = static_cast<std::uint32_t>(slot * 250);
    }
    std::vector<float> mix(std::size_t{2} * kRunFrames);
    int flip = 0;
    for (auto _ : state) {
        for (int run = 0; run < kRunsPerIteration; ++run) {
            // The odd voices get a new target before every run, so they ramp throughout.
            flip ^= 1;
            for (int slot = 1; slot < kMixedVoiceCount; slot += 2) {
                SetVoiceGains(&Player.mixer.voices[slot], flip ? 60 : 220, flip ? 230 : 40);
            }
            MixVoices(Player.mixer, mix.data(), kRunFrames);
            benchmark::DoNotOptimize(mix.data());
        }
    }
    const double frames = static_cast<double>(state.iterations()) * kRunsPerIteration * kRunFrames;
    state.counters["voice_frames_per_second"] =
        benchmark::Counter(frames * kMixedVoiceCount, benchmark::Counter::kIsRate);
    state.counters["times_real_time_64_voices"] =
        benchmark::Counter(frames / kOutputRate, benchmark::Counter::kIsRate);
}
BENCHMARK(MixSixtyFourVoices)->Unit(benchmark::kMicrosecond);

}  // namespace
