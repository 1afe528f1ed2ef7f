// Notes: the period tables, the playback frequency of a period, and the set-up a channel gets
// when a cell gives it an instrument. Shared by the sequencer and the effects, below both.
#pragma once

#include <cstdint>

#include "channel.h"
#include "song.h"

// The names of the twelve notes of an octave as trackers write them, C-4 for note 49.
inline constexpr const char* kNoteNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                               "F#", "G-", "G#", "A-", "A#", "B-"};

// Period of real note n (0..255) with finetune f in 1/128 semitone, in the song's table.
std::int32_t NotePeriod(const Song* song, std::int32_t note, std::int32_t finetune);
// Period of real note n in the Amiga table; n may run up to kAmigaNoteLimit.
std::int32_t AmigaPeriod(std::int32_t note, std::int32_t finetune);
constexpr std::int32_t kAmigaNoteLimit = 255 + 15;  // highest real note plus an arpeggio step

// Playback frequency in Hz of a period plus its delta; clamped to 0..kMaxFrequency.
std::int32_t PeriodFrequency(const Song* song, std::int32_t period, std::int32_t periodDelta);
constexpr std::int32_t kAmigaClock = 14317056;       // Hz: Amiga period p plays at kAmigaClock / p
constexpr std::int32_t kMaxFrequency = kAmigaClock;  // the Amiga clock over period 1

// Bounds that keep a period inside int32 arithmetic however long a slide runs.
constexpr std::int32_t kPeriodLimit = 1 << 24;

// The set-up an instrument number in a cell causes: the sample's volume and panning, envelopes,
// fade-out, auto-vibrato and tremor from their start.
void TriggerInstrument(Channel* channel, const Sample* sample);
