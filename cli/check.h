// Check mode: reading checksum lines, as this tool, md5sum and its siblings, BSD's md5 -r and
// SFV tools write them, and verifying the files they list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hash_input.h"
#include "options.h"

// The forms a checksum line can take in a list.
enum class ListLineStyle {
    kTag,        // "NAME (FILE) = DIGEST"
    kGnuText,    // "DIGEST  FILE"
    kGnuBinary,  // "DIGEST *FILE"
    kOneSpace,   // "DIGEST FILE", as BSD's md5 -r writes
    kSfv,        // "FILE CRC32"
    kCksum,      // "CRC LENGTH FILE" in decimal, as POSIX cksum writes
};

struct ChecksumLine {
    DigestKind kind{};
    std::string expected;              // the digest text as written, in either letter case
    std::string fileName;              // unescaped
    std::int64_t expectedLength = -1;  // the byte count a cksum line gives, or -1
    ListLineStyle style = ListLineStyle::kGnuText;
};

// How a list writes its lines without an algorithm name. The first such line accepted decides
// it for the whole list, as md5sum does: once "DIGEST  FILE" lines are seen, a line of one
// space is badly formatted, and once "DIGEST FILE" lines are seen, "DIGEST  FILE" names a
// file whose name starts with a space and "DIGEST *FILE" one that starts with '*'. A ';'
// comment before any checksum line marks an SFV list.
enum class UntaggedForm { kUndecided, kModeCharacter, kOneSpace, kSfv };

enum class LineForm {
    kSkipped,   // empty or a comment
    kChecksum,  // *parsed holds it
    kMalformed,
    kNoAlgorithm,  // a well-formed "DIGEST  FILE" line, but `selected` is not one algorithm
};

// Reads one line (without its line end; a carriage return before it is allowed). BSD lines
// name their algorithm, which must be in `selected`; GNU lines take the one of `selected`;
// SFV lines are CRC32, which must be in `selected`; cksum's lines are read when `selected` is
// its CRC alone. *form carries what earlier lines of the
// same list decided.
LineForm ParseChecksumLine(std::string_view line, AlgorithmSet selected, UntaggedForm* form,
                           ChecksumLine* parsed);
// The same for a line read on its own.
LineForm ParseChecksumLine(std::string_view line, AlgorithmSet selected, ChecksumLine* parsed);

// The line (without line end) that writes `line` in its style, read back the same by
// ParseChecksumLine with the form its list had decided.
std::string ChecksumLineText(const ChecksumLine& line);

// Verifies every list in options.inputs. Returns true when every list had well-formed lines
// and every listed file matched.
bool CheckLists(const CliOptions& options, const HashContext& context);
