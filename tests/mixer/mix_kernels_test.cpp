// The mixer's vector loops against the plain ones: every set the processor runs must give the
// same floats, positions, gains and 16-bit samples bit for bit, on single calls with awkward
// lengths, positions and steps, and on whole songs rendered through the block loop. Also: a
// faded-out voice that is only moved on ends where a mixed one would.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "embedded_song.h"
#include "golden_songs.h"
#include "mix_kernels.h"
#include "mixer.h"
#include "offline_render.h"
#include "output.h"
#include "player_state.h"
#include "processor.h"
#include "song.h"

namespace {

constexpr MixKernelSet kVectorSets[] = {MixKernelSet::kSse2, MixKernelSet::kAvx2};

const char* SetName(MixKernelSet set) {
    return set == MixKernelSet::kAvx2 ? "avx2" : set == MixKernelSet::kSse2 ? "sse2" : "portable";
}

// Puts back the limit on processor features after a test that chose a set through it.
class KernelSets : public ::testing::Test {
protected:
    void SetUp() override { usable = UsableProcessorFeatures(); }
    void TearDown() override { LimitProcessorFeatures(usable); }

    static const MixKernels& Kernels(MixKernelSet set) {
        const MixKernels* kernels = MixKernelsOf(set);
        EXPECT_NE(nullptr, kernels);
        return kernels != nullptr ? *kernels : *MixKernelsOf(MixKernelSet::kPortable);
    }

    unsigned usable = 0;
};

// The mixer follows the one limit on processor features that the digests follow: none leaves
// it on the plain loops, and each set is chosen exactly when its features are allowed.
TEST_F(KernelSets, TheProcessorLimitChoosesTheSet) {
    LimitProcessorFeatures(0);
    EXPECT_STREQ(MixKernelsOf(MixKernelSet::kPortable)->name, ActiveMixKernels().name);
    for (MixKernelSet set : kVectorSets) {
        if (!MixKernelSetAvailable(set)) continue;
        SCOPED_TRACE(SetName(set));
        LimitProcessorFeatures(MixKernelSetFeatures(set));
        EXPECT_STREQ(MixKernelsOf(set)->name, ActiveMixKernels().name);
        LimitProcessorFeatures(kAllProcessorFeatures & ~MixKernelSetFeatures(set));
        EXPECT_STRNE(MixKernelsOf(set)->name, ActiveMixKernels().name);
    }
    ASSERT_TRUE(UseMixKernelSet(MixKernelSet::kPortable));
    EXPECT_EQ(0u, UsableProcessorFeatures());
}

// Sample data with a guard sample and slack behind it, as the loader lays it out.
std::vector<std::int16_t> Noise(std::mt19937& random, std::size_t count) {
    std::vector<std::int16_t> values(count + kSampleSlackBytes / 2, 0);
    std::uniform_int_distribution<int> value(-32768, 32767);
    for (std::size_t i = 0; i <= count; ++i) values[i] = static_cast<std::int16_t>(value(random));
    return values;
}

struct Call {
    std::uint64_t position;
    std::uint64_t signedStep;
    std::int32_t frames;
};

// Calls that stay inside `length` samples: forward and backward, steps below and above one
// sample per frame, and frame counts around every vector width.
std::vector<Call> Calls(std::mt19937& random, std::uint32_t length) {
    std::vector<Call> calls;
    std::uniform_int_distribution<std::uint32_t> fraction;
    const std::uint64_t steps[] = {std::uint64_t{1} << 32, 0xFFFF'FFFFu,   0x9A3F1234u, 0x1000u,
                                   0x2'4000'0001u,         0x7'0000'0000u, 0xC000'0000u};
    for (std::int32_t frames = 0; frames <= 35; ++frames) {
        for (const std::uint64_t step : steps) {
            const std::uint64_t span = step * static_cast<std::uint64_t>(frames);
            const std::uint64_t room = (std::uint64_t{length} << 32) - span;
            const std::uint64_t forwardStart =
                (std::uint64_t{fraction(random) % (length / 4)} << 32) | fraction(random);
            calls.push_back({forwardStart, step, frames});
            const std::uint64_t nearEdge = fraction(random);
            calls.push_back({room - 1 - nearEdge, step, frames});  // up to the guard sample
            calls.push_back({room - 1 - forwardStart, std::uint64_t{0} - step, frames});
            calls.push_back(
                {span + nearEdge, std::uint64_t{0} - step, frames});  // down to sample 0
        }
    }
    return calls;
}

TEST_F(KernelSets, SteadyAndRampLoopsMatchThePlainOnesBitForBit) {
    std::mt19937 random(12345);
    const std::uint32_t length = 4096;
    const std::vector<std::int16_t> data = Noise(random, length);
    const std::vector<Call> calls = Calls(random, length);
    const MixKernels& plain = Kernels(MixKernelSet::kPortable);
    const MixSteadyKernel plainSteady = plain.mixSteady;
    const MixRampKernel plainRamp = plain.mixRamp;
    for (MixKernelSet set : kVectorSets) {
        if (!MixKernelSetAvailable(set)) continue;
        SCOPED_TRACE(SetName(set));
        const MixKernels& vector = Kernels(set);
        for (const Call& call : calls) {
            SCOPED_TRACE(::testing::Message() << "frames " << call.frames << " position "
                                              << call.position << " step " << call.signedStep);
            std::vector<float> expected(std::size_t{2} * 40, 0.25f),
                actual(std::size_t{2} * 40, 0.25f);
            EXPECT_EQ(vector.mixSteady(actual.data(), call.frames, data.data(), length,
                                       call.position, call.signedStep, 0.7f, 0.013f),
                      plainSteady(expected.data(), call.frames, data.data(), length, call.position,
                                  call.signedStep, 0.7f, 0.013f));
            EXPECT_EQ(0,
                      std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(float)));

            float expectedLeft = 0.0f, expectedRight = 0.9f, actualLeft = 0.0f, actualRight = 0.9f;
            const float up = 1.0f / 255.0f / 128.0f, down = -0.7f / 255.0f / 128.0f;
            EXPECT_EQ(vector.mixRamp(actual.data(), call.frames, data.data(), length, call.position,
                                     call.signedStep, &actualLeft, &actualRight, up, down),
                      plainRamp(expected.data(), call.frames, data.data(), length, call.position,
                                call.signedStep, &expectedLeft, &expectedRight, up, down));
            EXPECT_EQ(0,
                      std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(float)));
            EXPECT_EQ(expectedLeft, actualLeft);
            EXPECT_EQ(expectedRight, actualRight);
        }
    }
}

// After a reflection or a wrap onto a loop start of 0 the whole part is -1; both neighbours
// are then read as sample 0.
TEST_F(KernelSets, IndexBelowSampleZeroReadsSampleZero) {
    std::vector<std::int16_t> data = {1000, -3000, 500, 7, 0, 0, 0, 0, 0, 0,
                                      0,    0,     0,   0, 0, 0, 0, 0, 0, 0};
    const std::uint64_t belowZero = std::uint64_t{0} - 1;  // one unit below sample 0
    for (MixKernelSet set : {MixKernelSet::kPortable, MixKernelSet::kSse2, MixKernelSet::kAvx2}) {
        if (!MixKernelSetAvailable(set)) continue;
        SCOPED_TRACE(SetName(set));
        std::vector<float> out(std::size_t{2} * 8, 0.0f);
        // A tiny step keeps all eight frames on index -1.
        Kernels(set).mixSteady(out.data(), 8, data.data(), 3, belowZero - 100, 1, 1.0f, 0.5f);
        for (std::size_t frame = 0; frame < 8; ++frame) {
            EXPECT_EQ(1000.0f, out[2 * frame]);
            EXPECT_EQ(500.0f, out[2 * frame + 1]);
        }
    }
}

TEST_F(KernelSets, ConversionRoundsToEvenClipsAndZeroesNotANumber) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const std::vector<float> source = {
        40000.4f,  -40000.0f,   2.5f,      3.5f,      -2.5f,     -3.5f,  32767.4f,
        32767.5f,  32768.0f,    -32768.4f, -32768.5f, -32769.0f, nan,    infinity,
        -infinity, 0.49999997f, -0.5f,     1.5f,      1e20f,     -1e20f, 12345.6f};
    const std::vector<std::int16_t> expected = {
        32767,  -32768, 2,     4,      -2, -4, 32767, 32767, 32767,  -32768, -32768,
        -32768, 0,      32767, -32768, 0,  0,  2,     32767, -32768, 12346};
    for (MixKernelSet set : {MixKernelSet::kPortable, MixKernelSet::kSse2, MixKernelSet::kAvx2}) {
        if (!MixKernelSetAvailable(set)) continue;
        SCOPED_TRACE(SetName(set));
        // Every starting point, so that each value passes through the vector part and the tail.
        for (std::size_t first = 0; first < source.size(); ++first) {
            std::vector<std::int16_t> out(source.size() - first, 99);
            Kernels(set).convert(out.data(), source.data() + first,
                                 static_cast<std::int32_t>(out.size()));
            EXPECT_EQ(std::vector<std::int16_t>(
                          expected.begin() + static_cast<std::ptrdiff_t>(first), expected.end()),
                      out);
        }
    }
}

// A looping voice whose gains have faded to 0 is moved on without mixing; it must end on the
// same position and direction as the same voice mixed at a gain, for forward and ping-pong
// loops and steps below and above the loop length.
TEST_F(KernelSets, FadedOutVoiceEndsWhereAMixedOneWould) {
    SetOutputParameters(44100);
    std::mt19937 random(7);
    std::vector<std::int16_t> data = Noise(random, 300);
    for (std::uint8_t kind : {kLoopForward, kLoopPingPong}) {
        for (std::int32_t frequency : {100, 30000, 44100, 3000000}) {
            Sample sample{};
            sample.data = data.data();
            sample.length = 300;
            sample.loopStart = 40;
            sample.loopLength = 200;
            sample.loopKind = kind;
            sample.bits = 16;
            MixVoice* silent = &Player.mixer.voices[0];
            MixVoice* heard = &Player.mixer.voices[1];
            for (MixVoice* voice : {silent, heard}) {
                StartVoiceNote(Player.mixer, &voice, &sample);
                SetVoicePitch(Player.mixer, voice, frequency);
                voice->currentLeft = voice->currentRight = 0;
            }
            SetVoiceGains(silent, 0, 0);
            SetVoiceGains(heard, 0, 1);
            heard->currentRight = 256;
            for (MixVoice* voice : {silent, heard}) {
                voice->rampLeftTarget = voice->leftVolume;
                voice->rampRightTarget = voice->rightVolume;
            }
            std::vector<float> mix(std::size_t{2} * 5000, 0.0f);
            for (std::int32_t run : {1, 883, 2, 4000}) MixVoices(Player.mixer, mix.data(), run);
            EXPECT_EQ(heard->positionInt, silent->positionInt)
                << "kind " << int{kind} << " at " << frequency;
            EXPECT_EQ(heard->positionFrac, silent->positionFrac);
            EXPECT_EQ(heard->direction, silent->direction);
            EXPECT_NE(nullptr, silent->sample);
            for (std::size_t i = 0; i < mix.size(); i += 2) ASSERT_EQ(0.0f, mix[i]);
            ResetVoiceTable(Player.mixer);
        }
    }
}

// Every song the tests know, rendered with the plain loops and with each vector set: the
// 16-bit output must be the same sample for sample.
std::vector<std::int16_t> Render(Song* song, int blocks) {
    std::vector<std::int16_t> out;
    if (!BeginOfflinePlayback(song)) return out;
    for (int block = 0; block < blocks; ++block) {
        const std::int16_t* frames = RenderNextBlock();
        out.insert(out.end(), frames, frames + 2 * static_cast<std::ptrdiff_t>(Player.blockFrames));
    }
    EndOfflinePlayback();
    return out;
}

// Each render gets a freshly built or loaded song: playback leaves traces in a song that a
// restart does not clear.
std::vector<std::int16_t> RenderFreshSong(std::size_t index, int blocks) {
    std::vector<GoldenSong> golden = GoldenSongs();
    if (index < golden.size()) return Render(&golden[index].song->song, blocks);
    Song* embedded = LoadModule(EmbeddedSong);
    if (embedded == nullptr) return {};
    std::vector<std::int16_t> out = Render(embedded, blocks);
    FreeModule(embedded);
    return out;
}

TEST_F(KernelSets, RenderedSongsAreTheSameWithEverySet) {
    const std::size_t songs = GoldenSongs().size() + 1;  // and the embedded song
    constexpr int kBlocks = 1000;                        // 20 seconds each
    for (std::size_t index = 0; index < songs; ++index) {
        ASSERT_TRUE(UseMixKernelSet(MixKernelSet::kPortable));
        const std::vector<std::int16_t> expected = RenderFreshSong(index, kBlocks);
        ASSERT_EQ(std::size_t{2} * kBlocks * static_cast<std::size_t>(Player.blockFrames),
                  expected.size());
        for (MixKernelSet set : kVectorSets) {
            if (!UseMixKernelSet(set)) continue;
            const std::vector<std::int16_t> actual = RenderFreshSong(index, kBlocks);
            ASSERT_EQ(expected.size(), actual.size());
            std::size_t differing = 0;
            for (std::size_t i = 0; i < expected.size(); ++i) differing += expected[i] != actual[i];
            EXPECT_EQ(0u, differing)
                << SetName(set) << " differs in " << differing << " samples of song " << index;
        }
    }
}

}  // namespace
