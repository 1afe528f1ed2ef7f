// The sequencer: per-channel state and the tick routine that turns the song into voice
// settings, once per tick, from the block filler.
#pragma once

#include <cstdint>

#include "channel.h"
#include "notes.h"
#include "song.h"

// What LookupSample finds for a channel: never null.
struct SampleLookup {
    const Instrument* instrument;
    const Sample* sample;
};

// Runs one tick of the song; the song's tickCallback.
void SequencerTick(Song* song);

// The order position and row whose cells the current row's ticks act on.
RowPosition PlayingRow();

// Resets the song's position, tick clock (with SequencerTick as its callback), tempo and global
// volume, zeroes its channels and links channel i to voice i. The output parameters must be
// set first.
void ResetPlayback(Song* song);

// The first tick of a row: reads the row's cells and acts on them, channel by channel.
void ProcessRow(Song* song);
// Every later tick of a row: envelopes, volume column and effects of the row's cells.
void ProcessTick(Song* song);

// The channel's instrument and the sample its last note selects.
SampleLookup LookupSample(const Song* song, const Channel* channel);
// Writes what the channel's requests ask for into its voice.
void ApplyChannelToVoice(Channel* channel, const Sample* sample, const Song* song);
