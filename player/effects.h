// Effects and envelopes: what a channel does with its cell's volume column and effect, and how
// envelopes, fade-out and auto-vibrato shape it tick by tick. Results reach the voice through
// the channel's request bits.
#pragma once

#include <cstdint>

#include "channel.h"
#include "song.h"

// Effect numbers as stored in a cell.
enum EffectNumber : std::uint8_t {
    kEffectArpeggio = 0x0,
    kEffectPortaUp = 0x1,
    kEffectPortaDown = 0x2,
    kEffectTonePorta = 0x3,
    kEffectVibrato = 0x4,
    kEffectTonePortaVolumeSlide = 0x5,
    kEffectVibratoVolumeSlide = 0x6,
    kEffectTremolo = 0x7,
    kEffectSetPanning = 0x8,
    kEffectSampleOffset = 0x9,
    kEffectVolumeSlide = 0xA,
    kEffectPositionJump = 0xB,
    kEffectSetVolume = 0xC,
    kEffectPatternBreak = 0xD,
    kEffectExtended = 0xE,
    kEffectSpeedTempo = 0xF,
    kEffectGlobalVolume = 16,
    kEffectGlobalVolumeSlide = 17,
    kEffectKeyOff = 20,
    kEffectEnvelopePosition = 21,
    kEffectPanningSlide = 25,
    kEffectMultiRetrig = 27,
    kEffectTremor = 29,
    kEffectExtraFinePorta = 33,
};

// Row-wide state of the effects on a row's first tick.
struct RowState {
    bool positionJumpSeen;
};

void VolumeColumnRow(Channel* channel, std::uint8_t command);
void VolumeColumnTick(Channel* channel, std::uint8_t command);

void RowEffect(Channel* channel, const Cell& cell, const Instrument* instrument,
               const Sample* sample, Song* song, RowState* row);
void TickEffect(Channel* channel, const Cell& cell, const Sample* sample, Song* song);

// Envelopes and fade-out of a row's first tick (firstTick) or of its later ticks.
void StepEnvelopes(Channel* channel, const Instrument* instrument, bool firstTick);
void SetEnvelopePosition(Channel* channel, const Instrument* instrument, std::int32_t position);

void StepAutoVibrato(Channel* channel, const Instrument* instrument);
void StepVibrato(Channel* channel);
void AdvanceVibrato(Channel* channel);
void StepTremolo(Channel* channel);
void StepTonePortamento(Channel* channel);
void StepTremor(Channel* channel);

// |round(256 sin(p pi / 32))| for p in -32..31: the vibrato and tremolo sine.
std::int32_t WaveSine(std::int32_t position);
// round(64 sin(phase pi / 128)) for phase 0..255: the auto-vibrato sine.
std::int32_t AutoVibratoSine(std::int32_t phase);

// Bounds of a stored panning left free by the volume column's panning slides.
constexpr std::int32_t kPanningDriftLimit = 1 << 15;
