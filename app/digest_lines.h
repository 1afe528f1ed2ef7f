// Digests as text lines for the clipboard, and a published digest read back from one.
#pragma once

#include <string>
#include <string_view>

#include "digest.h"
#include "digest_table.h"

// The twelve `NAME (SOURCE) = DIGEST` lines, catalogue order, each ended by `lineEnd`: the
// lines hashcalc-cli --tag writes, so that hashcalc-cli -c verifies them. `source` is a file's
// path, or for a typed text the text in double quotes. A source with a backslash or a line
// break is escaped and its line marked with a leading backslash, as hashcalc-cli does.
std::string DigestLines(std::string_view source, const char* const texts[kWindowDigestCount],
                        const char* lineEnd);

// The digest in a pasted text: the text itself trimmed, or the digest of a `DIGEST  NAME`
// or `NAME (FILE) = DIGEST` line, in lowercase. Empty when no hexadecimal digest is found.
std::string PublishedDigest(std::string_view text);

// The catalogue index of the first text equal to `digest` regardless of letter case, or -1.
int MatchingDigest(std::string_view digest, const char* const texts[kWindowDigestCount]);
