// Streams that keep more than a 64-byte-block state (the 64-bit SHA-2 family, SHA-3, BLAKE2,
// BLAKE3, the further CRCs) supply their own start, feed and finish over a state record of
// their own, one form per instruction set they can use. An algorithm lists its forms best
// first; the last is the portable form, which needs nothing, and a stream takes the first form
// whose features the processor offers and may use (cpu/processor.h).
#pragma once

#include <cstddef>

// Bytes of state any such stream may keep, and their alignment: BLAKE3's stack of chaining
// values is the largest.
inline constexpr std::size_t kStreamStateBytes = 2048;
inline constexpr std::size_t kStreamStateAlignment = 64;

struct StreamForm {
    unsigned features;  // ProcessorFeature bits this form needs; 0 for the portable form
    void (*start)(void* state);
    void (*feed)(void* state, const unsigned char* bytes, std::size_t count);
    // Writes the digest's text and its NUL; the state must be started again before reuse.
    void (*finish)(void* state, char* text);
};
