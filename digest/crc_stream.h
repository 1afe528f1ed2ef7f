// A CRC as a StreamForm: the register and the byte count, advanced by one register update.
// The further CRCs of the command-line tool (CRC-32C, cksum) are built on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crc_functions.h"
#include "stream_forms.h"

namespace digest_internal {

struct CrcStreamState {
    std::uint32_t crc;
    std::uint64_t length;  // bytes fed so far
};
static_assert(sizeof(CrcStreamState) <= kStreamStateBytes &&
              alignof(CrcStreamState) <= kStreamStateAlignment);

template <const CrcAlgorithm& kAlgorithm>
void StartCrcStream(void* opaque) {
    auto* state = static_cast<CrcStreamState*>(opaque);
    state->crc = kAlgorithm.initial;
    state->length = 0;
}

template <CrcUpdate* kUpdate>
void FeedCrcStream(void* opaque, const unsigned char* bytes, std::size_t count) {
    if (count == 0) return;  // an empty range may come with a null pointer
    auto* state = static_cast<CrcStreamState*>(opaque);
    state->crc = kUpdate(state->crc, bytes, count);
    state->length += count;
}

}  // namespace digest_internal
