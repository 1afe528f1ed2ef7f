// The lines the tool writes, in the forms md5sum and sha256sum use, and file names in them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "algorithms.h"

// A file name in a checksum line: backslash, newline and carriage return become \\, \n and \r.
// Returns whether anything changed; such a line then starts with one backslash.
bool EscapeFileName(std::string_view name, std::string* escaped);
// The reverse; false when a backslash is followed by anything else or by nothing.
bool UnescapeFileName(std::string_view escaped, std::string* name);

enum class LineStyle {
    kGnu,         // "TEXT  FILE", or "TEXT *FILE" for binary mode, as md5sum and b2sum write
    kTag,         // "NAME (FILE) = TEXT", as --tag of md5sum and BSD's md5 write
    kSfv,         // "FILE TEXT", the CRC32 of a simple file verification list
    kDigestOnly,  // "TEXT"
};

struct LineFormat {
    LineStyle style = LineStyle::kGnu;
    bool binary = false;     // a GNU line marks the name with '*'
    bool zeroEnded = false;  // lines end in NUL and names are written as they are
};

// How one algorithm's results are printed. An algorithm added to the tool needs only its
// entry in PrintedNamesOf, and only where it differs from the default.
enum class UntaggedStyle {
    kDigestThenName,        // "DIGEST  FILE", as md5sum, sha512sum, b2sum and b3sum write
    kDecimalCrcLengthName,  // "CRC LENGTH FILE", the text already decimal, as POSIX cksum writes
};
struct PrintedNames {
    const char* tag;  // in tag lines: what sha512sum --tag, b2sum --tag or BSD's tools write,
                      // so that their checks accept our lines
    UntaggedStyle untagged = UntaggedStyle::kDigestThenName;
};
// By default the tag is the name the tool knows the algorithm by.
PrintedNames PrintedNamesOf(DigestKind kind);

// Whether an SFV list can hold `name` so that it reads back as the same name: SFV has no
// escapes, its lines are trimmed, and ';' and '#' start comments.
bool SfvCanHold(std::string_view name);

// One result line in `format`. A name holding a newline, a carriage return or a backslash is
// escaped, and its line starts with one backslash, except in NUL-ended lines and SFV lists
// (which have no escapes). `byteCount` is the input's length, for cksum's form, which leaves
// out an empty name as cksum does for standard input read unasked.
std::string ResultLine(const PrintedNames& names, std::string_view fileName, std::string_view text,
                       std::uint64_t byteCount, const LineFormat& format);
std::string DigestLine(DigestKind kind, std::string_view fileName, std::string_view text,
                       const LineFormat& format, std::uint64_t byteCount = 0);

// "NAME: VERDICT" in check mode. Only a name with a newline is escaped there, so that a
// verdict always takes one line.
std::string CheckResultLine(std::string_view fileName, std::string_view verdict);

// A name as error messages show it: as it is when it is plain, otherwise quoted so that a
// shell would read it back (spaces, colons, quotes and control characters).
std::string QuoteForMessage(std::string_view name);
