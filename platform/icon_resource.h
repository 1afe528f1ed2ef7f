// In-memory icons for the Linux user32 layer: the program's icon images, embedded at build
// time from resources/icons; LoadIconA looks icons up here by resource id.
#pragma once

#include "win32.h"

struct IconImage {
    WORD resourceId;
    // A PNG file as the build embeds it: its byte count (32-bit little-endian), then its bytes.
    const unsigned char* png;
};

// Every image of every icon; one icon may have several (one per size).
extern const IconImage IconImages[];
extern const int IconImageCount;
