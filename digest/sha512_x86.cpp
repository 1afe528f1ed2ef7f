// SHA-512's compression with the message schedule in AVX2 vectors and the steps on BMI2's
// rorx, compiled for those instruction sets while the rest of the program runs on any x86
// processor.
//
// Two blocks are scheduled at once, one in each 128-bit lane, into a table of W[t] + K[t]. A
// lane holds two consecutive schedule words, W[2k] and W[2k + 1]: neither needs the other,
// since W[t] reaches back two words at the least. The scalar steps set the pace: a table
// scheduled in one go before its steps cost them more than it saved, so the next pair's table
// is built in parts between the steps, one part after every sixteen, into a second table.
#include "sha512_rounds.h"

#if HASHCALC_SHA512_VECTOR_SCHEDULE

#include <immintrin.h>

#include <algorithm>
#include <utility>

namespace digest_internal {

namespace {

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi,bmi2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2")
#endif
namespace avx2 {

using V = __m256i;
constexpr int kBlocks = 2;

// Sixteen steps from a table of W[t] + K[t] whose consecutive pairs of words lie `kStride`
// words apart.
template <int kStride, int... kSteps>
HASHCALC_ALWAYS_INLINE void SixteenSteps(std::uint64_t* v, const std::uint64_t* sums,
                                         std::uint64_t& carriedXor,
                                         std::integer_sequence<int, kSteps...>) {
    (SHA512Step<kSteps>(v, sums[kStride * (kSteps / 2) + kSteps % 2], carriedXor), ...);
}

// The first `count` blocks (at least one), and the last of them again for the lanes beyond:
// those lanes are scheduled but never stepped.
void PickLanes(const unsigned char* blocks, std::size_t count, const unsigned char** lanes) {
    for (std::size_t lane = 0; lane < static_cast<std::size_t>(kBlocks); ++lane) {
        lanes[lane] = blocks + 128 * std::min(lane, count - 1);
    }
}

HASHCALC_ALWAYS_INLINE V Add(V a, V b) {
    return _mm256_add_epi64(a, b);
}
HASHCALC_ALWAYS_INLINE V Xor(V a, V b) {
    return _mm256_xor_si256(a, b);
}
HASHCALC_ALWAYS_INLINE void Store(std::uint64_t* words, V value) {
    _mm256_storeu_si256(reinterpret_cast<V*>(words), value);
}
// sigma0(x) = x >>> 1 ^ x >>> 8 ^ x >> 7; the rotation by a whole byte is one byte shuffle.
HASHCALC_ALWAYS_INLINE V SmallSigma0(V x) {
    const V rotateByte = _mm256_set_epi64x(0x080F0E0D0C0B0A09, 0x0007060504030201,
                                           0x080F0E0D0C0B0A09, 0x0007060504030201);
    const V shifts =
        Xor(Xor(_mm256_srli_epi64(x, 1), _mm256_srli_epi64(x, 7)), _mm256_slli_epi64(x, 63));
    return Xor(shifts, _mm256_shuffle_epi8(x, rotateByte));
}
// sigma1(x) = x >>> 19 ^ x >>> 61 ^ x >> 6.
HASHCALC_ALWAYS_INLINE V SmallSigma1(V x) {
    const V right =
        Xor(Xor(_mm256_srli_epi64(x, 19), _mm256_srli_epi64(x, 61)), _mm256_srli_epi64(x, 6));
    return Xor(right, Xor(_mm256_slli_epi64(x, 45), _mm256_slli_epi64(x, 3)));
}
// Per lane, the high word of `low` and the low word of `high`.
HASHCALC_ALWAYS_INLINE V AlignPairs(V high, V low) {
    return _mm256_alignr_epi8(high, low, 8);
}
// K[2k] and K[2k + 1] in both lanes.
HASHCALC_ALWAYS_INLINE V PairConstants(int pair) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(
        kSHA512RoundConstants + 2 * static_cast<std::size_t>(pair))));
}
// 16 bytes at `offset` of each lane's block, as two words with their bytes reversed.
HASHCALC_ALWAYS_INLINE V LoadWordPairs(const unsigned char* const* lanes, std::size_t offset) {
    const V swap = _mm256_set_epi64x(0x08090A0B0C0D0E0F, 0x0001020304050607, 0x08090A0B0C0D0E0F,
                                     0x0001020304050607);
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes[0] + offset));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes[1] + offset));
    return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1), swap);
}

constexpr int kPairs = kSHA512StepCount / 2;
constexpr int kParts = kBlocks * kSHA512StepCount / 16;
constexpr int kPartPairs = kPairs / kParts;
// A part never reaches back seven pairs into itself.
static_assert(kPairs % kParts == 0 && 8 % kPartPairs == 0 && kPartPairs <= 4);

// Words of a table per pair of schedule words, one pair for each block.
constexpr std::size_t kPairWords = std::size_t{2} * kBlocks;

// The schedule of kBlocks blocks: `words` holds W[t] for the expansion, `sums` W[t] + K[t] for
// the steps, pair by pair as the vectors hold them (block b's pair k at sums[2 * (kBlocks * k +
// b)]).
struct Table {
    V words[kPairs];
    std::uint64_t sums[kPairWords * kPairs];
};

// Pair `pair` - `distance` of a table whose pairs from `pair` - `index` on are still in `fresh`.
HASHCALC_ALWAYS_INLINE V Earlier(const V* words, const V* fresh, int pair, int index,
                                 int distance) {
    return index >= distance ? fresh[index - distance] : words[pair - distance];
}

// Part `part` of the schedule of the blocks at `lanes`: the first parts are the blocks' own
// words, each pair after them W[t] = sigma1(W[t-2]) + W[t-7] + sigma0(W[t-15]) + W[t-16]. The
// new pairs stay in registers until the part is done: the stores, through vector types, might
// alias the table for all the compiler knows, and reloading each pair would chain the part
// through memory.
HASHCALC_ALWAYS_INLINE void SchedulePart(Table& table, int part,
                                         const unsigned char* const* lanes) {
    const int firstPair = kPartPairs * part;
    V fresh[kPartPairs];
    if (firstPair < 8) {
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
        for (int i = 0; i < kPartPairs; ++i) {
            fresh[i] = LoadWordPairs(lanes, 16 * static_cast<std::size_t>(firstPair + i));
        }
    } else {
        const V* w = table.words;
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
        for (int i = 0; i < kPartPairs; ++i) {
            const int pair = firstPair + i;
            const V fifteenBack = AlignPairs(w[pair - 7], w[pair - 8]);
            const V sevenBack =
                AlignPairs(Earlier(w, fresh, pair, i, 3), Earlier(w, fresh, pair, i, 4));
            fresh[i] =
                Add(Add(w[pair - 8], sevenBack),
                    Add(SmallSigma0(fifteenBack), SmallSigma1(Earlier(w, fresh, pair, i, 1))));
        }
    }
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
    for (int i = 0; i < kPartPairs; ++i) {
        const int pair = firstPair + i;
        table.words[pair] = fresh[i];
        Store(table.sums + kPairWords * static_cast<std::size_t>(pair),
              Add(fresh[i], PairConstants(pair)));
    }
}

// The eighty steps of the table's block `block`, each sixteen followed, when kScheduleNext, by
// one part of the next table: block b builds parts kParts / kBlocks * b onwards.
template <bool kScheduleNext>
HASHCALC_ALWAYS_INLINE void BlockSteps(std::uint64_t* chain, const Table& table, int block,
                                       Table& next, const unsigned char* const* nextLanes) {
    const std::uint64_t* sums = table.sums + 2 * static_cast<std::size_t>(block);
    std::uint64_t v[8];
    for (int k = 0; k < 8; ++k) v[k] = chain[k];
    std::uint64_t carriedXor = v[1] ^ v[2];
    for (int group = 0; group < kSHA512StepCount / 16; ++group) {
        SixteenSteps<2 * kBlocks>(v, sums + 8 * kPairWords * static_cast<std::size_t>(group),
                                  carriedXor, std::make_integer_sequence<int, 16>());
        if constexpr (kScheduleNext) {
            SchedulePart(next, kParts / kBlocks * block + group, nextLanes);
        }
    }
    for (int k = 0; k < 8; ++k) chain[k] += v[k];
}

// The first table is scheduled before any steps; each pair of blocks then builds the next.
// A last odd block is scheduled in both lanes and stepped once.
void Blocks(std::uint64_t* chain, const unsigned char* blocks, std::size_t blockCount) {
    if (blockCount == 0) return;
    Table tables[2];
    Table* current = &tables[0];
    Table* next = &tables[1];
    const unsigned char* lanes[kBlocks];
    PickLanes(blocks, blockCount, lanes);
    for (int part = 0; part < kParts; ++part) SchedulePart(*current, part, lanes);
    for (; blockCount > kBlocks; blockCount -= kBlocks) {
        blocks += std::size_t{128} * kBlocks;
        PickLanes(blocks, blockCount - kBlocks, lanes);
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
        for (int block = 0; block < kBlocks; ++block) {
            BlockSteps<true>(chain, *current, block, *next, lanes);
        }
        std::swap(current, next);
    }
    for (int block = 0; block < static_cast<int>(blockCount); ++block) {
        BlockSteps<false>(chain, *current, block, *next, lanes);
    }
}

}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

}  // namespace

void SHA512BlocksWithAVX2(std::uint64_t* chain, const unsigned char* blocks,
                          std::size_t blockCount) {
    avx2::Blocks(chain, blocks, blockCount);
}

}  // namespace digest_internal

#endif  // HASHCALC_SHA512_VECTOR_SCHEDULE
