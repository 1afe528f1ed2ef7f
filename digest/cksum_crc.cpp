// The CRC of POSIX cksum as a stream. Its register update is CRC32b's (the same polynomial,
// most significant bit first), portable or folding; only the start, the length appended at
// the finish and the decimal text are its own.
#include "crc_stream.h"
#include "file_digests.h"
#include "processor.h"

namespace {

using namespace digest_internal;

// The table's slots for the updates are unused: each form names its own.
const CrcAlgorithm kCksumAlgorithm = {0, 0xFFFFFFFF, "%u", UpdateCrc32bPortable, nullptr, 0};

// The message's length follows it, least significant byte first, in as few bytes as hold it.
template <CrcUpdate* kUpdate>
void FinishCksum(void* opaque, char* text) {
    const auto* state = static_cast<const CrcStreamState*>(opaque);
    unsigned char lengthBytes[8];
    std::size_t lengthCount = 0;
    for (std::uint64_t rest = state->length; rest != 0; rest >>= 8) {
        lengthBytes[lengthCount++] = static_cast<unsigned char>(rest);
    }
    FormatCrc(kCksumAlgorithm, kUpdate(state->crc, lengthBytes, lengthCount), text);
}

template <CrcUpdate* kUpdate>
constexpr StreamForm CksumForm(unsigned features) {
    return {features, StartCrcStream<kCksumAlgorithm>, FeedCrcStream<kUpdate>,
            FinishCksum<kUpdate>};
}

}  // namespace

const StreamForm kCksumForms[] = {
#if HASHCALC_DIGEST_X86
    // The folding update's needs, as ProcessorHasCarrylessMultiply() checks them.
    CksumForm<UpdateCrc32bFolding>(kFeatureCLMUL | kFeatureSSE41 | kFeatureSSSE3),
#endif
    CksumForm<UpdateCrc32bPortable>(0),
};
