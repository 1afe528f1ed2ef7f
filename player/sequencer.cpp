// The sequencer: the row and tick clock, note and sample selection, and the hand-over of
// channel state to the mixer's voices.
#include "sequencer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "effects.h"
#include "mixer.h"
#include "player_state.h"
#include "song.h"
#include "tick_clock.h"

namespace {

// A note that is neither a valid note (1..96) nor key-off counts as no note, so that lastNote
// always indexes the 96-entry sample map.
std::uint8_t EffectiveNote(std::uint8_t note) {
    if (note == kNoteKeyOff || note <= kSampleMapSize) return note;
    return 0;
}

const Pattern* CurrentPattern(const Song* song) {
    if (song->patterns == nullptr) return nullptr;
    std::int32_t position = song->orderPosition;
    if (position < 0 || position >= kOrderTableSize) return nullptr;
    std::int32_t number = song->orderTable[position];
    if (number >= song->patternSlotCount) return nullptr;
    return &song->patterns[number];
}

std::int32_t CurrentRowCount(const Song* song) {
    const Pattern* pattern = CurrentPattern(song);
    return pattern != nullptr ? pattern->rowCount : 0;
}

std::int32_t ChannelCount(const Song* song) {
    std::int32_t count = song->channelCount;
    if (count < 0) return 0;
    return count < kMaxChannels ? count : kMaxChannels;
}

// The order position after the last one: the restart position, or 0 when that lies outside
// the song.
std::int32_t NextOrderPosition(const Song* song, std::int32_t position) {
    std::int32_t next = position + 1;
    std::int32_t length = song->songLength < kOrderTableSize ? song->songLength : kOrderTableSize;
    if (next < length) return next;
    std::int32_t restart = song->restartPosition;
    return (restart >= 0 && restart < length) ? restart : 0;
}

}  // namespace

RowPosition PlayingRow() {
    return Player.playingRow;
}

SampleLookup LookupSample(const Song* song, const Channel* channel) {
    if (channel->instrumentIndex >= song->instrumentCount || song->instruments == nullptr) {
        return {&EmptyInstrument, &EmptySample};
    }
    const Instrument* instrument = &song->instruments[channel->instrumentIndex];
    const Sample* sample = &EmptySample;
    if (channel->lastNote < kSampleMapSize) {
        std::uint8_t slot = instrument->sampleMap[channel->lastNote];
        if (slot < kSamplesPerInstrument && instrument->samples[slot] != nullptr) {
            sample = instrument->samples[slot];
        }
    }
    return {instrument, sample};
}

void ApplyChannelToVoice(Channel* channel, const Sample* sample, const Song* song) {
    if (channel->voice == nullptr) return;
    std::uint8_t requests = channel->requests;
    if (channel->period + channel->periodDelta == 0)
        requests &= static_cast<std::uint8_t>(~kRequestPitch);

    if (requests & kRequestNoteStart) StartVoiceNote(Player.mixer, &channel->voice, sample);
    MixVoice* voice = channel->voice;

    if (requests & kRequestVolume) {
        // Volume 0..64, envelope 0..64, fade-out 0..65536 and global volume 0..64 scaled to
        // 0..255 and divided by 2^35: exact in a double, so rounding ties to even works.
        double product = static_cast<double>(channel->volume + channel->volumeDelta) *
                         channel->volEnvOutput * channel->fadeoutVolume * song->globalVolume *
                         255.0;
        std::int32_t level = static_cast<std::int32_t>(std::nearbyint(std::ldexp(product, -35)));
        SetVoiceVolume(voice, level);
    }

    if (requests & kRequestPanning) {
        std::int32_t distance = std::abs(channel->panning - 128);
        std::int32_t panning =
            channel->panning + (channel->panEnvOutput - 32) * ((128 - distance) / 32);
        if (panning < 0) panning = 0;
        if (panning > 255) panning = 255;
        SetVoicePanning(voice, panning);
    }

    if (requests & kRequestPitch) {
        SetVoicePitch(Player.mixer, voice,
                      PeriodFrequency(song, channel->period, channel->periodDelta));
    }

    if (requests & kRequestPositionReset) ResetVoicePosition(voice);
}

void ProcessRow(Song* song) {
    song->pendingOrder = -1;
    song->pendingRow = -1;
    RowState rowState{false};
    Player.playingRow = {song->orderPosition, song->row};

    const Pattern* pattern = CurrentPattern(song);
    std::int32_t channelCount = ChannelCount(song);
    bool hasCells = pattern != nullptr && pattern->cells != nullptr && song->row >= 0 &&
                    song->row < pattern->rowCount;
    if (!hasCells || channelCount <= 0) {
        // Nothing to read: the later ticks of this row act on empty cells.
        for (std::int32_t c = 0; c < channelCount; ++c) Player.channels[c].rowCell = Cell{};
        return;
    }

    const Cell* cells = pattern->cells + static_cast<std::int64_t>(song->row) * song->channelCount;
    for (std::int32_t c = 0; c < channelCount; ++c) {
        Channel* channel = &Player.channels[c];
        Cell cell = cells[c];
        cell.note = EffectiveNote(cell.note);
        channel->rowCell = cell;
        bool hasNote = cell.note != 0 && cell.note != kNoteKeyOff;

        bool tonePortamentoRow =
            cell.effect == kEffectTonePorta || cell.effect == kEffectTonePortaVolumeSlide;
        if (cell.instrument != 0 && !tonePortamentoRow)
            channel->instrumentIndex = cell.instrument - 1;
        if (hasNote && !tonePortamentoRow) channel->lastNote = cell.note - 1;
        SampleLookup found = LookupSample(song, channel);

        channel->rowStartVolume = channel->volume;
        channel->rowStartPeriod = channel->period;
        channel->rowStartPanning = channel->panning;

        // The last tremolo offset stays in the volume once the tremolo ends.
        if (channel->previousEffect == kEffectTremolo && cell.effect != kEffectTremolo) {
            channel->volume += channel->volumeDelta;
        }
        channel->previousEffect = cell.effect;
        channel->volumeDelta = 0;
        channel->requests = 0;

        if (hasNote) {
            channel->realNote =
                static_cast<std::uint8_t>(cell.note + found.sample->relativeNote - 1);
            channel->notePeriod = NotePeriod(song, channel->realNote, found.sample->finetune);
            if (!tonePortamentoRow) channel->period = channel->notePeriod;
            channel->requests = kRequestNoteStart;
        }
        channel->periodDelta = 0;
        channel->requests |= kRequestPitch | kRequestVolume;

        if (cell.instrument != 0) TriggerInstrument(channel, found.sample);
        if (cell.volumeCommand != 0) VolumeColumnRow(channel, cell.volumeCommand);
        if (cell.note == kNoteKeyOff || cell.effect == kEffectKeyOff) channel->keyOff = 1;
        StepEnvelopes(channel, found.instrument, true);
        RowEffect(channel, cell, found.instrument, found.sample, song, &rowState);
        StepAutoVibrato(channel, found.instrument);
        ApplyChannelToVoice(channel, found.sample, song);
    }
}

void ProcessTick(Song* song) {
    std::int32_t channelCount = ChannelCount(song);
    for (std::int32_t c = 0; c < channelCount; ++c) {
        Channel* channel = &Player.channels[c];
        SampleLookup found = LookupSample(song, channel);
        channel->volumeDelta = 0;
        channel->periodDelta = 0;
        channel->requests = 0;
        StepEnvelopes(channel, found.instrument, false);
        if (channel->rowCell.volumeCommand != 0) {
            VolumeColumnTick(channel, channel->rowCell.volumeCommand);
        }
        TickEffect(channel, channel->rowCell, found.sample, song);
        StepAutoVibrato(channel, found.instrument);
        ApplyChannelToVoice(channel, found.sample, song);
    }
}

void SequencerTick(Song* song) {
    if (song->tick == 0) {
        if (song->pendingOrder >= 0) song->orderPosition = song->pendingOrder;
        if (song->pendingRow >= 0) song->row = song->pendingRow;
        // deliberate:
        // a break or jump to a row the landing pattern does not have plays its row 0, and an
        // order position outside the song plays position 0.
        if (song->orderPosition < 0 || song->orderPosition >= kOrderTableSize)
            song->orderPosition = 0;
        if (song->row < 0 || song->row >= CurrentRowCount(song)) song->row = 0;

        ProcessRow(song);

        if (song->pendingRow == -1) {
            song->pendingRow = song->row + 1;
            if (song->pendingRow >= CurrentRowCount(song)) {
                song->pendingOrder = NextOrderPosition(song, song->orderPosition);
                song->pendingRow = 0;
            }
        }
    } else {
        ProcessTick(song);
    }
    song->tick += 1;
    if (song->tick >= song->speed + song->extraTicks) {
        song->extraTicks = 0;
        song->tick = 0;
    }
}

void ResetPlayback(Song* song) {
    song->globalVolume = song->initialGlobalVolume;
    song->pendingOrder = -1;
    song->pendingRow = -1;
    song->speed = song->defaultSpeed;
    song->row = 0;
    song->orderPosition = 0;
    song->tick = 0;
    song->extraTicks = 0;
    StartTickClock(song, Player.mixer.outputRate, SequencerTick);
    std::int32_t channelCount = ChannelCount(song);
    for (std::int32_t c = 0; c < channelCount; ++c) {
        Player.channels[c] = Channel{};
        Player.channels[c].voice = &Player.mixer.voices[c];
    }
    Player.playingRow = {0, 0};
}
