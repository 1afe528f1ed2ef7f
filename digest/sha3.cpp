// SHA3-224, SHA3-256, SHA3-384 and SHA3-512 as streams: the Keccak-f[1600] permutation over
// 25 lanes of 64 bits, the sponge that absorbs a rate's worth of message per permutation, and
// SHA-3's padding. The lane at column x, row y is lanes[x + 5 * y]; message bytes enter the
// lanes least significant byte first. Two forms: portable, and the same code compiled with
// BMI1's and-not.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "digest_internal.h"
#include "file_digests.h"
#include "processor.h"

namespace {

using digest_internal::FormatWords;
using digest_internal::LoadBE32;
using digest_internal::LoadLE32;
using digest_internal::StoreLE32;

constexpr int kLaneCount = 25;
constexpr int kRounds = 24;
constexpr int kLargestRateBytes = 144;  // SHA3-224's

constexpr int LaneIndex(int x, int y) {
    return x % 5 + 5 * (y % 5);
}

// Rho's rotation of each lane: walking (x, y) from (1, 0) by (y, 2x + 3y), the t-th lane met
// rotates by (t + 1)(t + 2) / 2 bits.
constexpr std::array<int, kLaneCount> MakeRhoOffsets() {
    std::array<int, kLaneCount> offsets{};
    int x = 1;
    int y = 0;
    for (int t = 0; t < 24; ++t) {
        offsets[static_cast<std::size_t>(LaneIndex(x, y))] = (t + 1) * (t + 2) / 2 % 64;
        const int nextY = (2 * x + 3 * y) % 5;
        x = y;
        y = nextY;
    }
    return offsets;
}

// Iota's constants: bit 2^j - 1 of round i's constant is bit j + 7i of the output of the
// linear feedback register x^8 + x^6 + x^5 + x^4 + 1.
constexpr bool RoundConstantBit(int t) {
    unsigned reg = 1;
    for (int i = 0; i < t % 255; ++i) {
        reg <<= 1;
        if ((reg & 0x100) != 0) reg ^= 0x171;
    }
    return (reg & 1) != 0;
}

constexpr std::array<std::uint64_t, kRounds> MakeRoundConstants() {
    std::array<std::uint64_t, kRounds> constants{};
    for (int round = 0; round < kRounds; ++round) {
        for (int j = 0; j < 7; ++j) {
            if (RoundConstantBit(j + 7 * round)) {
                constants[static_cast<std::size_t>(round)] |= std::uint64_t{1} << ((1 << j) - 1);
            }
        }
    }
    return constants;
}

constexpr std::array<int, kLaneCount> kRhoOffsets = MakeRhoOffsets();
constexpr std::array<std::uint64_t, kRounds> kRoundConstants = MakeRoundConstants();

// Spot checks against the published tables, so a slip in the generators fails the build.
static_assert(kRhoOffsets[LaneIndex(1, 0)] == 1 && kRhoOffsets[LaneIndex(4, 4)] == 14 &&
              kRhoOffsets[LaneIndex(0, 0)] == 0 && kRhoOffsets[LaneIndex(3, 2)] == 25);
static_assert(kRoundConstants[0] == 0x0000000000000001 &&
              kRoundConstants[1] == 0x0000000000008082 &&
              kRoundConstants[23] == 0x8000000080008008);

// Each loop of a round runs five times and must vanish into straight-line code, so that every
// lane index and rotation is a constant.
#if defined(__GNUC__)
#define HASHCALC_UNROLL_5 _Pragma("GCC unroll 5")
#else
#define HASHCALC_UNROLL_5
#endif

// One round from lanes `a` into lanes `e`. Theta's column parities come first; then each row of
// the result is built at once from the five lanes rho and pi bring to it (lane (x, y) moves to
// (y, 2x + 3y), so row y, column x comes from (x + 3y, x)), which chi mixes in place. Every
// index is a constant, and only a row's five lanes are live between the steps.
HASHCALC_ALWAYS_INLINE void Round(const std::uint64_t* a, std::uint64_t* e,
                                  std::uint64_t roundConstant) {
    std::uint64_t parity[5];
    HASHCALC_UNROLL_5
    for (int x = 0; x < 5; ++x) {
        parity[x] = a[LaneIndex(x, 0)] ^ a[LaneIndex(x, 1)] ^ a[LaneIndex(x, 2)] ^
                    a[LaneIndex(x, 3)] ^ a[LaneIndex(x, 4)];
    }
    std::uint64_t d[5];
    HASHCALC_UNROLL_5
    for (int x = 0; x < 5; ++x) d[x] = parity[(x + 4) % 5] ^ std::rotl(parity[(x + 1) % 5], 1);
    HASHCALC_UNROLL_5
    for (int y = 0; y < 5; ++y) {
        std::uint64_t row[5];
        HASHCALC_UNROLL_5
        for (int x = 0; x < 5; ++x) {
            const auto from = static_cast<std::size_t>(LaneIndex(x + 3 * y, x));
            row[x] = std::rotl(a[from] ^ d[(x + 3 * y) % 5], kRhoOffsets[from]);
        }
        HASHCALC_UNROLL_5
        for (int x = 0; x < 5; ++x) {
            e[LaneIndex(x, y)] = row[x] ^ (~row[(x + 1) % 5] & row[(x + 2) % 5]);
        }
    }
    e[0] ^= roundConstant;
}

// The rounds alternate between the state's lanes and a second set.
HASHCALC_ALWAYS_INLINE void Rounds(std::uint64_t* lanes) {
    std::uint64_t other[kLaneCount];
    for (std::size_t round = 0; round < kRoundConstants.size(); round += 2) {
        Round(lanes, other, kRoundConstants[round]);
        Round(other, lanes, kRoundConstants[round + 1]);
    }
}

using Permutation = void(std::uint64_t* lanes);

void KeccakF1600(std::uint64_t* lanes) {
    Rounds(lanes);
}

#if HASHCALC_DIGEST_X86
// The same rounds with BMI1's and-not, one instruction for chi's ~b & c.
__attribute__((target("bmi"))) void KeccakF1600WithAndNot(std::uint64_t* lanes) {
    Rounds(lanes);
}
#endif

inline std::uint64_t LoadLE64(const unsigned char* bytes) {
    return LoadLE32(bytes) | (std::uint64_t{LoadLE32(bytes + 4)} << 32);
}

// The sponge's state between feeds. Only whole blocks reach the lanes; a partial one waits in
// `pending`.
struct Sha3State {
    std::uint64_t lanes[kLaneCount];
    std::size_t pendingCount;
    unsigned char pending[kLargestRateBytes];
};
static_assert(sizeof(Sha3State) <= kStreamStateBytes &&
              alignof(Sha3State) <= kStreamStateAlignment);

template <int kRateBytes, Permutation* kPermute>
void AbsorbBlocks(std::uint64_t* lanes, const unsigned char* bytes, std::size_t blockCount) {
    for (std::size_t block = 0; block < blockCount; ++block) {
        for (std::size_t i = 0; i < kRateBytes / 8; ++i) lanes[i] ^= LoadLE64(bytes + 8 * i);
        kPermute(lanes);
        bytes += kRateBytes;
    }
}

void StartSha3(void* opaque) {
    auto* state = static_cast<Sha3State*>(opaque);
    std::memset(state->lanes, 0, sizeof state->lanes);
    state->pendingCount = 0;
}

template <int kRateBytes, Permutation* kPermute>
void FeedSha3(void* opaque, const unsigned char* bytes, std::size_t count) {
    if (count == 0) return;  // an empty range may come with a null pointer
    auto* state = static_cast<Sha3State*>(opaque);
    if (state->pendingCount != 0) {
        const std::size_t take = std::min<std::size_t>(count, kRateBytes - state->pendingCount);
        std::memcpy(state->pending + state->pendingCount, bytes, take);
        state->pendingCount += take;
        bytes += take;
        count -= take;
        if (state->pendingCount < kRateBytes) return;
        AbsorbBlocks<kRateBytes, kPermute>(state->lanes, state->pending, 1);
        state->pendingCount = 0;
    }
    const std::size_t wholeBlocks = count / kRateBytes;
    AbsorbBlocks<kRateBytes, kPermute>(state->lanes, bytes, wholeBlocks);
    const std::size_t rest = count - wholeBlocks * kRateBytes;
    std::memcpy(state->pending, bytes + wholeBlocks * kRateBytes, rest);
    state->pendingCount = rest;
}

// SHA-3 appends the domain bits 01 and the padding 10*1: byte 0x06 after the message, 0x80 in
// the block's last byte (0x86 when they meet). The digest is the first bytes of the lanes,
// which one permutation's rate always covers.
template <int kDigestBits, Permutation* kPermute>
void FinishSha3(void* opaque, char* text) {
    constexpr int kRateBytes = 200 - 2 * kDigestBits / 8;
    constexpr std::size_t kDigestBytes = kDigestBits / 8;
    auto* state = static_cast<Sha3State*>(opaque);
    unsigned char* block = state->pending;
    std::memset(block + state->pendingCount, 0, kRateBytes - state->pendingCount);
    block[state->pendingCount] ^= 0x06;
    block[kRateBytes - 1] ^= 0x80;
    AbsorbBlocks<kRateBytes, kPermute>(state->lanes, block, 1);

    unsigned char digest[kDigestBytes];
    for (std::size_t i = 0; i < (kDigestBytes + 7) / 8; ++i) {
        StoreLE32(digest + 8 * i, static_cast<std::uint32_t>(state->lanes[i]));
        if (8 * i + 4 < kDigestBytes) {
            StoreLE32(digest + 8 * i + 4, static_cast<std::uint32_t>(state->lanes[i] >> 32));
        }
    }
    std::uint32_t words[kDigestBytes / 4];
    for (std::size_t i = 0; i < kDigestBytes / 4; ++i) words[i] = LoadBE32(digest + 4 * i);
    FormatWords(text, words, kDigestBytes / 4);
}

template <int kDigestBits, Permutation* kPermute>
constexpr StreamForm Sha3Form(unsigned features) {
    constexpr int kRateBytes = 200 - 2 * kDigestBits / 8;
    static_assert(kRateBytes <= kLargestRateBytes);
    return {features, StartSha3, FeedSha3<kRateBytes, kPermute>, FinishSha3<kDigestBits, kPermute>};
}

}  // namespace

const StreamForm kSHA3_224Forms[] = {
#if HASHCALC_DIGEST_X86
    Sha3Form<224, KeccakF1600WithAndNot>(kFeatureBMI1),
#endif
    Sha3Form<224, KeccakF1600>(0),
};
const StreamForm kSHA3_256Forms[] = {
#if HASHCALC_DIGEST_X86
    Sha3Form<256, KeccakF1600WithAndNot>(kFeatureBMI1),
#endif
    Sha3Form<256, KeccakF1600>(0),
};
const StreamForm kSHA3_384Forms[] = {
#if HASHCALC_DIGEST_X86
    Sha3Form<384, KeccakF1600WithAndNot>(kFeatureBMI1),
#endif
    Sha3Form<384, KeccakF1600>(0),
};
const StreamForm kSHA3_512Forms[] = {
#if HASHCALC_DIGEST_X86
    Sha3Form<512, KeccakF1600WithAndNot>(kFeatureBMI1),
#endif
    Sha3Form<512, KeccakF1600>(0),
};
