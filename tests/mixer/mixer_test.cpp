// Mixer tests: ramps, hand-over, look-ahead and loops, endings and exact reproduction.
#include <gtest/gtest.h>

#include <vector>

#include "mixer.h"
#include "output.h"
#include "player_state.h"
#include "song.h"
#include "xm_file.h"

namespace {

// A 16-bit sample as the player gets it: written into a one-instrument module and loaded, so
// that its data, slack and loop fields are the loader's own.
struct OwnedSample {
    Song* song = nullptr;
    Sample sample{};

    OwnedSample(const std::vector<std::int16_t>& values, std::uint8_t loopKind,
                std::uint32_t loopStart, std::uint32_t loopLength) {
        xmfile::XmSample stored;
        stored.length = static_cast<std::uint32_t>(2 * values.size());
        stored.loopStart = 2 * loopStart;
        stored.loopLength = 2 * loopLength;
        stored.type = static_cast<std::uint8_t>(
            xm::kSampleType16Bit | (loopKind == kLoopForward    ? xm::kSampleTypeForwardLoop
                                    : loopKind == kLoopPingPong ? xm::kSampleTypePingPongLoop
                                                                : 0));
        stored.data = xmfile::DeltaCode16(values);
        xmfile::XmInstrument instrument;
        instrument.samples.push_back(stored);
        xmfile::XmModule module;
        module.patterns.push_back({});
        module.instruments.push_back(instrument);
        const xmfile::Bytes image = xmfile::WithLengthPrefix(xmfile::BuildXm(module));
        song = LoadModule(image.data());
        EXPECT_NE(song, nullptr);
        // The test's own copy of the record, so that tests may change its loop fields.
        if (song != nullptr) sample = *song->instruments[0].samples[0];
    }
    ~OwnedSample() { FreeModule(song); }
    OwnedSample(const OwnedSample&) = delete;
    OwnedSample& operator=(const OwnedSample&) = delete;
};

std::vector<std::int16_t> Constant(std::size_t count, std::int16_t value) {
    return std::vector<std::int16_t>(count, value);
}

std::vector<std::int16_t> Ramp(std::size_t count) {
    std::vector<std::int16_t> values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(static_cast<std::int16_t>(100 * i - 3000));
    return values;
}

class Mixer : public ::testing::Test {
protected:
    void SetUp() override { SetOutputParameters(44100); }

    // Starts a note on channel voice `slot` at step 1 with the given gains.
    MixVoice* Start(int slot, const Sample* sample, std::int32_t left, std::int32_t right) {
        MixVoice* voice = &Player.mixer.voices[slot];
        StartVoiceNote(Player.mixer, &voice, sample);
        SetVoiceGains(voice, left, right);
        return voice;
    }

    // Puts a voice at steady gains, as after a finished ramp.
    static void Settle(MixVoice* voice) {
        voice->rampLeftTarget = voice->leftVolume;
        voice->rampRightTarget = voice->rightVolume;
        voice->currentLeft = voice->leftVolume * 256;
        voice->currentRight = voice->rightVolume * 256;
        voice->rampFramesLeft = 0;
    }

    static void SetPosition(MixVoice* voice, std::uint32_t whole, std::uint32_t fraction) {
        voice->positionInt = whole;
        voice->positionFrac = fraction;
    }

    static void SetStep(MixVoice* voice, std::int32_t whole, std::uint32_t fraction) {
        voice->stepInt = whole;
        voice->stepFrac = fraction;
    }
};

TEST_F(Mixer, VoiceTableResetAndPartners) {
    Player.mixer.voices[7].sample = &EmptySample;
    Player.mixer.voices[7].volume = 33;
    ResetVoiceTable(Player.mixer);
    for (int slot = 0; slot < kVoiceCount; ++slot) {
        EXPECT_EQ(Player.mixer.voices[slot].index, slot);
        EXPECT_EQ(Player.mixer.voices[slot].stepInt, 1);
    }
    EXPECT_EQ(Player.mixer.voices[7].sample, nullptr);
    EXPECT_EQ(Player.mixer.voices[7].volume, 0);
    EXPECT_EQ(PartnerVoice(Player.mixer, &Player.mixer.voices[0]), &Player.mixer.voices[32]);
    EXPECT_EQ(PartnerVoice(Player.mixer, &Player.mixer.voices[31]), &Player.mixer.voices[63]);
    EXPECT_EQ(PartnerVoice(Player.mixer, &Player.mixer.voices[40]), &Player.mixer.voices[8]);
}

TEST_F(Mixer, PitchFromFrequency) {
    MixVoice* voice = &Player.mixer.voices[0];
    SetVoicePitch(Player.mixer, voice, 44100);
    EXPECT_EQ(voice->stepInt, 1);
    EXPECT_EQ(voice->stepFrac, 0u);
    SetVoicePitch(Player.mixer, voice, 22050);
    EXPECT_EQ(voice->stepInt, 0);
    EXPECT_EQ(voice->stepFrac, 0x80000000u);
    SetVoicePitch(Player.mixer, voice, 100000);
    EXPECT_EQ(voice->stepInt, 2);
    EXPECT_EQ(voice->stepFrac, 1149220274u);  // 11800 / 44100 of 2^32, truncated
    SetVoicePitch(Player.mixer, voice, 50);   // below the floor of 100 Hz
    EXPECT_EQ(voice->frequency, 50);
    EXPECT_EQ(voice->stepInt, 0);
    EXPECT_EQ(voice->stepFrac, 9739154u);  // 100 / 44100 of 2^32, truncated
}

TEST_F(Mixer, RampFromSilenceTakes128FramesAndLandsOnTarget) {
    OwnedSample sample(Constant(1000, 10000), kLoopNone, 0, 0);
    MixVoice* voice = Start(0, &sample.sample, 255, 51);
    std::vector<float> out(std::size_t{2} * 300, 0.0f);
    MixVoices(Player.mixer, out.data(), 100);
    EXPECT_EQ(voice->rampFramesLeft, 28);
    MixVoices(Player.mixer, out.data() + 200, 200);
    EXPECT_EQ(voice->rampFramesLeft, 0);
    EXPECT_EQ(voice->currentLeft, 255 * 256);
    EXPECT_EQ(voice->currentRight, 51 * 256);
    EXPECT_EQ(voice->positionInt, 300u);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    for (std::size_t frame = 1; frame < 128; ++frame) {
        const auto ramp = static_cast<float>(frame);
        EXPECT_NEAR(out[2 * frame], 10000.0f * ramp / 128.0f, 0.05f) << frame;
        EXPECT_NEAR(out[2 * frame + 1], 10000.0f * 51.0f / 255.0f * ramp / 128.0f, 0.05f) << frame;
    }
    for (std::size_t frame = 128; frame < 300; ++frame) {
        EXPECT_FLOAT_EQ(out[2 * frame], 10000.0f) << frame;
        EXPECT_FLOAT_EQ(out[2 * frame + 1], 2000.0f) << frame;
    }
}

TEST_F(Mixer, NewTargetDuringARampStartsAFreshRampFromTheLevelReached) {
    OwnedSample sample(Constant(1000, 1000), kLoopNone, 0, 0);
    MixVoice* voice = Start(0, &sample.sample, 255, 255);
    std::vector<float> out(std::size_t{2} * 400, 0.0f);
    MixVoices(Player.mixer, out.data(), 64);
    EXPECT_NEAR(voice->currentLeft, 255 * 128, 2);
    SetVoiceGains(voice, 0, 255);
    MixVoices(Player.mixer, out.data() + 128, 100);
    EXPECT_EQ(voice->rampFramesLeft, 28);
    EXPECT_EQ(voice->rampLeftTarget, 0);
    MixVoices(Player.mixer, out.data() + 328, 28);
    EXPECT_EQ(voice->rampFramesLeft, 0);
    EXPECT_EQ(voice->currentLeft, 0);
    EXPECT_EQ(voice->currentRight, 255 * 256);
    // The left side falls from half level over 128 frames, the right rises the rest of the way.
    EXPECT_NEAR(out[std::size_t{2} * 64], 500.0f, 5.0f);
    EXPECT_NEAR(out[std::size_t{2} * 128], 250.0f, 5.0f);
    EXPECT_NEAR(out[std::size_t{2} * 191], 0.0f, 8.0f);
    EXPECT_NEAR(out[2 * 128 + 1], 750.0f, 5.0f);
}

TEST_F(Mixer, NoteOnASoundingVoiceHandsTheOldNoteToThePartner) {
    OwnedSample first(Constant(2000, 8000), kLoopNone, 0, 0);
    OwnedSample second(Constant(2000, -4000), kLoopNone, 0, 0);
    MixVoice* channel = Start(3, &first.sample, 200, 100);
    std::vector<float> out(std::size_t{2} * 1000, 0.0f);
    MixVoices(Player.mixer, out.data(), 200);
    ASSERT_EQ(Player.mixer.voices[3].currentLeft, 200 * 256);

    StartVoiceNote(Player.mixer, &channel, &second.sample);
    ASSERT_EQ(channel, &Player.mixer.voices[35]);
    EXPECT_EQ(channel->index, 35);
    EXPECT_EQ(channel->sample, &second.sample);
    EXPECT_EQ(channel->positionInt, 0u);
    EXPECT_EQ(channel->currentLeft, 0);
    EXPECT_EQ(channel->leftVolume,
              200);  // kept from the old note until the sequencer sets new ones
    const MixVoice& old = Player.mixer.voices[3];
    EXPECT_EQ(old.index, 3);
    EXPECT_EQ(old.sample, &first.sample);
    EXPECT_EQ(old.positionInt, 200u);
    EXPECT_EQ(old.leftVolume, 0);
    EXPECT_EQ(old.rightVolume, 0);
    EXPECT_EQ(old.volume, 0);

    std::fill(out.begin(), out.end(), 0.0f);
    MixVoices(Player.mixer, out.data(), 128);
    EXPECT_EQ(old.currentLeft, 0);
    EXPECT_EQ(old.rampFramesLeft, 0);
    EXPECT_EQ(channel->currentLeft, 200 * 256);
    // Halfway, the old note has half its level and the new one half of its own.
    const float expected = (8000.0f - 4000.0f) * 200.0f / 255.0f / 2.0f;
    EXPECT_NEAR(out[std::size_t{2} * 64], expected, 20.0f);
    // The sum of both ramps is linear from the old note's level to the new one's.
    EXPECT_NEAR(out[0], 8000.0f * 200.0f / 255.0f, 1.0f);

    // A note on a silent voice stays on it.
    Player.mixer.voices[9].sample = nullptr;
    MixVoice* quiet = &Player.mixer.voices[9];
    quiet->startOffset = 5000;  // beyond the loop end: starts at 0
    StartVoiceNote(Player.mixer, &quiet, &first.sample);
    EXPECT_EQ(quiet, &Player.mixer.voices[9]);
    EXPECT_EQ(quiet->positionInt, 0u);
    EXPECT_EQ(quiet->startOffset, 0u);
    quiet->startOffset = 1500;
    StartVoiceNote(Player.mixer, &quiet, &first.sample);
    EXPECT_EQ(quiet, &Player.mixer.voices[41]);
    EXPECT_EQ(quiet->positionInt, 1500u);
}

TEST_F(Mixer, WorkedLookAheadForwardAndPingPong) {
    std::vector<std::int16_t> values = Ramp(120);
    OwnedSample forward(values, kLoopForward, 100, 10);
    MixVoice* voice = Start(0, &forward.sample, 0, 0);
    SetPosition(voice, 100, 0x80000000u);
    SetStep(voice, 0, 0xC0000000u);
    std::vector<float> out(std::size_t{2} * 64, 0.0f);
    MixVoices(Player.mixer, out.data(), 13);
    EXPECT_EQ(voice->positionInt, 100u);
    EXPECT_EQ(voice->positionFrac, 0x40000000u);
    EXPECT_EQ(voice->direction, 1);

    OwnedSample pingPong(values, kLoopPingPong, 100, 10);
    voice = Start(1, &pingPong.sample, 0, 0);
    SetPosition(voice, 100, 0x80000000u);
    SetStep(voice, 0, 0xC0000000u);
    MixVoices(Player.mixer, out.data(), 13);
    EXPECT_EQ(voice->positionInt, 109u);
    EXPECT_EQ(voice->positionFrac, 0xBFFFFFFFu);
    EXPECT_EQ(voice->direction, 2);

    // With 12 frames the boundary is not reached: no wrap yet.
    voice = Start(2, &forward.sample, 0, 0);
    SetPosition(voice, 100, 0x80000000u);
    SetStep(voice, 0, 0xC0000000u);
    MixVoices(Player.mixer, out.data(), 12);
    EXPECT_EQ(voice->positionInt, 109u);
    EXPECT_EQ(voice->positionFrac, 0x80000000u);
}

TEST_F(Mixer, ForwardLoopWrapsWithinOneCallAndBySeveralLengths) {
    std::vector<std::int16_t> values = Ramp(8);
    OwnedSample sample(values, kLoopForward, 2, 4);
    MixVoice* voice = Start(0, &sample.sample, 255, 255);
    Settle(voice);
    std::vector<float> out(std::size_t{2} * 16, 0.0f);
    MixVoices(Player.mixer, out.data(), 10);  // 0..5, then 2..5 again
    const float gain = 255.0f * (1.0f / 255.0f);
    const std::size_t expectedIndex[10] = {0, 1, 2, 3, 4, 5, 2, 3, 4, 5};
    for (std::size_t frame = 0; frame < 10; ++frame) {
        EXPECT_FLOAT_EQ(out[2 * frame], values[expectedIndex[frame]] * gain) << frame;
    }
    EXPECT_EQ(voice->positionInt, 2u);

    // A step of 10 frames crosses the loop of 4 more than once at every frame.
    voice = Start(1, &sample.sample, 0, 0);
    SetStep(voice, 10, 0);
    MixVoices(Player.mixer, out.data(), 1);
    EXPECT_EQ(voice->positionInt, 2u);  // 10 - 2 x 4
    MixVoices(Player.mixer, out.data(), 1);
    EXPECT_EQ(voice->positionInt, 4u);  // 12 - 2 x 4
    EXPECT_EQ(voice->sample, &sample.sample);
}

TEST_F(Mixer, PingPongReflectsAtBothEnds) {
    std::vector<std::int16_t> values = Ramp(8);
    OwnedSample sample(values, kLoopPingPong, 2, 4);
    MixVoice* voice = Start(0, &sample.sample, 0, 0);
    // Position 5.5 forward by 1: 6.5 is 0.5 past the end, continuing at 5.5 less one unit.
    SetPosition(voice, 5, 0x80000000u);
    MixVoices(Player.mixer, std::vector<float>(2).data(), 1);
    EXPECT_EQ(voice->direction, 2);
    EXPECT_EQ(voice->positionInt, 5u);
    EXPECT_EQ(voice->positionFrac, 0x7FFFFFFFu);

    // Backward past the start reflects forward again.
    SetPosition(voice, 2, 0x40000000u);
    MixVoices(Player.mixer, std::vector<float>(2).data(), 1);
    EXPECT_EQ(voice->direction, 1);
    EXPECT_EQ(voice->positionInt, 2u);
    EXPECT_EQ(voice->positionFrac, 0xBFFFFFFFu);

    // A step of 10 from 0 reflects twice: at the end to just below 2, then at the start.
    voice = Start(1, &sample.sample, 0, 0);
    SetStep(voice, 10, 0);
    MixVoices(Player.mixer, std::vector<float>(2).data(), 1);
    EXPECT_EQ(voice->direction, 1);
    EXPECT_EQ(voice->positionInt, 2u);
    EXPECT_EQ(voice->positionFrac, 0u);
    // A step of 30 from 0: seven reflections, ending backward one unit below 6.
    voice = Start(2, &sample.sample, 0, 0);
    SetStep(voice, 30, 0);
    MixVoices(Player.mixer, std::vector<float>(2).data(), 1);
    EXPECT_EQ(voice->direction, 2);
    EXPECT_EQ(voice->positionInt, 5u);
    EXPECT_EQ(voice->positionFrac, 0xFFFFFFFFu);
}

TEST_F(Mixer, ReflectionOntoALoopStartOfZeroReadsSampleZero) {
    std::vector<std::int16_t> values = {1000, 2000, 3000, 4000};
    OwnedSample sample(values, kLoopPingPong, 0, 4);
    MixVoice* voice = Start(0, &sample.sample, 255, 255);
    Settle(voice);
    voice->direction = 2;
    SetPosition(voice, 1, 0);
    std::vector<float> out(std::size_t{2} * 4, 0.0f);
    MixVoices(Player.mixer, out.data(), 3);
    // 1.0 backward to 0.0 (the start), reflected to one unit below 0, moving forward: that
    // frame weighs sample 0 against itself.
    EXPECT_FLOAT_EQ(out[0], 2000.0f);
    EXPECT_FLOAT_EQ(out[2], 1000.0f);
    EXPECT_NEAR(out[4], 2000.0f, 0.01f);
    EXPECT_EQ(voice->direction, 1);
    EXPECT_EQ(voice->positionInt, 1u);
    EXPECT_EQ(voice->positionFrac, 0xFFFFFFFFu);
}

TEST_F(Mixer, SampleWithoutLoopEndsMidRun) {
    OwnedSample sample(Constant(10, 5000), kLoopNone, 0, 0);
    MixVoice* voice = Start(0, &sample.sample, 255, 255);
    Settle(voice);
    std::vector<float> out(std::size_t{2} * 20, 0.0f);
    MixVoices(Player.mixer, out.data(), 20);
    for (std::size_t frame = 0; frame < 10; ++frame) EXPECT_FLOAT_EQ(out[2 * frame], 5000.0f);
    for (std::size_t frame = 10; frame < 20; ++frame) {
        EXPECT_EQ(out[2 * frame], 0.0f);
        EXPECT_EQ(out[2 * frame + 1], 0.0f);
    }
    EXPECT_EQ(voice->sample, nullptr);
    EXPECT_EQ(voice->positionInt, 0u);
    EXPECT_EQ(voice->positionFrac, 0u);

    // The empty sample ends at once and is never read.
    voice = Start(1, &EmptySample, 255, 255);
    MixVoices(Player.mixer, out.data(), 4);
    EXPECT_EQ(voice->sample, nullptr);
}

TEST_F(Mixer, StepOfOneReproducesTheSampleExactly) {
    std::vector<std::int16_t> values;
    values.reserve(301);
    for (int i = 0; i < 301; ++i)
        values.push_back(static_cast<std::int16_t>((i * 7919) % 65536 - 32768));
    OwnedSample sample(values, kLoopNone, 0, 0);
    MixVoice* voice = Start(0, &sample.sample, 255, 0);
    Settle(voice);
    std::vector<float> out(std::size_t{2} * 301, 0.0f);
    MixVoices(Player.mixer, out.data(),
              301);  // an odd count: the last frame runs at the current level
    for (std::size_t frame = 0; frame < 301; ++frame) {
        EXPECT_EQ(out[2 * frame], static_cast<float>(values[frame])) << frame;
        EXPECT_EQ(out[2 * frame + 1], 0.0f);
    }
    EXPECT_EQ(voice->sample, nullptr);
}

TEST_F(Mixer, OddLastFrameOfARunUsesTheCurrentLevel) {
    OwnedSample sample(Constant(100, 25600), kLoopNone, 0, 0);
    MixVoice* voice = Start(0, &sample.sample, 100, 100);
    Settle(voice);
    voice->currentLeft = 100 * 256 + 128;  // within the level: no ramp is due
    std::vector<float> out(std::size_t{2} * 3, 0.0f);
    MixVoices(Player.mixer, out.data(), 3);
    const float target = 25600.0f * (100.0f * (1.0f / 255.0f));
    const float current = 25600.0f * (25728.0f * (1.0f / 256.0f) * (1.0f / 255.0f));
    EXPECT_FLOAT_EQ(out[0], target);
    EXPECT_FLOAT_EQ(out[2], target);
    EXPECT_FLOAT_EQ(out[4], current);
    EXPECT_FLOAT_EQ(out[5], target);
    EXPECT_EQ(voice->rampFramesLeft, 0);
}

TEST_F(Mixer, RunsOfNoFramesAndSilentVoicesDoNothing) {
    OwnedSample sample(Constant(10, 5000), kLoopNone, 0, 0);
    MixVoice* voice = Start(0, &sample.sample, 255, 255);
    std::vector<float> out(4, 0.0f);
    MixVoices(Player.mixer, out.data(), 0);
    MixVoices(Player.mixer, out.data(), -5);
    EXPECT_EQ(voice->positionInt, 0u);
    EXPECT_EQ(voice->rampFramesLeft, 0);
    EXPECT_EQ(out[0], 0.0f);
    // Voices 64 and above are never mixed.
    MixVoice* unmixed = Start(64, &sample.sample, 255, 255);
    MixVoices(Player.mixer, out.data(), 2);
    EXPECT_EQ(unmixed->positionInt, 0u);
    ResetVoicePosition(voice);
    EXPECT_EQ(voice->positionInt, 0u);
    EXPECT_EQ(voice->positionFrac, 0u);
}

// A position left a little beyond the loop end (the look-ahead's coarse division can land
// a run there) wraps at the next chunk instead of running on past the sample.
TEST_F(Mixer, PositionJustBeyondTheEndWrapsAtOnce) {
    OwnedSample sample(Ramp(8), kLoopForward, 2, 4);
    MixVoice* voice = Start(0, &sample.sample, 0, 0);
    SetPosition(voice, 6, 0x100);
    MixVoices(Player.mixer, std::vector<float>(2).data(), 1);
    EXPECT_EQ(voice->positionInt, 3u);
    EXPECT_EQ(voice->positionFrac, 0x100u);
    EXPECT_EQ(voice->sample, &sample.sample);

    // A very small step still meets the loop end instead of stepping over it unseen.
    OwnedSample unlooped(Ramp(2), kLoopNone, 0, 0);
    voice = Start(1, &unlooped.sample, 0, 0);
    SetPosition(voice, 1, 0xFFFFF000u);
    SetStep(voice, 0, 0x7F);
    MixVoices(Player.mixer, std::vector<float>(std::size_t{2} * 64).data(), 64);
    EXPECT_EQ(voice->sample, nullptr);
}

// Halfway past the last frame before a boundary the mixer interpolates towards what comes
// next in playback: a forward loop towards its first frame, a ping-pong loop towards its last
// frame again (it turns there), a sample without loop towards silence. The slack behind a
// sample's data keeps every one of these reads inside the sample's own buffer.
TEST_F(Mixer, HalfwayPastTheLastFrameHeadsWherePlaybackGoesNext) {
    const std::vector<std::int16_t> values = {100, 200, 300, 400, 500, 600, 700, 800};
    struct Case {
        std::uint8_t loopKind;
        std::uint32_t loopStart;
        std::uint32_t loopLength;
        float expected;  // halfway from 800 (the last frame) to what comes after it
    };
    const Case cases[] = {{kLoopForward, 2, 6, (800.0f + 300.0f) / 2},
                          {kLoopPingPong, 2, 6, 800.0f},
                          {kLoopNone, 0, 0, 400.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.loopKind));
        ResetVoiceTable(Player.mixer);  // nothing left sounding from the case before
        OwnedSample sample(values, c.loopKind, c.loopStart, c.loopLength);
        MixVoice* voice = Start(0, &sample.sample, 255, 255);
        Settle(voice);
        SetPosition(voice, 7, 0x80000000u);
        SetStep(voice, 0, 0x1000);  // stays short of the boundary for the two frames
        std::vector<float> out(std::size_t{2} * 2, 0.0f);
        MixVoices(Player.mixer, out.data(), 2);
        EXPECT_FLOAT_EQ(out[0], c.expected);
        EXPECT_FLOAT_EQ(out[1], c.expected);
        ResetVoiceTable(Player.mixer);
    }
}

}  // namespace
