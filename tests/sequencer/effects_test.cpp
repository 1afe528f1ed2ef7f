// Effects and the volume column, tick by tick: arpeggio, portamentos, vibrato, tremolo,
// volume and panning slides, note cut and delay, retriggers, tremor, sample offset.
#include <gtest/gtest.h>

#include <vector>

#include "effects.h"
#include "mixer.h"
#include "player_state.h"
#include "sequencer.h"
#include "test_song.h"

namespace {

Channel& Ch() {
    return Player.channels[0];
}

// One channel playing C-4 with instrument 1 on row 0, with the given volume column and effect;
// row 1 is empty.
struct OneRow {
    explicit OneRow(std::uint8_t volumeCommand, std::uint8_t effect, std::uint8_t param,
                    bool linear = false, std::uint8_t sampleVolume = 64)
        : song(1, {4}, {0}, linear) {
        ins = song.AddInstrument(sampleVolume);
        song.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), volumeCommand, effect,
                 param);
        StartTestPlayback(&song.song);
    }
    // Runs `ticks` ticks and collects a channel value after each.
    template <typename Read>
    std::vector<std::int32_t> Run(int ticks, Read read) {
        std::vector<std::int32_t> values;
        for (int i = 0; i < ticks; ++i) {
            SequencerTick(&song.song);
            values.push_back(read(Ch()));
        }
        return values;
    }
    TestSong song;
    std::int32_t ins = 0;
};

std::int32_t PeriodDelta(const Channel& c) {
    return c.periodDelta;
}
std::int32_t Period(const Channel& c) {
    return c.period;
}
std::int32_t Volume(const Channel& c) {
    return c.volume;
}
std::int32_t VoiceVolume(const Channel& c) {
    return c.voice->volume;
}

using Values = std::vector<std::int32_t>;

TEST(Arpeggio, LinearDeltasFollowTheTickCounter) {
    OneRow r(0, kEffectArpeggio, 0x37, true);
    EXPECT_EQ(r.Run(6, PeriodDelta), (Values{0, 192, 448, 0, 192, 448}));
}

TEST(Arpeggio, AmigaDeltasAreTableDifferences) {
    // C-4 is 1712; three semitones up 13.375 x 2^(81/12) = 1439.6, seven up 13.375 x 2^(77/12)
    // = 1142.6, each rounded to the nearest period.
    OneRow r(0, kEffectArpeggio, 0x37);
    const std::int32_t up3 = 1440 - 1712;
    const std::int32_t up7 = 1143 - 1712;
    EXPECT_EQ(r.Run(6, PeriodDelta), (Values{0, up3, up7, 0, up3, up7}));
}

TEST(Portamento, UpStopsAt56AndDownHasNoLimit) {
    OneRow up(0, kEffectPortaUp, 0xFF);
    Values periods = up.Run(6, Period);
    EXPECT_EQ(periods, (Values{1712, 692, 56, 56, 56, 56}));
    OneRow down(0, kEffectPortaDown, 0xFF);
    EXPECT_EQ(down.Run(6, Period), (Values{1712, 2732, 3752, 4772, 5792, 6812}));
}

TEST(Portamento, MemoriesAreReusedByAZeroParameter) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectPortaDown, 0x02);
    t.Put(0, 1, 0, 0, 0, 0, kEffectPortaDown, 0x00);
    t.Put(0, 2, 0, 0, 0, 0, kEffectExtended, 0x23);
    t.Put(0, 3, 0, 0, 0, 0, kEffectExtended, 0x20);
    t.song.defaultSpeed = 2;
    StartTestPlayback(&t.song);
    for (int i = 0; i < 4; ++i) SequencerTick(&t.song);
    EXPECT_EQ(Ch().period, 1712 + 16);
    for (int i = 0; i < 4; ++i) SequencerTick(&t.song);
    EXPECT_EQ(Ch().period, 1712 + 16 + 24);
}

TEST(Portamento, ToneSlidesToTheTargetWithoutOvershoot) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.Put(0, 1, 0, NoteNumber("C#4"), 0, 0, kEffectTonePorta, 0x07);
    t.Put(0, 2, 0, NoteNumber("C-4"), 0, 0, kEffectTonePortaVolumeSlide, 0x00);
    t.song.defaultSpeed = 6;
    StartTestPlayback(&t.song);
    for (int i = 0; i < 6; ++i) SequencerTick(&t.song);
    Values periods;
    for (int i = 0; i < 6; ++i) {
        SequencerTick(&t.song);
        periods.push_back(Ch().period);
    }
    EXPECT_EQ(periods, (Values{1712, 1684, 1656, 1628, 1616, 1616}));
    periods.clear();
    for (int i = 0; i < 6; ++i) {
        SequencerTick(&t.song);
        periods.push_back(Ch().period);
    }
    EXPECT_EQ(periods, (Values{1616, 1644, 1672, 1700, 1712, 1712}));
}

TEST(Portamento, VolumeColumnPortamentoActsOnTheRowsOwnNote) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins));
    t.Put(0, 1, 0, NoteNumber("C-5"), 0, 0xF2);
    t.song.defaultSpeed = 3;
    StartTestPlayback(&t.song);
    for (int i = 0; i < 3; ++i) SequencerTick(&t.song);
    MixVoice* voice = Ch().voice;
    SequencerTick(&t.song);
    EXPECT_EQ(Ch().period, 856);  // the note set the period at once
    EXPECT_EQ(Ch().requests & kRequestNoteStart, 0);
    EXPECT_EQ(Ch().voice, voice);
    EXPECT_EQ(Ch().portaSpeed, 32);
    EXPECT_EQ(Ch().voice->frequency, 14317056 / 856);
}

TEST(Vibrato, SineValuesAndSigns) {
    EXPECT_EQ(WaveSine(0), 0);
    Values quarter;
    for (int p = 0; p <= 16; ++p) quarter.push_back(WaveSine(p));
    EXPECT_EQ(quarter, (Values{0, 25, 50, 74, 98, 121, 142, 162, 181, 198, 213, 226, 237, 245, 251,
                               255, 256}));
    for (int p = 1; p < 32; ++p) {
        EXPECT_EQ(WaveSine(32 - p), WaveSine(p));
        EXPECT_EQ(WaveSine(-p), WaveSine(p));
    }
    Channel c{};
    c.vibratoDepth = 8;
    c.vibratoPosition = 16;
    StepVibrato(&c);
    EXPECT_EQ(c.periodDelta, -64);
    c.vibratoPosition = -16;
    StepVibrato(&c);
    EXPECT_EQ(c.periodDelta, 64);
    c.waveforms = 1;
    c.vibratoPosition = -32;
    StepVibrato(&c);
    EXPECT_EQ(c.periodDelta, 4 * ((8 * 255) / 128));
    c.vibratoPosition = -1;
    StepVibrato(&c);
    EXPECT_EQ(c.periodDelta, 0);  // 4 x (56 / 128)
    c.waveforms = 3;
    c.vibratoPosition = 5;
    StepVibrato(&c);
    EXPECT_EQ(c.periodDelta, -4 * ((8 * 255) / 128));
}

TEST(Vibrato, PositionAdvancesOnLaterTicksAndWraps) {
    OneRow r(0, kEffectVibrato, 0x88);
    Values deltas = r.Run(6, PeriodDelta);
    // Tick 0 computes position 0; the later ticks step by 8: 0, 8, 16, 24, -32.
    EXPECT_EQ(deltas, (Values{0, 0, -4 * ((8 * 181) / 128), -64, -4 * ((8 * 181) / 128), 0}));
    EXPECT_EQ(Ch().vibratoPosition, -24);
}

TEST(Tremolo, OffsetIsClampedAndStaysWhenTheTremoloEnds) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument(60);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectTremolo, 0x8F);
    t.song.defaultSpeed = 4;
    StartTestPlayback(&t.song);
    Values deltas;
    for (int i = 0; i < 4; ++i) {
        SequencerTick(&t.song);
        deltas.push_back(Ch().volumeDelta);
    }
    // Positions 0, 8, 16: (15 x w) >> 6 is 0, 42, 60, capped at 64 - 60 = 4.
    EXPECT_EQ(deltas, (Values{0, 0, 4, 4}));
    SequencerTick(&t.song);  // row 1 has no tremolo: the last offset joins the volume
    EXPECT_EQ(Ch().volume, 64);
    EXPECT_EQ(Ch().volumeDelta, 0);
}

TEST(Tremolo, NegativeHalfIsCappedAtSilence) {
    Channel c{};
    c.volume = 10;
    c.tremoloDepth = 15;
    c.tremoloPosition = -16;
    c.tremoloSpeed = 4;
    StepTremolo(&c);
    EXPECT_EQ(c.volumeDelta, -10);
    EXPECT_EQ(c.tremoloPosition, -12);
    c.waveforms = 0x20;  // square
    c.volume = 64;
    StepTremolo(&c);
    EXPECT_EQ(c.volumeDelta, -((15 * 255) >> 6));
}

TEST(VolumeSlide, HighNibbleWinsAndFiveSlidesPerRow) {
    OneRow up(0, kEffectVolumeSlide, 0x11, false, 10);
    EXPECT_EQ(up.Run(6, Volume), (Values{10, 11, 12, 13, 14, 15}));
    OneRow down(0, kEffectVolumeSlide, 0x0F, false, 40);
    EXPECT_EQ(down.Run(6, Volume), (Values{40, 25, 10, 0, 0, 0}));
}

TEST(VolumeColumn, SlidesActOnEveryTickFineSlidesOnce) {
    OneRow slide(0x61, 0, 0);
    EXPECT_EQ(slide.Run(6, Volume), (Values{63, 62, 61, 60, 59, 58}));
    OneRow fine(0x81, 0, 0);
    EXPECT_EQ(fine.Run(6, Volume), (Values{63, 63, 63, 63, 63, 63}));
    OneRow up(0x7F, 0, 0, false, 40);
    EXPECT_EQ(up.Run(3, Volume), (Values{55, 64, 64}));
    OneRow set(0x30, 0, 0);
    EXPECT_EQ(set.Run(1, Volume), (Values{0x20}));
}

TEST(VolumeColumn, PanningCommandsAndVibrato) {
    OneRow pan(0xC4, 0, 0);
    SequencerTick(&pan.song.song);
    EXPECT_EQ(Ch().panning, 64);
    OneRow left(0xE5, 0, 0);
    std::vector<std::int32_t> pans = left.Run(3, [](const Channel& c) { return c.panning; });
    EXPECT_EQ(pans, (Values{133, 138, 143}));
    // The column sets the depth; with a vibrato effect beside it both advance the position.
    OneRow vibrato(0xB8, kEffectVibrato, 0x40);
    EXPECT_EQ(vibrato.Run(3, PeriodDelta), (Values{0, -24, -56}));
}

TEST(ExtendedEffects, FineSlidesAndPanning) {
    OneRow up(0, kEffectExtended, 0xA5, false, 62);
    EXPECT_EQ(up.Run(2, Volume), (Values{64, 64}));
    OneRow down(0, kEffectExtended, 0xB5, false, 3);
    EXPECT_EQ(down.Run(2, Volume), (Values{0, 0}));
    OneRow pan(0, kEffectExtended, 0x8F);
    SequencerTick(&pan.song.song);
    EXPECT_EQ(Ch().panning, 240);
    OneRow fine(0, kEffectExtended, 0x13);
    EXPECT_EQ(fine.Run(2, Period), (Values{1700, 1700}));
}

TEST(ExtendedEffects, NoteCutAndItsZeroForm) {
    OneRow cut(0, kEffectExtended, 0xC3);
    EXPECT_EQ(cut.Run(6, Volume), (Values{64, 64, 64, 0, 0, 0}));
    OneRow never(0, kEffectExtended, 0xC0);
    EXPECT_EQ(never.Run(6, Volume), (Values{64, 64, 64, 64, 64, 64}));
}

TEST(ExtendedEffects, NoteDelayStartsTheNoteOnItsTick) {
    TestSong t(1, {4}, {0});
    std::int32_t quiet = t.AddInstrument(20);
    std::int32_t loud = t.AddInstrument(64);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(quiet));
    t.Put(0, 1, 0, NoteNumber("C-5"), static_cast<std::uint8_t>(loud), 0x30, kEffectExtended, 0xD2);
    StartTestPlayback(&t.song);
    for (int i = 0; i < 6; ++i) SequencerTick(&t.song);
    MixVoice* before = Ch().voice;
    SequencerTick(&t.song);  // tick 0: everything held back
    EXPECT_EQ(Ch().volume, 20);
    EXPECT_EQ(Ch().period, 1712);
    EXPECT_EQ(Ch().requests & (kRequestNoteStart | kRequestVolume), 0);
    EXPECT_EQ(Ch().voice, before);
    SequencerTick(&t.song);  // tick 1: still held
    EXPECT_EQ(Ch().voice, before);
    SequencerTick(&t.song);  // tick 2: starts with the volume column applied
    EXPECT_EQ(Ch().volume, 0x20);
    EXPECT_EQ(Ch().period, 856);
    EXPECT_NE(Ch().requests & kRequestNoteStart, 0);
    EXPECT_NE(Ch().voice, before);
    EXPECT_EQ(Ch().voice->volume, 64);
}

TEST(ExtendedEffects, NoteDelayZeroNeverSounds) {
    OneRow r(0, kEffectExtended, 0xD0);
    for (int i = 0; i < 6; ++i) SequencerTick(&r.song.song);
    EXPECT_EQ(Ch().voice->sample, nullptr);
}

TEST(ExtendedEffects, RetriggerRestartsOnItsTicks) {
    OneRow r(0, kEffectExtended, 0x93);
    Values starts =
        r.Run(6, [](const Channel& c) { return (c.requests & kRequestNoteStart) ? 1 : 0; });
    EXPECT_EQ(starts, (Values{1, 0, 0, 1, 0, 0}));
}

TEST(ExtendedEffects, WaveformControlKeepsThePositionOnlyWithBit2) {
    Channel c{};
    c.vibratoPosition = 9;
    c.tremoloPosition = 9;
    c.waveforms = 0x41;
    TriggerInstrument(&c, &EmptySample);
    EXPECT_EQ(c.vibratoPosition, 0);
    EXPECT_EQ(c.tremoloPosition, 9);
}

TEST(ExtendedEffects, SetFinetuneWritesTheSample) {
    OneRow r(0, kEffectExtended, 0x57);
    SequencerTick(&r.song.song);
    EXPECT_EQ(r.song.SampleOf(r.ins).finetune, 7);
}

TEST(MultiRetrig, VolumeModesAndInterval) {
    struct Case {
        std::uint8_t mode;
        std::int32_t volume;
        std::int32_t expected;
    };
    for (Case c :
         {Case{1, 40, 39}, Case{5, 10, 0}, Case{6, 40, 26}, Case{7, 41, 20}, Case{8, 40, 40},
          Case{13, 60, 64}, Case{14, 41, 61}, Case{15, 40, 64}, Case{0, 40, 40}}) {
        OneRow r(0, kEffectMultiRetrig, static_cast<std::uint8_t>(c.mode << 4 | 2), false,
                 static_cast<std::uint8_t>(c.volume));
        Values volumes = r.Run(3, Volume);
        EXPECT_EQ(volumes[1], c.volume) << int(c.mode);
        EXPECT_EQ(volumes[2], c.expected) << int(c.mode);
        bool volumeRequested = (Ch().requests & kRequestVolume) != 0;
        EXPECT_EQ(volumeRequested, c.mode != 0) << int(c.mode);
        EXPECT_NE(Ch().requests & kRequestNoteStart, 0);
    }
}

TEST(Tremor, SoundsXPlusOneTicksThenSilentYPlusOne) {
    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectTremor, 0x23);
    t.song.defaultSpeed = 16;
    StartTestPlayback(&t.song);
    Values sounding;
    for (int i = 0; i < 14; ++i) {
        SequencerTick(&t.song);
        sounding.push_back(Ch().voice->volume > 0 ? 1 : 0);
    }
    EXPECT_EQ(sounding, (Values{1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0}));
}

TEST(SampleOffset, StartsInsideTheSampleAndResetsBeyondIt) {
    OneRow inside(0, kEffectSampleOffset, 0x01);
    MixVoice* first = Ch().voice;
    SequencerTick(&inside.song.song);
    // 256 frames into a 256-frame sample: no note start, the present voice restarts instead.
    EXPECT_EQ(Ch().voice, first);
    EXPECT_NE(Ch().requests & kRequestPositionReset, 0);
    EXPECT_EQ(Ch().requests & kRequestNoteStart, 0);

    TestSong t(1, {4}, {0});
    std::int32_t ins = t.AddInstrument(64, 128, 0, 0, 1024);
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectSampleOffset, 0x02);
    t.Put(0, 1, 0, NoteNumber("C-4"), 0, 0, kEffectSampleOffset, 0x00);
    t.song.defaultSpeed = 1;
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_EQ(Ch().voice->positionInt, 512u);
    EXPECT_EQ(Ch().voice->startOffset, 0u);
    SequencerTick(&t.song);  // the memory repeats the offset on the partner voice
    EXPECT_EQ(Ch().voice->positionInt, 512u);
    EXPECT_EQ(Ch().offsetMemory, 2);
}

TEST(GlobalVolume, SetAndSlideReachTheVoiceOnTheNextVolumeRequest) {
    TestSong t(2, {4}, {0});
    std::int32_t ins = t.AddInstrument();
    t.Put(0, 0, 0, NoteNumber("C-4"), static_cast<std::uint8_t>(ins), 0, kEffectGlobalVolume, 0x50);
    t.Put(0, 0, 1, 0, 0, 0, kEffectGlobalVolumeSlide, 0x0F);
    t.song.defaultSpeed = 3;
    StartTestPlayback(&t.song);
    SequencerTick(&t.song);
    EXPECT_EQ(t.song.globalVolume, 64);
    EXPECT_EQ(Ch().voice->volume, 128);
    SequencerTick(&t.song);
    EXPECT_EQ(t.song.globalVolume, 49);
    EXPECT_EQ(Ch().voice->volume, 128);  // no volume request was made
    SequencerTick(&t.song);
    EXPECT_EQ(t.song.globalVolume, 34);
}

TEST(PanningSlide, ClampsAtTheEnds) {
    OneRow right(0, kEffectPanningSlide, 0xF0);
    Values pans = right.Run(4, [](const Channel& c) { return c.panning; });
    EXPECT_EQ(pans, (Values{128, 143, 158, 173}));
    OneRow left(0, kEffectPanningSlide, 0x0F);
    for (int i = 0; i < 6; ++i) SequencerTick(&left.song.song);
    EXPECT_EQ(Ch().panning, 128 - 75);
    Channel c{};
    c.panning = 250;
    c.panningSlideMemory = 0xF0;
    Cell cell{0, 0, 0, kEffectPanningSlide, 0};
    TestSong s(1, {1}, {0});
    s.song.tick = 1;
    TickEffect(&c, cell, &EmptySample, &s.song);
    EXPECT_EQ(c.panning, 255);
}

TEST(ExtraFinePortamento, MovesByOneUnit) {
    OneRow up(0, kEffectExtraFinePorta, 0x13);
    EXPECT_EQ(up.Run(2, Period), (Values{1709, 1709}));
    OneRow down(0, kEffectExtraFinePorta, 0x22);
    EXPECT_EQ(down.Run(2, Period), (Values{1714, 1714}));
    OneRow other(0, kEffectExtraFinePorta, 0x32);
    EXPECT_EQ(other.Run(1, Period), (Values{1712}));
}

TEST(VoiceVolume, KeyOffEffectReleasesLikeTheKeyOffNote) {
    OneRow r(0, kEffectKeyOff, 0);
    EXPECT_EQ(r.Run(1, VoiceVolume), (Values{0}));
    EXPECT_EQ(Ch().keyOff, 1);
}

}  // namespace
