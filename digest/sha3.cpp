// SHA3-224, SHA3-256, SHA3-384 and SHA3-512 as streams: the Keccak-f[1600] permutation over
// 25 lanes of 64 bits, the sponge that absorbs a rate's worth of message per permutation, and
// SHA-3's padding. The lane at column x, row y is lanes[x + 5 * y]; message bytes enter the
// lanes least significant byte first.
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "digest_internal.h"
#include "file_digests.h"

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
        offsets[LaneIndex(x, y)] = (t + 1) * (t + 2) / 2 % 64;
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
            if (RoundConstantBit(j + 7 * round)) constants[round] |= std::uint64_t{1} << ((1 << j) - 1);
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

// One round on lanes held in locals: theta, rho and pi, chi, iota. Every index is a constant,
// so the compiler keeps the lanes in registers.
HASHCALC_ALWAYS_INLINE void Round(std::uint64_t* a, std::uint64_t roundConstant) {
    // Theta: each lane takes the parities of the two neighbouring columns.
    std::uint64_t parity[5];
    for (int x = 0; x < 5; ++x) {
        parity[x] = a[LaneIndex(x, 0)] ^ a[LaneIndex(x, 1)] ^ a[LaneIndex(x, 2)] ^
                    a[LaneIndex(x, 3)] ^ a[LaneIndex(x, 4)];
    }
    for (int x = 0; x < 5; ++x) {
        const std::uint64_t d = parity[(x + 4) % 5] ^ std::rotl(parity[(x + 1) % 5], 1);
        for (int y = 0; y < 5; ++y) a[LaneIndex(x, y)] ^= d;
    }
    // Rho and pi: lane (x, y) rotates and moves to (y, 2x + 3y).
    std::uint64_t b[kLaneCount];
    for (int x = 0; x < 5; ++x) {
        for (int y = 0; y < 5; ++y) {
            b[LaneIndex(y, 2 * x + 3 * y)] =
                std::rotl(a[LaneIndex(x, y)], kRhoOffsets[LaneIndex(x, y)]);
        }
    }
    // Chi: each row mixes with its next two lanes.
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            a[LaneIndex(x, y)] =
                b[LaneIndex(x, y)] ^ (~b[LaneIndex(x + 1, y)] & b[LaneIndex(x + 2, y)]);
        }
    }
    a[0] ^= roundConstant;
}

void KeccakF1600(std::uint64_t* lanes) {
    std::uint64_t a[kLaneCount];
    std::memcpy(a, lanes, sizeof a);
    for (int round = 0; round < kRounds; ++round) Round(a, kRoundConstants[round]);
    std::memcpy(lanes, a, sizeof a);
}

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

template <int kRateBytes>
void AbsorbBlocks(std::uint64_t* lanes, const unsigned char* bytes, std::size_t blockCount) {
    for (std::size_t block = 0; block < blockCount; ++block) {
        for (int i = 0; i < kRateBytes / 8; ++i) lanes[i] ^= LoadLE64(bytes + 8 * i);
        KeccakF1600(lanes);
        bytes += kRateBytes;
    }
}

void StartSha3(void* opaque) {
    auto* state = static_cast<Sha3State*>(opaque);
    std::memset(state->lanes, 0, sizeof state->lanes);
    state->pendingCount = 0;
}

template <int kRateBytes>
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
        AbsorbBlocks<kRateBytes>(state->lanes, state->pending, 1);
        state->pendingCount = 0;
    }
    const std::size_t wholeBlocks = count / kRateBytes;
    AbsorbBlocks<kRateBytes>(state->lanes, bytes, wholeBlocks);
    const std::size_t rest = count - wholeBlocks * kRateBytes;
    std::memcpy(state->pending, bytes + wholeBlocks * kRateBytes, rest);
    state->pendingCount = rest;
}

// SHA-3 appends the domain bits 01 and the padding 10*1: byte 0x06 after the message, 0x80 in
// the block's last byte (0x86 when they meet). The digest is the first bytes of the lanes,
// which one permutation's rate always covers.
template <int kDigestBits>
void FinishSha3(void* opaque, char* text) {
    constexpr int kRateBytes = 200 - 2 * kDigestBits / 8;
    constexpr int kDigestBytes = kDigestBits / 8;
    auto* state = static_cast<Sha3State*>(opaque);
    unsigned char* block = state->pending;
    std::memset(block + state->pendingCount, 0, kRateBytes - state->pendingCount);
    block[state->pendingCount] ^= 0x06;
    block[kRateBytes - 1] ^= 0x80;
    AbsorbBlocks<kRateBytes>(state->lanes, block, 1);

    unsigned char digest[kDigestBytes];
    for (int i = 0; i < (kDigestBytes + 7) / 8; ++i) {
        StoreLE32(digest + 8 * i, static_cast<std::uint32_t>(state->lanes[i]));
        if (8 * i + 4 < kDigestBytes) {
            StoreLE32(digest + 8 * i + 4, static_cast<std::uint32_t>(state->lanes[i] >> 32));
        }
    }
    std::uint32_t words[kDigestBytes / 4];
    for (int i = 0; i < kDigestBytes / 4; ++i) words[i] = LoadBE32(digest + 4 * i);
    FormatWords(text, words, kDigestBytes / 4);
}

template <int kDigestBits>
constexpr StreamForm Sha3Form() {
    constexpr int kRateBytes = 200 - 2 * kDigestBits / 8;
    static_assert(kRateBytes <= kLargestRateBytes);
    return {0, StartSha3, FeedSha3<kRateBytes>, FinishSha3<kDigestBits>};
}

}  // namespace

const StreamForm kSHA3_224Forms[] = {Sha3Form<224>()};
const StreamForm kSHA3_256Forms[] = {Sha3Form<256>()};
const StreamForm kSHA3_384Forms[] = {Sha3Form<384>()};
const StreamForm kSHA3_512Forms[] = {Sha3Form<512>()};
