// Check mode: reading checksum lines, as this tool and md5sum, sha1sum and sha256sum write
// them, and verifying the files they list.
#pragma once

#include <string>
#include <string_view>

#include "hash_input.h"
#include "options.h"

struct ChecksumLine {
    DigestKind kind{};
    std::string expected;  // the digest text as written, in either letter case
    std::string fileName;  // unescaped
};

enum class LineForm {
    kSkipped,   // empty or a comment
    kChecksum,  // *parsed holds it
    kMalformed,
    kNoAlgorithm,  // a well-formed "DIGEST  FILE" line, but `selected` is not one algorithm
};

// Reads one line (without its line end; a carriage return before it is allowed). BSD lines
// name their algorithm, which must be in `selected`; GNU lines take the one of `selected`.
LineForm ParseChecksumLine(std::string_view line, AlgorithmSet selected, ChecksumLine* parsed);

// Verifies every list in options.inputs. Returns true when every list had well-formed lines
// and every listed file matched.
bool CheckLists(const CliOptions& options, const HashContext& context);
