// Note and sample selection, the period tables, frequencies and the volume and panning
// formulas, driven tick by tick through SequencerTick.
#include <gtest/gtest.h>

#include "effects.h"
#include "mixer.h"
#include "player_state.h"
#include "sequencer.h"
#include "test_song.h"

namespace {

Channel& ChannelAt(int c) {
    return Player.channels[c];
}

TEST(Periods, AmigaTableMatchesTheWorkedValues) {
    EXPECT_EQ(AmigaPeriod(48, 0), 1712);
    EXPECT_EQ(AmigaPeriod(49, 0), 1616);
    EXPECT_EQ(AmigaPeriod(47, 0), 1814);
    EXPECT_EQ(AmigaPeriod(48, -40), 1743);
    EXPECT_EQ(AmigaPeriod(48, 64), 1664);
    EXPECT_EQ(AmigaPeriod(0, 0), 27392);  // 13.375 x 2^11
    // Finetune -128 reaches the next note down, 127 nearly the next note up.
    EXPECT_EQ(AmigaPeriod(48, -128), 1814);
    EXPECT_EQ(AmigaPeriod(48, 127), 1712 - (127 * 96) / 128);
    // Periods fall with every note across the whole reachable range.
    for (std::int32_t n = 1; n <= kAmigaNoteLimit; ++n)
        EXPECT_LE(AmigaPeriod(n, 0), AmigaPeriod(n - 1, 0)) << n;
    EXPECT_GE(AmigaPeriod(kAmigaNoteLimit, 127), 0);
}

TEST(Periods, LinearTableAndFinetuneTruncation) {
    TestSong t(1, {1}, {0}, true);
    EXPECT_EQ(NotePeriod(&t.song, 48, 0), 4608);
    EXPECT_EQ(NotePeriod(&t.song, 48, -1), 4608);
    EXPECT_EQ(NotePeriod(&t.song, 48, -3), 4609);
    EXPECT_EQ(NotePeriod(&t.song, 48, 3), 4607);
    EXPECT_EQ(NotePeriod(&t.song, 49, 0), 4544);
    EXPECT_EQ(PeriodFrequency(&t.song, 4608, 0), 8363);
    // One octave down: the single-precision 1/768 lies a hair above the exact value, so the
    // exponent is a little below -1 and 4181.5 becomes 4181.
    EXPECT_EQ(PeriodFrequency(&t.song, 4608 + 768, 0), 4181);
    EXPECT_EQ(PeriodFrequency(&t.song, 4608 - 768, 0), 16726);
    // A positive delta raises the pitch in the linear table.
    EXPECT_EQ(PeriodFrequency(&t.song, 4608, 768), 16726);
}

TEST(Periods, AmigaFrequencyAndItsOppositeDelta) {
    TestSong t(1, {1}, {0});
    // 14317056 / 1712 is 8362.77; the division truncates.
    EXPECT_EQ(PeriodFrequency(&t.song, 1712, 0), 8362);
    EXPECT_EQ(PeriodFrequency(&t.song, 1616, 0), 14317056 / 1616);
    EXPECT_EQ(PeriodFrequency(&t.song, 1712, 1712), 14317056 / 3424);  // lower
}

TEST(Periods, FrequencyOfARunawayPeriodStaysInRange) {
    TestSong linear(1, {1}, {0}, true);
    EXPECT_EQ(PeriodFrequency(&linear.song, -kPeriodLimit, 0), kMaxFrequency);
    EXPECT_EQ(PeriodFrequency(&linear.song, kPeriodLimit, 0), 0);
    TestSong amiga(1, {1}, {0});
    EXPECT_EQ(PeriodFrequency(&amiga.song, 1, 0), kMaxFrequency);
    EXPECT_EQ(PeriodFrequency(&amiga.song, kPeriodLimit, 0), 0);
}

TEST(Notes, NoteWithInstrumentStartsTheSampleAtItsDefaults) {
    TestSong t(2, {4}, {0});
    std::int32_t ins = t.AddInstrument(48, 200);
    t.Put(0, 0, 1, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    const Channel& ch = ChannelAt(1);
    EXPECT_EQ(ch.requests, kRequestPitch | kRequestVolume | kRequestPanning | kRequestNoteStart);
    EXPECT_EQ(ch.volume, 48);
    EXPECT_EQ(ch.panning, 200);
    EXPECT_EQ(ch.period, 1712);
    EXPECT_EQ(ch.lastNote, 48);
    EXPECT_EQ(ch.realNote, 48);
    EXPECT_EQ(ch.fadeoutVolume, 65536);
    EXPECT_EQ(ch.volEnvOutput, 64);
    EXPECT_EQ(ch.panEnvOutput, 32);
    const MixVoice& voice = *ch.voice;
    EXPECT_EQ(voice.sample, &t.SampleOf(ins));
    EXPECT_EQ(voice.volume, 96);  // 48 x 2
    EXPECT_EQ(voice.panning, 200);
    EXPECT_EQ(voice.leftVolume, 96 * 200 / 255);
    EXPECT_EQ(voice.rightVolume, 96 * 55 / 255);
    EXPECT_EQ(voice.frequency, 8362);
    // Channel 0 has an empty cell: no note start, nothing sounding.
    EXPECT_EQ(ChannelAt(0).voice->sample, nullptr);
}

TEST(Notes, RelativeNoteAndFinetuneShapeTheRealNote) {
    TestSong t(1, {2}, {0});
    std::int32_t ins = t.AddInstrument(64, 128, -40, 12);
    t.Put(0, 0, 0, NoteNumber("C-3"), static_cast<std::uint8_t>(ins));
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_EQ(ChannelAt(0).realNote, 48);
    EXPECT_EQ(ChannelAt(0).period, 1743);
    EXPECT_EQ(ChannelAt(0).voice->frequency, 14317056 / 1743);
}

TEST(Notes, NoteWithoutAnyInstrumentIsSilentButStartsItsVoice) {
    TestSong t(1, {2}, {0});
    t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"));
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    const Channel& ch = ChannelAt(0);
    EXPECT_EQ(ch.volEnvOutput, 0);
    EXPECT_EQ(ch.fadeoutVolume, 0);
    EXPECT_EQ(ch.voice->volume, 0);
    EXPECT_EQ(ch.voice->sample, &t.SampleOf(1));  // instrument index 0 is the first instrument
}

TEST(Notes, InstrumentWithoutNoteResetsWithoutStarting) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument(40, 60);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectVolumeSlide, 0x0F);
    t.Put(0, 1, 0, 0, static_cast<std::uint8_t>(ins), 0, kEffectSetPanning, 0x10);
    t.Put(0, 2, 0, 0, static_cast<std::uint8_t>(ins));
    t.song.defaultSpeed = 3;
    StartTestPlayback(&t.song);
    for (int i = 0; i < 3; ++i) SequencerTick(&t.song);
    EXPECT_EQ(ChannelAt(0).volume, 10);  // two slides of 15
    MixVoice* voice = ChannelAt(0).voice;
    voice->positionInt = 77;  // a note start would reset this
    for (int i = 0; i < 3; ++i) SequencerTick(&t.song);
    SequencerTick(&t.song);
    const Channel& ch = ChannelAt(0);
    EXPECT_EQ(ch.volume, 40);
    EXPECT_EQ(ch.panning, 60);
    EXPECT_EQ(ch.requests & kRequestNoteStart, 0);
    EXPECT_EQ(ch.voice, voice);
    EXPECT_EQ(voice->positionInt, 77u);
}

TEST(Notes, KeyOffNoteStartsNothingAndReleases) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.Put(0, 1, 0, kNoteKeyOff);
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    MixVoice* voice = ChannelAt(0).voice;
    SequencerTick(&t.song);
    EXPECT_EQ(ChannelAt(0).keyOff, 1);
    EXPECT_EQ(ChannelAt(0).requests & kRequestNoteStart, 0);
    EXPECT_EQ(ChannelAt(0).voice, voice);
    EXPECT_EQ(ChannelAt(0).lastNote, 48);
    EXPECT_EQ(ChannelAt(0).volEnvOutput, 0);  // no volume envelope: silent at once
    EXPECT_EQ(voice->volume, 0);
}

TEST(Notes, TonePortamentoRowKeepsNoteInstrumentAndPeriod) {
    TestSong t(1, {4}, {0});
    std::int32_t first = t.AddInstrument();
    std::int32_t second = t.AddInstrument(20);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(first));
    t.Put(0, 1, 0, NoteNumber("D-4"), static_cast<std::uint8_t>(second), 0, kEffectTonePorta, 0x10);
    t.song.defaultSpeed = 2;
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    SequencerTick(&t.song);
    MixVoice* voice = ChannelAt(0).voice;
    SequencerTick(&t.song);  // row 1, tick 0
    const Channel& ch = ChannelAt(0);
    EXPECT_EQ(ch.lastNote, 48);
    EXPECT_EQ(ch.instrumentIndex, first - 1);
    EXPECT_EQ(ch.period, 1712);
    EXPECT_EQ(ch.notePeriod, AmigaPeriod(50, 0));
    EXPECT_EQ(ch.portaTarget, AmigaPeriod(50, 0));
    EXPECT_EQ(ch.volume, 64);  // the instrument set-up ran with the sample found for C-4
    EXPECT_EQ(ch.requests & kRequestNoteStart, 0);
    EXPECT_EQ(ch.voice, voice);
    SequencerTick(&t.song);
    EXPECT_EQ(ch.period, 1712 - 64);
}

TEST(Notes, SampleMapSelectsTheSamplePerNote) {
    TestSong t(1, {2}, {0});
    std::int32_t ins = t.AddInstrument();
    std::int32_t other = t.AddInstrument(10);
    Instrument& instrument = t.InstrumentAt(ins);
    instrument.samples[1] = &t.SampleOf(other);
    instrument.sampleCount = 2;
    instrument.sampleMap[NoteNumber("C-5") - 1] = 1;
    instrument.sampleMap[NoteNumber("D-5") - 1] = 7;  // a slot without sample
    t.Put(0, 0, 0, NoteNumber("C-5"), static_cast<std::uint8_t>(ins));
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_EQ(LookupSample(&t.song, &ChannelAt(0)).sample, &t.SampleOf(other));
    EXPECT_EQ(ChannelAt(0).volume, 10);
    ChannelAt(0).lastNote = NoteNumber("D-5") - 1;
    EXPECT_EQ(LookupSample(&t.song, &ChannelAt(0)).sample, &EmptySample);
    ChannelAt(0).instrumentIndex = 5;
    SampleLookup none = LookupSample(&t.song, &ChannelAt(0));
    EXPECT_EQ(none.instrument, &EmptyInstrument);
    EXPECT_EQ(none.sample, &EmptySample);
}

class VoiceFormula : public ::testing::Test {
protected:
    void SetUp() override {
        StartTestPlayback(&song.song);
        channel = &ChannelAt(0);
        channel->volume = 64;
        channel->volEnvOutput = 64;
        channel->fadeoutVolume = 65536;
        channel->panning = 128;
        channel->panEnvOutput = 32;
    }
    void Apply(std::uint8_t requests) {
        channel->requests = requests;
        ApplyChannelToVoice(channel, &EmptySample, &song.song);
    }
    TestSong song{1, {1}, {0}};
    Channel* channel = nullptr;
};

TEST_F(VoiceFormula, VolumeRoundsToNearestEven) {
    Apply(kRequestVolume);
    EXPECT_EQ(channel->voice->volume, 128);  // 127.5
    channel->volume = 32;
    Apply(kRequestVolume);
    EXPECT_EQ(channel->voice->volume, 64);  // 63.75
    channel->volume = 64;
    channel->fadeoutVolume = 32768;
    song.song.globalVolume = 32;
    Apply(kRequestVolume);
    EXPECT_EQ(channel->voice->volume, 32);  // 31.875
    EXPECT_EQ(channel->voice->shownVolume, 32);
}

TEST_F(VoiceFormula, PanningFollowsItsEnvelopeWithinTheRoomLeft) {
    channel->panEnvOutput = 48;
    Apply(kRequestPanning);
    EXPECT_EQ(channel->voice->panning, 192);
    channel->panning = 200;
    channel->panEnvOutput = 64;
    Apply(kRequestPanning);
    EXPECT_EQ(channel->voice->panning, 232);
    channel->panning = -500;  // volume-column slides may leave 0..255
    Apply(kRequestPanning);
    EXPECT_EQ(channel->voice->panning, 0);
    channel->panning = 900;
    channel->panEnvOutput = 0;
    Apply(kRequestPanning);
    EXPECT_EQ(channel->voice->panning, 255);
}

TEST_F(VoiceFormula, FullPanningIsAllLeft) {
    channel->panning = 255;
    Apply(kRequestVolume | kRequestPanning);
    EXPECT_EQ(channel->voice->leftVolume, 128);
    EXPECT_EQ(channel->voice->rightVolume, 0);
    channel->panning = 0;
    Apply(kRequestPanning);
    EXPECT_EQ(channel->voice->leftVolume, 0);
    EXPECT_EQ(channel->voice->rightVolume, 128);
}

TEST_F(VoiceFormula, ZeroPeriodKeepsThePreviousStep) {
    channel->period = 1712;
    Apply(kRequestPitch);
    std::uint32_t stepFrac = channel->voice->stepFrac;
    EXPECT_EQ(channel->voice->frequency, 8362);
    channel->period = 100;
    channel->periodDelta = -100;
    Apply(kRequestPitch);
    EXPECT_EQ(channel->voice->frequency, 8362);
    EXPECT_EQ(channel->voice->stepFrac, stepFrac);
}

}  // namespace
