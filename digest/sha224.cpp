// SHA-224 as a stream: SHA-256's compression functions (portable and on the SHA instructions)
// from SHA-224's own initial value, the digest cut to its first seven words.
#include "block_functions.h"
#include "file_digests.h"
#include "processor.h"
#include "sha2_stream.h"
#include "sha512_rounds.h"

namespace {

using namespace digest_internal;

constexpr std::uint32_t LowHalf(std::uint64_t value) {
    return static_cast<std::uint32_t>(value);
}

// The second 32 bits of the fractional parts of the square roots of the ninth to sixteenth
// primes: the low halves of SHA-384's initial value.
constexpr std::uint32_t kSHA224InitialWords[8] = {
    LowHalf(kSHA384InitialWords[0]), LowHalf(kSHA384InitialWords[1]),
    LowHalf(kSHA384InitialWords[2]), LowHalf(kSHA384InitialWords[3]),
    LowHalf(kSHA384InitialWords[4]), LowHalf(kSHA384InitialWords[5]),
    LowHalf(kSHA384InitialWords[6]), LowHalf(kSHA384InitialWords[7]),
};
static_assert(kSHA224InitialWords[0] == 0xc1059ed8 && kSHA224InitialWords[7] == 0xbefa4fa4);

constexpr int kSHA224DigestBytes = 28;

}  // namespace

const StreamForm kSHA224Forms[] = {
#if HASHCALC_DIGEST_X86
    Sha2Form<std::uint32_t, kSHA224InitialWords, SHA256BlocksOnShaInstructions, kSHA224DigestBytes>(
        kFeatureSHA | kFeatureSSE41 | kFeatureSSSE3),
#endif
    Sha2Form<std::uint32_t, kSHA224InitialWords, SHA256Blocks, kSHA224DigestBytes>(0),
};
