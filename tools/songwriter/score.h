// The song: its patterns, order table and header figures, composed in code.
#pragma once

#include "xm_writer.h"

// Figures of the module.
constexpr int kSongChannels = 10;
constexpr int kSongPatterns = 15;
constexpr int kSongLength = 19;
constexpr int kSongRestart = 3;
constexpr int kSongSpeed = 6;
constexpr int kSongBpm = 130;

// Patterns, orders and figures; the instruments come from BuildInstruments.
XmModule ComposeSong();
