// Notes: the Amiga and linear period tables, the frequency a period plays at, and the set-up
// an instrument number gives its channel.
#include "notes.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// 1/12 and 1/768 as the single-precision numbers the pitch formulas use.
constexpr float kTwelfth = 1.0f / 12.0f;
constexpr float kLinearStep = 1.0f / 768.0f;
constexpr double kAmigaBase = 13.375;
constexpr std::int32_t kLinearMiddlePeriod = 4608;  // real note 48: C-4 at 8363 Hz
constexpr double kMiddleFrequency = 8363.0;

// p(k) for k = 0 .. kAmigaNoteLimit + 1: periods of the Amiga table without finetune.
using AmigaTable = std::array<std::int32_t, kAmigaNoteLimit + 2>;

AmigaTable BuildAmigaTable() {
    AmigaTable table{};
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(table.size()); ++k) {
        double exponent = static_cast<double>(132 - k) * static_cast<double>(kTwelfth);
        table[static_cast<std::size_t>(k)] =
            static_cast<std::int32_t>(std::nearbyint(kAmigaBase * std::exp2(exponent)));
    }
    return table;
}

const AmigaTable& AmigaPeriods() {
    static const AmigaTable table = BuildAmigaTable();
    return table;
}

}  // namespace

std::int32_t AmigaPeriod(std::int32_t note, std::int32_t finetune) {
    const AmigaTable& p = AmigaPeriods();
    if (note < 0) note = 0;
    if (note > kAmigaNoteLimit) note = kAmigaNoteLimit;
    const auto k = static_cast<std::size_t>(note);  // clamped to the table above
    if (finetune < 0 && k > 0) return p[k] + (-finetune * (p[k - 1] - p[k])) / 128;
    return p[k] - (finetune * (p[k] - p[k + 1])) / 128;
}

std::int32_t NotePeriod(const Song* song, std::int32_t note, std::int32_t finetune) {
    if (song->flags & kFlagLinearFrequencies) return 7680 - 64 * note - finetune / 2;
    return AmigaPeriod(note, finetune);
}

std::int32_t PeriodFrequency(const Song* song, std::int32_t period, std::int32_t periodDelta) {
    double frequency;
    if (song->flags & kFlagLinearFrequencies) {
        // deliberate:
        // the delta counts against the period here, while the Amiga table below adds it to the
        // period. Arpeggio works out its delta per table and rises in both; vibrato and
        // auto-vibrato give both tables the same delta, so their waves start in opposite
        // directions.
        double steps = static_cast<double>(kLinearMiddlePeriod - period + periodDelta);
        frequency = kMiddleFrequency * std::exp2(steps * static_cast<double>(kLinearStep));
    } else {
        // The quotient truncates before it becomes a frequency, as every division here does.
        const std::int32_t quotient = kAmigaClock / (period + periodDelta);
        frequency = static_cast<double>(quotient);
    }
    // deliberate:
    // a period driven far past the note range gives at most the Amiga clock's frequency, so
    // the conversion cannot overflow.
    if (!(frequency < kMaxFrequency)) return kMaxFrequency;
    return static_cast<std::int32_t>(std::nearbyint(frequency));
}

void TriggerInstrument(Channel* channel, const Sample* sample) {
    // deliberate:
    // volumes above 64 (a sample header or Cxx) are clamped where they enter; only 0..64 is
    // meaningful and larger values would overdrive the voice gains past 255.
    channel->volume = sample->volume <= 64 ? sample->volume : 64;
    channel->panning = sample->panning;
    channel->volEnvOutput = 64;
    channel->volEnvPoint = 0;
    channel->volEnvTick = 0;
    channel->volEnvSlope = 0;
    channel->volEnvDone = 0;
    channel->panEnvOutput = 32;
    channel->panEnvPoint = 0;
    channel->panEnvTick = 0;
    channel->panEnvSlope = 0;
    channel->panEnvDone = 0;
    channel->keyOff = 0;
    channel->fadeoutVolume = 65536;
    channel->autoVibratoPhase = 0;
    channel->autoVibratoSweepTicks = 0;
    channel->tremorCounter = 0;
    if ((channel->waveforms & 0x0F) < 4) channel->vibratoPosition = 0;
    if ((channel->waveforms >> 4) < 4) channel->tremoloPosition = 0;
    channel->requests |= kRequestVolume | kRequestPanning;
}
