// An independent walk over an XM image for the tests: it follows the file's own size fields
// (which the player's loader ignores) and collects what the loader does not keep, such as the
// sample type bytes as stored.
#pragma once

#include <cstdint>
#include <vector>

struct XmWalk {
    bool ok = false;
    int channelCount = 0;
    int patternCount = 0;
    int instrumentCount = 0;
    // For every pattern: the bytes its decoding of rows x channels cells consumed, and the
    // packed size its header declares.
    std::vector<std::uint32_t> decodedBytes;
    std::vector<std::uint32_t> declaredBytes;
    std::vector<std::uint8_t> sampleTypes;  // type byte of every sample header, in file order
    std::uint32_t bytesWalked = 0;          // offset just past the last sample's data
};

XmWalk WalkXm(const std::uint8_t* data, std::uint32_t size);
