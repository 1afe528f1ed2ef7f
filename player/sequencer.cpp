// The sequencer: the row and tick clock, note and sample selection, periods and frequencies.
#include "sequencer.h"

#include "song.h"

void SequencerTick(Song*) {}
