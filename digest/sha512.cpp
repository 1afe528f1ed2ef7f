// SHA-512 and its truncated relatives SHA-384 and SHA-512/256 as streams: the compression
// function, its steps unrolled by the compiler from one step template, compiled portably and
// with BMI2, and the lists of forms, which lead with those of sha512_x86.cpp.
#include <utility>

#include "file_digests.h"
#include "processor.h"
#include "sha2_stream.h"
#include "sha512_rounds.h"

namespace {

using namespace digest_internal;

// Schedule word W[16 * group + step], kept in a rolling window of the last sixteen words: the
// block's own words in group 0, then each new word expanded from those before it.
template <int kStep, bool kExpand>
HASHCALC_ALWAYS_INLINE std::uint64_t Schedule(std::uint64_t* w) {
    if constexpr (kExpand) {
        w[kStep] += SHA512SmallSigma1(w[(kStep - 2) & 15]) + w[(kStep - 7) & 15] +
                    SHA512SmallSigma0(w[(kStep - 15) & 15]);
    }
    return w[kStep];
}

// Sixteen steps of group `group`: the roles come round every eight steps and the schedule's
// window every sixteen, so these sixteen written out serve every group.
template <bool kExpand, int... kSteps>
HASHCALC_ALWAYS_INLINE void SixteenSteps(std::uint64_t* v, std::uint64_t* w,
                                         std::uint64_t& carriedXor, int group,
                                         std::integer_sequence<int, kSteps...>) {
    const std::uint64_t* constants = kSHA512RoundConstants + 16 * static_cast<std::size_t>(group);
    (SHA512Step<kSteps>(v, Schedule<kSteps, kExpand>(w) + constants[kSteps], carriedXor), ...);
}

HASHCALC_ALWAYS_INLINE void CompressBlocks(std::uint64_t* chain, const unsigned char* blocks,
                                           std::size_t blockCount) {
    for (std::size_t i = 0; i < blockCount; ++i) {
        std::uint64_t w[16];
        for (std::size_t t = 0; t < 16; ++t) w[t] = LoadBE64(blocks + 128 * i + 8 * t);
        std::uint64_t v[8];
        for (int k = 0; k < 8; ++k) v[k] = chain[k];
        std::uint64_t carriedXor = v[1] ^ v[2];
        SixteenSteps<false>(v, w, carriedXor, 0, std::make_integer_sequence<int, 16>());
        for (int group = 1; group < kSHA512StepCount / 16; ++group) {
            SixteenSteps<true>(v, w, carriedXor, group, std::make_integer_sequence<int, 16>());
        }
        for (int k = 0; k < 8; ++k) chain[k] += v[k];
    }
}

#if HASHCALC_DIGEST_X86
// The same compression compiled with BMI2, whose rorx rotates into a new register and spares
// the copy every rotation of a word still needed costs otherwise.
__attribute__((target("bmi2"))) void SHA512BlocksWithRorx(std::uint64_t* chain,
                                                          const unsigned char* blocks,
                                                          std::size_t blockCount) {
    CompressBlocks(chain, blocks, blockCount);
}
#endif

template <std::uint64_t const* kInitialWords, int kDigestBytes>
constexpr StreamForm Portable() {
    return Sha2Form<std::uint64_t, kInitialWords, SHA512Blocks, kDigestBytes>(0);
}

#if HASHCALC_DIGEST_X86
template <std::uint64_t const* kInitialWords, int kDigestBytes>
constexpr StreamForm WithRorx() {
    return Sha2Form<std::uint64_t, kInitialWords, SHA512BlocksWithRorx, kDigestBytes>(kFeatureBMI2);
}
#endif

#if HASHCALC_SHA512_VECTOR_SCHEDULE
template <std::uint64_t const* kInitialWords, int kDigestBytes>
constexpr StreamForm WithAVX2() {
    return Sha2Form<std::uint64_t, kInitialWords, SHA512BlocksWithAVX2, kDigestBytes>(
        kFeatureAVX2 | kFeatureBMI1 | kFeatureBMI2);
}
#endif

}  // namespace

namespace digest_internal {

void SHA512Blocks(std::uint64_t* chain, const unsigned char* blocks, std::size_t blockCount) {
    CompressBlocks(chain, blocks, blockCount);
}

}  // namespace digest_internal

const StreamForm kSHA384Forms[] = {
#if HASHCALC_DIGEST_X86
#if HASHCALC_SHA512_VECTOR_SCHEDULE
    WithAVX2<kSHA384InitialWords, 48>(),
#endif
    WithRorx<kSHA384InitialWords, 48>(),
#endif
    Portable<kSHA384InitialWords, 48>(),
};

const StreamForm kSHA512Forms[] = {
#if HASHCALC_DIGEST_X86
#if HASHCALC_SHA512_VECTOR_SCHEDULE
    WithAVX2<kSHA512InitialWords, 64>(),
#endif
    WithRorx<kSHA512InitialWords, 64>(),
#endif
    Portable<kSHA512InitialWords, 64>(),
};

const StreamForm kSHA512_256Forms[] = {
#if HASHCALC_DIGEST_X86
#if HASHCALC_SHA512_VECTOR_SCHEDULE
    WithAVX2<kSHA512_256InitialWords, 32>(),
#endif
    WithRorx<kSHA512_256InitialWords, 32>(),
#endif
    Portable<kSHA512_256InitialWords, 32>(),
};
