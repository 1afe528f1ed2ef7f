// The digest table's algorithms as the command line names them, and sets of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "digest_stream.h"

// Bit k stands for the algorithm of table row k.
using AlgorithmSet = std::uint32_t;
static_assert(kDigestCount <= 32, "an AlgorithmSet has a bit for every row");
constexpr AlgorithmSet kAllAlgorithms =
    kDigestCount == 32 ? ~AlgorithmSet{0} : (AlgorithmSet{1} << kDigestCount) - 1;
// What the tool computes when -a is not given: the window's twelve.
constexpr AlgorithmSet kDefaultAlgorithms = (AlgorithmSet{1} << kWindowDigestCount) - 1;

constexpr AlgorithmSet AlgorithmBit(DigestKind kind) {
    return AlgorithmSet{1} << static_cast<int>(kind);
}
constexpr bool Contains(AlgorithmSet set, DigestKind kind) {
    return (set & AlgorithmBit(kind)) != 0;
}
int CountAlgorithms(AlgorithmSet set);
// The only member of a set of one.
DigestKind OnlyAlgorithm(AlgorithmSet set);

const char* AlgorithmName(DigestKind kind);
// The most digits the algorithm's text has (cksum's decimal CRC may have fewer).
int AlgorithmTextLength(DigestKind kind);
// Whether `text` has the shape of the algorithm's text: its count of hexadecimal digits, or
// for a decimal one 1 to that many decimal digits.
bool HasTextShape(DigestKind kind, std::string_view text);

// Finds the algorithm called `name`: letter case does not matter, and single dashes may stand
// between characters or be left out where the name has them ("sha-256", "Ripemd-160").
bool ParseAlgorithmName(std::string_view name, DigestKind* kind);
// Parses a comma-separated list into *set. On a name it does not know (an empty one included)
// returns false with that name in *unknown.
bool ParseAlgorithmList(std::string_view list, AlgorithmSet* set, std::string* unknown);
// "MD5, MD2, ..., CRC32b": the names in table order, for messages.
std::string AlgorithmNames();
// "MD5, MD2, ... CRC32 and CRC32b": the names in table order, for the help text.
std::string AlgorithmNamesInProse();
