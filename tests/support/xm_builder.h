// Test helper: small XM module images stated field by field, so that loader and player tests
// can say exactly what a file holds. Written by the XM file writer the composer uses.
#pragma once

#include "xm_file.h"

namespace xmtest {

using namespace xmfile;

// A small module that sounds: one 4-channel pattern with notes on instrument 1, whose one
// sample is a forward-looped 8-bit saw.
inline XmModule SmallSongModule() {
    XmModule module;
    module.channels = 4;
    module.songLength = 2;
    module.order[0] = 0;
    module.order[1] = 0;
    XmPattern pattern;
    pattern.rows = 4;
    PutRawCell(pattern.packed, 49, 1, 0x40, 0, 0);
    PutEmptyCells(pattern.packed, 3);
    PutEmptyCells(pattern.packed, 4);
    Put8(pattern.packed, 0x83);
    Put8(pattern.packed, 61);
    Put8(pattern.packed, 1);
    PutEmptyCells(pattern.packed, 3);
    Put8(pattern.packed, 0x81);
    Put8(pattern.packed, 97);
    PutEmptyCells(pattern.packed, 3);
    module.patterns.push_back(pattern);
    XmInstrument instrument;
    instrument.volume.count = 2;
    instrument.volume.points[1][0] = 10;
    instrument.volume.points[0][1] = 64;
    instrument.volume.type = 1;
    instrument.fadeout = 100;
    XmSample sample;
    std::vector<std::int8_t> saw;
    saw.reserve(32);
    for (int i = 0; i < 32; ++i) saw.push_back(static_cast<std::int8_t>(i * 8 - 128));
    sample.data = DeltaCode8(saw);
    sample.length = 32;
    sample.loopStart = 8;
    sample.loopLength = 24;
    sample.type = 1;
    instrument.samples.push_back(sample);
    module.instruments.push_back(instrument);
    return module;
}

}  // namespace xmtest
