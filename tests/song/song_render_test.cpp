// One pass of the embedded song rendered through the offline block loop: its length, its
// headroom, that it never falls silent, and that the jump back to the restart position is
// as smooth as the song's own first arrival there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "embedded_song.h"
#include "offline_render.h"
#include "player_state.h"
#include "song.h"

namespace {

constexpr double kFullScale = 32768.0;

// Tick numbers at which the song first enters its restart position and at which it jumps
// back there from its last order position.
struct Landmarks {
    TickCallback sequencer = nullptr;
    std::int64_t ticks = 0;
    int lastOrder = 0;
    std::int64_t firstArrival = -1;
    std::int64_t loopArrival = -1;
};
Landmarks Marks;

void CountingTick(Song* song) {
    Marks.sequencer(song);
    if (song->orderPosition != Marks.lastOrder && song->orderPosition == song->restartPosition) {
        if (Marks.lastOrder == song->songLength - 1) {
            if (Marks.loopArrival < 0) {
                Marks.loopArrival = Marks.ticks;
            }
        } else if (Marks.firstArrival < 0) {
            Marks.firstArrival = Marks.ticks;
        }
    }
    Marks.lastOrder = song->orderPosition;
    ++Marks.ticks;
}

struct Rendering {
    std::vector<std::int16_t> frames;  // interleaved left, right
    std::int32_t tickLength = 0;
    std::int64_t firstArrivalFrame = -1;
    std::int64_t loopFrame = -1;
};

// Renders until `after` seconds past the loop point (or a limit well beyond three minutes).
Rendering RenderPass(double after) {
    Rendering out;
    Song* song = LoadModule(EmbeddedSong);
    if (song == nullptr || !BeginOfflinePlayback(song)) {
        return out;
    }
    Marks = Landmarks{};
    Marks.sequencer = song->tickCallback;
    song->tickCallback = CountingTick;
    const std::int64_t limit = static_cast<std::int64_t>(kRenderRate) * 240;
    std::int64_t stopAt = limit;
    while (static_cast<std::int64_t>(out.frames.size() / 2) < stopAt) {
        const std::int16_t* block = RenderNextBlock();
        out.frames.insert(out.frames.end(), block,
                          block + 2 * static_cast<std::ptrdiff_t>(Player.blockFrames));
        if (Marks.loopArrival >= 0 && stopAt == limit) {
            stopAt = Marks.loopArrival * song->tickLength +
                     static_cast<std::int64_t>(after * kRenderRate);
        }
    }
    // The song keeps one tempo throughout, so tick n starts at frame n x tickLength.
    out.tickLength = song->tickLength;
    out.firstArrivalFrame = Marks.firstArrival * song->tickLength;
    out.loopFrame = Marks.loopArrival >= 0 ? Marks.loopArrival * song->tickLength : -1;
    song->tickCallback = Marks.sequencer;
    EndOfflinePlayback();
    FreeModule(song);
    return out;
}

const Rendering& Pass() {
    static const Rendering rendering = RenderPass(10.0);
    return rendering;
}

double Decibels(double amplitude) {
    return 20.0 * std::log10(amplitude / kFullScale);
}

// Largest change between neighbouring frames of either channel within [from, to).
int LargestStep(const std::vector<std::int16_t>& frames, std::int64_t from, std::int64_t to) {
    int largest = 0;
    for (std::int64_t i = from + 1; i < to; ++i) {
        for (int side = 0; side < 2; ++side) {
            const auto at = static_cast<std::size_t>(2 * i + side);
            const int step = std::abs(frames[at] - frames[at - 2]);
            largest = step > largest ? step : largest;
        }
    }
    return largest;
}

double Rms(const std::vector<std::int16_t>& frames, std::int64_t from, std::int64_t to) {
    double sum = 0.0;
    for (auto i = static_cast<std::size_t>(2 * from); i < static_cast<std::size_t>(2 * to); ++i) {
        sum += static_cast<double>(frames[i]) * frames[i];
    }
    return std::sqrt(sum / static_cast<double>(2 * (to - from)));
}

TEST(EmbeddedSongRender, OnePassLastsBetweenOneAndThreeMinutes) {
    const Rendering& r = Pass();
    ASSERT_GT(r.loopFrame, 0) << "the song never returned to its restart position";
    const double seconds = static_cast<double>(r.loopFrame) / kRenderRate;
    std::printf("one pass: %.1f s; intro: %.1f s\n", seconds,
                static_cast<double>(r.firstArrivalFrame) / kRenderRate);
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 180.0);
}

TEST(EmbeddedSongRender, PeaksStayAtLeastOneDecibelBelowFullScale) {
    const Rendering& r = Pass();
    ASSERT_GT(r.loopFrame, 0);
    int peak = 0;
    for (const std::int16_t v : r.frames) {
        peak = std::abs(v) > peak ? std::abs(v) : peak;
    }
    std::printf("peak: %d (%.2f dBFS), rms of one pass: %.2f dBFS\n", peak, Decibels(peak),
                Decibels(Rms(r.frames, 0, r.loopFrame)));
    EXPECT_LE(Decibels(peak), -1.0);
}

TEST(EmbeddedSongRender, NeverSilentForMoreThanTwoSeconds) {
    const Rendering& r = Pass();
    ASSERT_GT(r.loopFrame, 0);
    // 50 ms windows whose peak stays below -60 dBFS count as silent.
    const std::int64_t window = kRenderRate / 20;
    const int quiet = static_cast<int>(kFullScale / 1000.0);
    int run = 0;
    int longest = 0;
    const std::int64_t frameCount = static_cast<std::int64_t>(r.frames.size() / 2);
    for (std::int64_t start = 0; start + window <= frameCount; start += window) {
        int peak = 0;
        for (auto i = static_cast<std::size_t>(2 * start);
             i < static_cast<std::size_t>(2 * (start + window)); ++i) {
            peak = std::abs(r.frames[i]) > peak ? std::abs(r.frames[i]) : peak;
        }
        run = peak < quiet ? run + 1 : 0;
        longest = run > longest ? run : longest;
    }
    std::printf("longest quiet stretch: %.2f s\n", longest * 0.05);
    EXPECT_LE(longest * 0.05, 2.0);
}

TEST(EmbeddedSongRender, LoopPointIsAsSmoothAsTheFirstArrival) {
    const Rendering& r = Pass();
    ASSERT_GT(r.loopFrame, 0);
    ASSERT_GT(r.firstArrivalFrame, 0);
    // Around the jump back (half a tick either side) the waveform moves no more than where the
    // song first reaches the same row, and no more than anywhere else in the pass.
    const std::int64_t half = r.tickLength / 2;
    const int atLoop = LargestStep(r.frames, r.loopFrame - half, r.loopFrame + half);
    const int atFirst =
        LargestStep(r.frames, r.firstArrivalFrame - half, r.firstArrivalFrame + half);
    const int anywhere = LargestStep(r.frames, 0, r.loopFrame);
    std::printf("largest step: at the loop %d, at the first arrival %d, in the pass %d\n", atLoop,
                atFirst, anywhere);
    EXPECT_LE(atLoop, anywhere);
    EXPECT_LE(atLoop, atFirst + atFirst / 4);

    // The music after the jump is the music heard the first time: same loudness, within 1.5 dB.
    const std::int64_t pattern = 64LL * 6 * r.tickLength;
    const double first = Rms(r.frames, r.firstArrivalFrame, r.firstArrivalFrame + pattern);
    const double again = Rms(r.frames, r.loopFrame, r.loopFrame + pattern);
    std::printf("loudness of the restart pattern: first %.2f dBFS, after the loop %.2f dBFS\n",
                Decibels(first), Decibels(again));
    EXPECT_NEAR(Decibels(again), Decibels(first), 1.5);
}

}  // namespace
