// The instrument set of the song: numbers as the score uses them, and their synthesis.
#pragma once

#include <cstdint>
#include <vector>

#include "xm_writer.h"

enum InstrumentNumber : std::uint8_t {
    kKick = 1,
    kSnare = 2,
    kClosedHat = 3,
    kOpenHat = 4,
    kClap = 5,
    kCrash = 6,
    kTom = 7,
    kSilent = 8,  // carries no sample: a note with it stops the channel's sound
    kBass = 9,
    kLead = 10,
    kArp = 11,
    kPad = 12,
    kPluck = 13,
    kBell = 14,
    kFlute = 15,
    kSweep = 16,
    kSawLead = 17,
    kChoir = 18,
    kShaker = 19,
    kRim = 20,
    kSubBass = 21,
    kOrgan = 22,
};
constexpr int kInstrumentCount = 22;

// All instruments in number order (element 0 is instrument 1).
std::vector<XmInstrument> BuildInstruments();

// Percussion is synthesized separately; each returns one finished instrument.
XmInstrument MakeKick();
XmInstrument MakeSnare();
XmInstrument MakeClosedHat();
XmInstrument MakeOpenHat();
XmInstrument MakeClap();
XmInstrument MakeCrash();
XmInstrument MakeTom();
XmInstrument MakeShaker();
XmInstrument MakeRim();
