// Rendering speed: a 16-channel song kept busy with notes, slides, vibrato and envelopes, and
// the embedded song, played through the block loop that live playback uses. The "realtime"
// counter is seconds of audio per second of processor time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "embedded_song.h"
#include "mix_kernels.h"
#include "offline_render.h"
#include "player_state.h"
#include "processor.h"
#include "sequencer.h"
#include "song.h"

namespace {

constexpr int kChannels = 16;
constexpr int kRows = 64;
constexpr int kInstruments = 4;
constexpr int kBlocksPerIteration = 500;  // about ten seconds of audio

// A song built in memory: every channel plays a note every other row with a rotating effect,
// on instruments with envelopes, auto-vibrato and looping samples.
struct BusySong {
    Song song{};
    Pattern pattern{};
    std::vector<Cell> cells = std::vector<Cell>(std::size_t{kRows} * kChannels);
    Instrument instruments[kInstruments]{};
    Sample samples[kInstruments]{};
    std::vector<std::int16_t> data[kInstruments];

    BusySong() {
        static const std::uint8_t effects[][2] = {{0x4, 0x46}, {0x0, 0x37}, {0xA, 0x02},
                                                  {0x1, 0x03}, {0x7, 0x44}, {0x3, 0x10},
                                                  {0x6, 0x01}, {0x2, 0x02}};
        for (int i = 0; i < kInstruments; ++i) {
            std::uint32_t frames = 2000u + 1500u * static_cast<std::uint32_t>(i);
            data[i].assign(frames + 16, 0);
            for (std::uint32_t f = 0; f < frames; ++f) {
                data[i][f] = static_cast<std::int16_t>(6000.0 * std::sin(f * 0.05 * (i + 1)));
            }
            Sample& sample = samples[i];
            sample.data = data[i].data();
            sample.length = frames;
            sample.loopStart = frames / 4;
            sample.loopLength = frames - frames / 4;
            sample.volume = 48;
            sample.panning = 40 + 50 * i;
            sample.bits = 16;
            sample.loopKind = i % 2 ? kLoopPingPong : kLoopForward;
            data[i][frames] = i % 2 ? data[i][frames - 1] : data[i][sample.loopStart];
            Instrument& instrument = instruments[i];
            instrument.sampleCount = 1;
            for (const Sample*& slot : instrument.samples) slot = &EmptySample;
            instrument.samples[0] = &sample;
            instrument.volumeEnvelope[0] = {0, 64};
            instrument.volumeEnvelope[1] = {8, 40};
            instrument.volumeEnvelope[2] = {40, 20};
            instrument.volumePointCount = 3;
            instrument.volumeType = 3;
            instrument.volumeSustainPoint = 1;
            instrument.panningEnvelope[0] = {0, 20};
            instrument.panningEnvelope[1] = {30, 44};
            instrument.panningPointCount = 2;
            instrument.panningType = 1;
            instrument.autoVibratoDepth = 8;
            instrument.autoVibratoRate = 30;
            instrument.fadeout = 512;
        }
        for (int row = 0; row < kRows; ++row) {
            for (int c = 0; c < kChannels; ++c) {
                const int index = row * kChannels + c;
                Cell& cell = cells[static_cast<std::size_t>(index)];
                const std::uint8_t* effect = effects[(row / 2 + c) % 8];
                cell.effect = effect[0];
                cell.effectParam = effect[1];
                if ((row + c) % 2 == 0) {
                    cell.note = static_cast<std::uint8_t>(25 + (row * 7 + c * 5) % 48);
                    cell.instrument = static_cast<std::uint8_t>(1 + c % kInstruments);
                } else if ((row + c) % 16 == 5) {
                    cell.note = kNoteKeyOff;
                }
            }
        }
        pattern = {kRows, cells.data()};
        song.patterns = &pattern;
        song.instruments = instruments;
        song.songLength = 1;
        song.channelCount = kChannels;
        song.usedPatternCount = 1;
        song.patternSlotCount = 1;
        song.instrumentCount = kInstruments;
        song.flags = kFlagLinearFrequencies;
        song.defaultSpeed = 6;
        song.defaultBpm = 125;
        song.initialGlobalVolume = 64;
        song.tickCallback = SequencerTick;
    }
};

void RenderSong(benchmark::State& state, Song* song) {
    if (!BeginOfflinePlayback(song)) {
        state.SkipWithError("cannot allocate the rings");
        return;
    }
    for (auto _ : state) {
        for (int block = 0; block < kBlocksPerIteration; ++block) {
            benchmark::DoNotOptimize(RenderNextBlock());
        }
    }
    double audioSeconds =
        static_cast<double>(kBlocksPerIteration) * Player.blockFrames / kRenderRate;
    state.counters["realtime"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    EndOfflinePlayback();
}

void BM_RenderSixteenBusyChannels(benchmark::State& state) {
    BusySong busy;
    RenderSong(state, &busy.song);
}
BENCHMARK(BM_RenderSixteenBusyChannels)->Unit(benchmark::kMillisecond);

// The same with each set of mixing loops, to show what the vector forms gain.
void BM_RenderSixteenBusyChannelsWith(benchmark::State& state, MixKernelSet set) {
    const unsigned usable = UsableProcessorFeatures();
    if (!UseMixKernelSet(set)) {
        state.SkipWithError("this processor or build lacks the set");
        return;
    }
    state.SetLabel(ActiveMixKernels().name);
    BusySong busy;
    RenderSong(state, &busy.song);
    LimitProcessorFeatures(usable);
}
BENCHMARK_CAPTURE(BM_RenderSixteenBusyChannelsWith, portable, MixKernelSet::kPortable)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderSixteenBusyChannelsWith, sse2, MixKernelSet::kSse2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderSixteenBusyChannelsWith, avx2, MixKernelSet::kAvx2)
    ->Unit(benchmark::kMillisecond);

// The sequencer alone on the same song: ten seconds of ticks without mixing, to show its share.
void BM_SequenceSixteenBusyChannels(benchmark::State& state) {
    BusySong busy;
    if (!BeginOfflinePlayback(&busy.song)) {
        state.SkipWithError("cannot allocate the rings");
        return;
    }
    std::int32_t ticks = static_cast<std::int32_t>(10.0 * kRenderRate / busy.song.tickLength);
    for (auto _ : state) {
        for (std::int32_t tick = 0; tick < ticks; ++tick) SequencerTick(&busy.song);
        benchmark::ClobberMemory();
    }
    state.counters["realtime"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    EndOfflinePlayback();
}
BENCHMARK(BM_SequenceSixteenBusyChannels)->Unit(benchmark::kMicrosecond);

void BM_RenderEmbeddedSong(benchmark::State& state) {
    std::uint32_t length = 0;
    std::memcpy(&length, EmbeddedSong, sizeof length);
    Song* song = length > 0 ? LoadModule(EmbeddedSong) : nullptr;
    if (song == nullptr) {
        state.SkipWithError("the embedded song is missing or cannot be loaded");
        return;
    }
    RenderSong(state, song);
    FreeModule(song);
}
BENCHMARK(BM_RenderEmbeddedSong)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
