// Effects and envelopes: the volume column, the effect commands, the volume and panning
// envelopes, fade-out and auto-vibrato, applied to one channel at a time.
#include "effects.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "mixer.h"
#include "notes.h"
#include "song.h"
#include "tick_clock.h"

namespace {

constexpr std::int32_t kMinPortaPeriod = 56;  // portamento up stops here

std::array<std::int32_t, 64> BuildWaveSine() {
    std::array<std::int32_t, 64> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::int32_t p = static_cast<std::int32_t>(i) - 32;
        double value = std::nearbyint(256.0 * std::sin(p * std::numbers::pi / 32.0));
        table[i] = static_cast<std::int32_t>(std::fabs(value));
    }
    return table;
}

std::array<std::int32_t, 256> BuildAutoVibratoSine() {
    std::array<std::int32_t, 256> table{};
    for (std::int32_t phase = 0; phase < 256; ++phase) {
        table[static_cast<std::size_t>(phase)] = static_cast<std::int32_t>(
            std::nearbyint(64.0 * std::sin(phase * std::numbers::pi / 128.0)));
    }
    return table;
}

std::int32_t Clamp(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

std::uint8_t High(std::uint8_t value) {
    return value >> 4;
}
std::uint8_t Low(std::uint8_t value) {
    return value & 0x0F;
}

void ClearRequests(Channel* channel, std::uint8_t bits) {
    channel->requests = static_cast<std::uint8_t>(channel->requests & ~bits);
}

// Moves the period by amount.
// deliberate:
// the period saturates far outside any audible range, so that endless slides cannot overflow.
void SlidePeriod(Channel* channel, std::int32_t amount) {
    channel->period = Clamp(channel->period + amount, -kPeriodLimit, kPeriodLimit);
}

void SlideVolume(Channel* channel, std::uint8_t memory) {
    if (High(memory) != 0) {
        channel->volume += High(memory);
        if (channel->volume > 64) channel->volume = 64;
    } else {
        channel->volume -= Low(memory);
        if (channel->volume < 0) channel->volume = 0;
    }
    channel->requests |= kRequestVolume;
}

// The volume column's panning slides leave 0..255 (the voice clamps the final panning).
// deliberate:
// the stored value is bounded all the same, so that endless slides cannot overflow.
void SlidePanningFree(Channel* channel, std::int32_t amount) {
    channel->panning = Clamp(channel->panning + amount, -kPanningDriftLimit, kPanningDriftLimit);
    channel->requests |= kRequestPanning;
}

// Vibrato and tremolo share their waveform shapes: 0 sine, 1 ramp, 2 square, with 3 sine for
// the tremolo and square for the vibrato.
std::int32_t RampWave(std::int32_t position) {
    return position >= 0 ? 8 * position : -1 - 8 * position;
}

// One envelope of a channel: the instrument's points and settings and the channel's state.
struct EnvelopeRun {
    const EnvelopePoint* points;
    std::int32_t count;
    std::uint8_t type;
    std::int32_t sustain;
    std::int32_t loopStart;
    std::int32_t loopEnd;
    std::int32_t* tick;
    std::int32_t* point;
    std::int64_t* value;
    std::int32_t* output;
    std::int32_t* slope;
    std::uint8_t* done;
    std::uint8_t request;
};

constexpr std::uint8_t kEnvelopeOn = 1;
constexpr std::uint8_t kEnvelopeSustain = 2;
constexpr std::uint8_t kEnvelopeLoop = 4;

std::int32_t PointCount(std::uint8_t count) {
    return count < kEnvelopePointCount ? count : kEnvelopePointCount;
}

// Envelope heights are 0..64; larger stored values are clamped so that 16.16 arithmetic holds.
std::int32_t PointY(const EnvelopePoint& point) {
    return point.y <= 64 ? point.y : 64;
}

// The 16.16 value as an output; an envelope whose first point lies after tick 0 can be set
// to a position before it, where the value leaves 0..64.
std::int32_t EnvelopeOutput(std::int64_t value) {
    const std::int64_t whole = value >> 16;
    return whole < 0 ? 0 : (whole > 64 ? 64 : static_cast<std::int32_t>(whole));
}

std::int32_t SegmentSlope(const EnvelopePoint& from, const EnvelopePoint& to) {
    std::int32_t width = static_cast<std::int32_t>(to.x) - static_cast<std::int32_t>(from.x);
    if (width == 0) return 0;
    return ((PointY(to) - PointY(from)) * 65536) / width;
}

EnvelopeRun VolumeEnvelope(Channel* channel, const Instrument* instrument) {
    return {instrument->volumeEnvelope,
            PointCount(instrument->volumePointCount),
            instrument->volumeType,
            instrument->volumeSustainPoint,
            instrument->volumeLoopStart,
            instrument->volumeLoopEnd,
            &channel->volEnvTick,
            &channel->volEnvPoint,
            &channel->volEnvValue,
            &channel->volEnvOutput,
            &channel->volEnvSlope,
            &channel->volEnvDone,
            kRequestVolume};
}

EnvelopeRun PanningEnvelope(Channel* channel, const Instrument* instrument) {
    return {instrument->panningEnvelope,
            PointCount(instrument->panningPointCount),
            instrument->panningType,
            instrument->panningSustainPoint,
            instrument->panningLoopStart,
            instrument->panningLoopEnd,
            &channel->panEnvTick,
            &channel->panEnvPoint,
            &channel->panEnvValue,
            &channel->panEnvOutput,
            &channel->panEnvSlope,
            &channel->panEnvDone,
            kRequestPanning};
}

void StepEnvelope(Channel* channel, const EnvelopeRun& run) {
    std::int32_t& tick = *run.tick;
    std::int32_t& point = *run.point;
    std::int64_t& value = *run.value;
    std::int32_t count = run.count;

    // deliberate:
    // a point is reached once the tick arrives at or passes its x, not only on equality, so
    // that points whose x do not rise (stored out of order or twice) cannot leave the value
    // sliding without end.
    if (point >= 0 && point < count && tick >= run.points[point].x) {
        bool loopValid = run.loopStart < count;
        if ((run.type & kEnvelopeLoop) && loopValid && point == run.loopEnd) {
            point = run.loopStart;
            tick = run.points[point].x;
        }
        if (point == count - 1) {
            *run.output = PointY(run.points[point]);
            *run.done = 1;
            channel->requests |= run.request;
            return;
        }
        if ((run.type & kEnvelopeSustain) && point == run.sustain && !channel->keyOff) {
            *run.output = PointY(run.points[point]);
            channel->requests |= run.request;
            return;
        }
        *run.slope = SegmentSlope(run.points[point], run.points[point + 1]);
        value = std::int64_t{PointY(run.points[point])} * 65536;
        point += 1;
    } else if (point >= 0 && point < count) {
        value += *run.slope;
    }
    *run.output = EnvelopeOutput(value);
    tick += 1;
    channel->requests |= run.request;
}

void SetPanning(Channel* channel, std::int32_t panning) {
    channel->panning = panning;
    channel->requests |= kRequestPanning;
}

void MultiRetrig(Channel* channel, const Song* song) {
    if (channel->retrigInterval == 0 || song->tick % channel->retrigInterval != 0) return;
    std::int32_t volume = channel->volume;
    switch (channel->retrigVolumeMode) {
        case 0: channel->requests |= kRequestNoteStart; return;
        case 1: volume -= 1; break;
        case 2: volume -= 2; break;
        case 3: volume -= 4; break;
        case 4: volume -= 8; break;
        case 5: volume -= 16; break;
        case 6: volume = (2 * volume) / 3; break;
        case 7: volume >>= 1; break;
        case 9: volume += 1; break;
        case 10: volume += 2; break;
        case 11: volume += 4; break;
        case 12: volume += 8; break;
        case 13: volume += 16; break;
        case 14: volume = (3 * volume) / 2; break;
        case 15: volume *= 2; break;
        default: break;  // 8: no change, still clamped and requested
    }
    channel->volume = Clamp(volume, 0, 64);
    channel->requests |= kRequestVolume | kRequestNoteStart;
}

void SampleOffset(Channel* channel, std::uint8_t param, const Sample* sample) {
    if (param != 0) channel->offsetMemory = param;
    std::uint32_t offset = static_cast<std::uint32_t>(channel->offsetMemory) * 256u;
    std::uint64_t loopEnd = static_cast<std::uint64_t>(sample->loopStart) + sample->loopLength;
    if (offset >= loopEnd) {
        ClearRequests(channel, kRequestNoteStart);
        channel->requests |= kRequestPositionReset;
    } else if (channel->voice != nullptr) {
        SetVoiceStartOffset(channel->voice, offset);
    }
}

void RowExtended(Channel* channel, const Cell& cell, const Sample* sample, Song* song) {
    std::uint8_t y = Low(cell.effectParam);
    switch (High(cell.effectParam)) {
        case 0x1:
            if (y != 0) channel->finePortaUpMemory = y;
            SlidePeriod(channel, -4 * channel->finePortaUpMemory);
            break;
        case 0x2:
            if (y != 0) channel->finePortaDownMemory = y;
            SlidePeriod(channel, 4 * channel->finePortaDownMemory);
            break;
        case 0x4:
            channel->waveforms = static_cast<std::uint8_t>((channel->waveforms & 0xF0) | y);
            break;
        case 0x5:
            // deliberate:
            // the shared all-zero placeholder sample is never written.
            if (Sample* own = WritableSample(sample)) own->finetune = static_cast<std::int8_t>(y);
            break;
        case 0x6:
            if (y == 0) {
                channel->loopStartRow = song->row;
            } else {
                if (channel->loopCounter == 0) {
                    channel->loopCounter = y;
                } else {
                    channel->loopCounter -= 1;
                }
                if (channel->loopCounter != 0) song->row = channel->loopStartRow - 1;
            }
            break;
        case 0x7:
            channel->waveforms = static_cast<std::uint8_t>((channel->waveforms & 0x0F) | (y << 4));
            break;
        case 0x8: SetPanning(channel, y * 16); break;
        case 0xA:
            if (y != 0) channel->fineVolumeMemory = y;
            channel->volume += channel->fineVolumeMemory;
            if (channel->volume > 64) channel->volume = 64;
            channel->requests |= kRequestVolume;
            break;
        case 0xB:
            if (y != 0) channel->fineVolumeMemory = y;
            channel->volume -= channel->fineVolumeMemory;
            if (channel->volume < 0) channel->volume = 0;
            channel->requests |= kRequestVolume;
            break;
        case 0xD:
            channel->volume = channel->rowStartVolume;
            channel->period = channel->rowStartPeriod;
            channel->panning = channel->rowStartPanning;
            ClearRequests(channel,
                          kRequestPitch | kRequestVolume | kRequestPanning | kRequestNoteStart);
            break;
        case 0xE: song->extraTicks = song->speed * y; break;
        default: break;  // E0y, E3y, E9y, ECy and EFy do nothing on the first tick
    }
}

void TickExtended(Channel* channel, const Cell& cell, const Sample* sample, Song* song) {
    std::uint8_t y = Low(cell.effectParam);
    switch (High(cell.effectParam)) {
        case 0x9:
            if (y != 0 && song->tick % y == 0) {
                channel->requests |= kRequestPitch | kRequestVolume | kRequestNoteStart;
            }
            break;
        case 0xC:
            if (song->tick == y) {
                channel->volume = 0;
                channel->requests |= kRequestVolume;
            }
            break;
        case 0xD:
            if (song->tick == y) {
                TriggerInstrument(channel, sample);
                channel->period = channel->notePeriod;
                channel->requests |= kRequestPitch;
                if (cell.volumeCommand != 0) VolumeColumnRow(channel, cell.volumeCommand);
                channel->requests |= kRequestNoteStart;
            } else {
                ClearRequests(channel,
                              kRequestPitch | kRequestVolume | kRequestPanning | kRequestNoteStart);
            }
            break;
        default: break;
    }
}

}  // namespace

std::int32_t WaveSine(std::int32_t position) {
    static const std::array<std::int32_t, 64> table = BuildWaveSine();
    return table[static_cast<std::uint32_t>(position + 32) & 63];
}

std::int32_t AutoVibratoSine(std::int32_t phase) {
    static const std::array<std::int32_t, 256> table = BuildAutoVibratoSine();
    return table[static_cast<std::uint32_t>(phase) & 255];
}

void VolumeColumnRow(Channel* channel, std::uint8_t command) {
    std::uint8_t y = Low(command);
    if (command >= 0x10 && command <= 0x50) {
        channel->volume = command - 0x10;
        channel->requests |= kRequestVolume;
        return;
    }
    switch (High(command)) {
        case 0x6:
        case 0x8:
            channel->volume -= y;
            if (channel->volume < 0) channel->volume = 0;
            channel->requests |= kRequestVolume;
            break;
        case 0x7:
        case 0x9:
            channel->volume += y;
            if (channel->volume > 64) channel->volume = 64;
            channel->requests |= kRequestVolume;
            break;
        case 0xA: channel->vibratoSpeed = y; break;
        case 0xB: channel->vibratoDepth = y; break;
        case 0xC: SetPanning(channel, y * 16); break;
        case 0xD: SlidePanningFree(channel, -y); break;
        case 0xE: SlidePanningFree(channel, y); break;
        case 0xF:
            if (y != 0) channel->portaSpeed = static_cast<std::uint8_t>(y * 16);
            channel->portaTarget = channel->notePeriod;
            ClearRequests(channel, kRequestNoteStart);
            break;
        default: break;
    }
}

void VolumeColumnTick(Channel* channel, std::uint8_t command) {
    std::uint8_t y = Low(command);
    switch (High(command)) {
        case 0x6:
            channel->volume -= y;
            if (channel->volume < 0) channel->volume = 0;
            channel->requests |= kRequestVolume;
            break;
        case 0x7:
            channel->volume += y;
            if (channel->volume > 64) channel->volume = 64;
            channel->requests |= kRequestVolume;
            break;
        case 0xB:
            channel->vibratoDepth = y;
            StepVibrato(channel);
            AdvanceVibrato(channel);
            break;
        case 0xD: SlidePanningFree(channel, -y); break;
        case 0xE: SlidePanningFree(channel, y); break;
        case 0xF: StepTonePortamento(channel); break;
        default: break;
    }
}

void RowEffect(Channel* channel, const Cell& cell, const Instrument* instrument,
               const Sample* sample, Song* song, RowState* row) {
    std::uint8_t param = cell.effectParam;
    std::uint8_t x = High(param);
    std::uint8_t y = Low(param);
    switch (cell.effect) {
        case kEffectPortaUp:
            if (param != 0) channel->portaUpMemory = param;
            break;
        case kEffectPortaDown:
            if (param != 0) channel->portaDownMemory = param;
            break;
        case kEffectTonePorta:
            if (param != 0) channel->portaSpeed = param;
            channel->portaTarget = channel->notePeriod;
            ClearRequests(channel, kRequestPitch | kRequestNoteStart);
            break;
        case kEffectVibrato:
            if (x != 0) channel->vibratoSpeed = x;
            if (y != 0) channel->vibratoDepth = y;
            StepVibrato(channel);
            break;
        case kEffectTonePortaVolumeSlide:
            channel->portaTarget = channel->notePeriod;
            if (param != 0) channel->volumeSlideMemory = param;
            ClearRequests(channel, kRequestPitch | kRequestNoteStart);
            break;
        case kEffectVibratoVolumeSlide:
            if (param != 0) channel->volumeSlideMemory = param;
            StepVibrato(channel);
            break;
        case kEffectTremolo:
            if (x != 0) channel->tremoloSpeed = x;
            if (y != 0) channel->tremoloDepth = y;
            break;
        case kEffectSetPanning: SetPanning(channel, param); break;
        case kEffectSampleOffset: SampleOffset(channel, param, sample); break;
        case kEffectVolumeSlide:
            if (param != 0) channel->volumeSlideMemory = param;
            break;
        case kEffectPositionJump:
            song->pendingRow = 0;
            song->pendingOrder = param < song->songLength ? param : 0;
            row->positionJumpSeen = true;
            break;
        case kEffectSetVolume:
            channel->volume = param <= 64 ? param : 64;  // clamped on entry, as sample volumes
            channel->requests |= kRequestVolume;
            break;
        case kEffectPatternBreak:
            song->pendingRow = 10 * x + y;
            if (song->pendingRow > 63) song->pendingRow = 0;
            if (!row->positionJumpSeen) song->pendingOrder = song->orderPosition + 1;
            if (song->pendingOrder >= song->songLength) song->pendingOrder = 0;
            break;
        case kEffectExtended: RowExtended(channel, cell, sample, song); break;
        case kEffectSpeedTempo:
            if (param < 32) {
                song->speed = param;
            } else {
                SetBpm(song, param);
            }
            break;
        case kEffectGlobalVolume:
            song->globalVolume = param <= 64 ? param : 64;
            channel->requests |= kRequestVolume;
            break;
        case kEffectGlobalVolumeSlide:
            if (param != 0) song->globalVolumeSlideMemory = param;
            break;
        case kEffectEnvelopePosition: SetEnvelopePosition(channel, instrument, param); break;
        case kEffectPanningSlide:
            if (param != 0) {
                channel->panningSlideMemory = param;
                channel->requests |= kRequestPanning;
            }
            break;
        case kEffectMultiRetrig:
            if (param != 0) {
                channel->retrigVolumeMode = x;
                channel->retrigInterval = y;
            }
            break;
        case kEffectTremor:
            if (param != 0) {
                channel->tremorOnTicks = static_cast<std::uint8_t>(x + 1);
                channel->tremorOffTicks = static_cast<std::uint8_t>(y + 1);
            }
            StepTremor(channel);
            break;
        case kEffectExtraFinePorta:
            if (x == 1) {
                if (y != 0) channel->extraFineUpMemory = y;
                SlidePeriod(channel, -channel->extraFineUpMemory);
            } else if (x == 2) {
                if (y != 0) channel->extraFineDownMemory = y;
                SlidePeriod(channel, channel->extraFineDownMemory);
            }
            break;
        default: break;  // arpeggio and key off act elsewhere; unknown numbers do nothing
    }
}

void TickEffect(Channel* channel, const Cell& cell, const Sample* sample, Song* song) {
    std::uint8_t param = cell.effectParam;
    switch (cell.effect) {
        case kEffectArpeggio: {
            if (param == 0) break;
            std::int32_t phase = song->tick % 3;
            std::int32_t step = phase == 1 ? High(param) : (phase == 2 ? Low(param) : 0);
            if (step != 0) {
                if (song->flags & kFlagLinearFrequencies) {
                    channel->periodDelta = 64 * step;
                } else {
                    channel->periodDelta = AmigaPeriod(channel->realNote + step, sample->finetune) -
                                           AmigaPeriod(channel->realNote, sample->finetune);
                }
            }
            channel->requests |= kRequestPitch;
            break;
        }
        case kEffectPortaUp:
            SlidePeriod(channel, -4 * channel->portaUpMemory);
            if (channel->period < kMinPortaPeriod) channel->period = kMinPortaPeriod;
            channel->periodDelta = 0;
            channel->requests |= kRequestPitch;
            break;
        case kEffectPortaDown:
            SlidePeriod(channel, 4 * channel->portaDownMemory);
            channel->periodDelta = 0;
            channel->requests |= kRequestPitch;
            break;
        case kEffectTonePorta:
            channel->periodDelta = 0;
            StepTonePortamento(channel);
            break;
        case kEffectVibrato:
            StepVibrato(channel);
            AdvanceVibrato(channel);
            break;
        case kEffectTonePortaVolumeSlide:
            channel->periodDelta = 0;
            StepTonePortamento(channel);
            SlideVolume(channel, channel->volumeSlideMemory);
            break;
        case kEffectVibratoVolumeSlide:
            StepVibrato(channel);
            AdvanceVibrato(channel);
            SlideVolume(channel, channel->volumeSlideMemory);
            break;
        case kEffectTremolo: StepTremolo(channel); break;
        case kEffectVolumeSlide: SlideVolume(channel, channel->volumeSlideMemory); break;
        case kEffectExtended: TickExtended(channel, cell, sample, song); break;
        case kEffectGlobalVolumeSlide: {
            std::uint8_t memory = song->globalVolumeSlideMemory;
            if (High(memory) != 0) {
                song->globalVolume += High(memory);
                if (song->globalVolume > 64) song->globalVolume = 64;
            } else if (Low(memory) != 0) {
                song->globalVolume -= Low(memory);
                if (song->globalVolume < 0) song->globalVolume = 0;
            }
            break;
        }
        case kEffectPanningSlide: {
            std::uint8_t memory = channel->panningSlideMemory;
            if (High(memory) != 0) {
                channel->panning += High(memory);
                if (channel->panning > 255) channel->panning = 255;
            } else if (Low(memory) != 0) {
                channel->panning -= Low(memory);
                if (channel->panning < 0) channel->panning = 0;
            }
            channel->requests |= kRequestPanning;
            break;
        }
        case kEffectMultiRetrig: MultiRetrig(channel, song); break;
        case kEffectTremor: StepTremor(channel); break;
        default: break;
    }
}

void StepEnvelopes(Channel* channel, const Instrument* instrument, bool firstTick) {
    if (instrument->volumeType & kEnvelopeOn) {
        if (!channel->volEnvDone) StepEnvelope(channel, VolumeEnvelope(channel, instrument));
    } else if (firstTick && channel->keyOff) {
        channel->volEnvOutput = 0;  // a released note without volume envelope is silent at once
    }
    if ((instrument->panningType & kEnvelopeOn) && !channel->panEnvDone) {
        StepEnvelope(channel, PanningEnvelope(channel, instrument));
    }
    if (channel->keyOff) {
        channel->fadeoutVolume -= instrument->fadeout;
        if (channel->fadeoutVolume < 0) channel->fadeoutVolume = 0;
        channel->requests |= kRequestVolume;
    }
}

void SetEnvelopePosition(Channel* channel, const Instrument* instrument, std::int32_t position) {
    if (!(instrument->volumeType & kEnvelopeOn)) return;
    const EnvelopePoint* points = instrument->volumeEnvelope;
    std::int32_t count = PointCount(instrument->volumePointCount);
    if (count == 0) return;
    // Search for the segment holding position; past the last point the search ends at count.
    std::int32_t i = 0;
    while (i < count && (i + 1 >= count || position > points[i + 1].x)) i += 1;
    channel->volEnvPoint = i;
    if (i >= count - 1) {
        channel->volEnvOutput = PointY(points[count - 1]);
        channel->volEnvDone = 1;
        return;
    }
    channel->volEnvDone = 0;
    channel->volEnvTick = position;
    channel->volEnvSlope = SegmentSlope(points[i], points[i + 1]);
    channel->volEnvPoint = i + 1;
    // Before the first point the offset is negative; it is measured from point i all the same.
    channel->volEnvValue = std::int64_t{PointY(points[i])} * 65536 +
                           std::int64_t{position - points[i].x} * channel->volEnvSlope;
    channel->volEnvOutput = EnvelopeOutput(channel->volEnvValue);
}

void StepAutoVibrato(Channel* channel, const Instrument* instrument) {
    std::int32_t phase = channel->autoVibratoPhase & 255;
    std::int32_t wave;
    switch (instrument->autoVibratoType) {
        case 0: wave = AutoVibratoSine(phase); break;
        case 1: wave = phase < 128 ? 64 : -64; break;
        case 2: wave = (128 - ((phase + 128) % 256)) >> 1; break;
        case 3: wave = (128 - ((384 - phase) % 256)) >> 1; break;
        default: wave = 0; break;  // undefined waveforms play no vibrato
    }
    std::int32_t amount = instrument->autoVibratoDepth * wave;
    if (instrument->autoVibratoSweep != 0) {
        amount = (channel->autoVibratoSweepTicks * amount) / instrument->autoVibratoSweep;
    }
    channel->periodDelta += amount >> 6;
    if (channel->autoVibratoSweepTicks < instrument->autoVibratoSweep) {
        channel->autoVibratoSweepTicks += 1;
    }
    channel->autoVibratoPhase = phase + instrument->autoVibratoRate;
    if (channel->autoVibratoPhase > 255) channel->autoVibratoPhase -= 256;
    channel->requests |= kRequestPitch;
}

void StepVibrato(Channel* channel) {
    std::int32_t position = channel->vibratoPosition;
    std::int32_t wave;
    switch (channel->waveforms & 0x03) {
        case 0: wave = WaveSine(position); break;
        case 1: wave = RampWave(position); break;
        default: wave = 255; break;
    }
    std::int32_t delta = 4 * ((channel->vibratoDepth * wave) / 128);
    channel->periodDelta = position < 0 ? delta : -delta;
    channel->requests |= kRequestPitch;
}

void AdvanceVibrato(Channel* channel) {
    std::int32_t position = channel->vibratoPosition + channel->vibratoSpeed;
    if (position > 31) position -= 64;
    channel->vibratoPosition = static_cast<std::int8_t>(position);
}

void StepTremolo(Channel* channel) {
    std::int32_t position = channel->tremoloPosition;
    std::int32_t wave;
    switch ((channel->waveforms >> 4) & 0x03) {
        case 1: wave = RampWave(position); break;
        case 2: wave = 255; break;
        default: wave = WaveSine(position); break;
    }
    std::int32_t delta = (channel->tremoloDepth * wave) >> 6;
    if (position >= 0) {
        if (channel->volume + delta > 64) delta = 64 - channel->volume;
    } else {
        if (channel->volume - delta < 0) delta = channel->volume;
        delta = -delta;
    }
    channel->volumeDelta = delta;
    position += channel->tremoloSpeed;
    if (position > 31) position -= 64;
    channel->tremoloPosition = static_cast<std::int8_t>(position);
    channel->requests |= kRequestVolume;
}

void StepTonePortamento(Channel* channel) {
    std::int32_t step = 4 * channel->portaSpeed;
    if (channel->period < channel->portaTarget) {
        channel->period += step;
        if (channel->period > channel->portaTarget) channel->period = channel->portaTarget;
    } else if (channel->period > channel->portaTarget) {
        channel->period -= step;
        if (channel->period < channel->portaTarget) channel->period = channel->portaTarget;
    }
    channel->requests |= kRequestPitch;
}

void StepTremor(Channel* channel) {
    if (channel->tremorCounter >= channel->tremorOnTicks) channel->volumeDelta = -channel->volume;
    channel->tremorCounter += 1;
    // deliberate:
    // a counter left beyond a shorter new cycle restarts too, instead of running up to 255.
    if (channel->tremorCounter >= channel->tremorOnTicks + channel->tremorOffTicks) {
        channel->tremorCounter = 0;
    }
    channel->requests |= kRequestVolume;
}
