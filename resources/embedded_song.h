// The module the program plays: a 32-bit little-endian byte count followed by an XM file.
#pragma once

extern const unsigned char EmbeddedSong[];
