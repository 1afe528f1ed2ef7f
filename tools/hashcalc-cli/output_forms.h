// The lines the tool writes, in the forms md5sum and sha256sum use, and file names in them.
#pragma once

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

// The algorithm's name in a tag line: what sha512sum --tag, b2sum --tag and BSD's tools write,
// so that their checks accept our lines. An algorithm added to the tool only needs its entry
// here when that name differs from the one the tool knows it by.
const char* TagName(DigestKind kind);

// Whether an SFV list can hold `name` so that it reads back as the same name: SFV has no
// escapes, its lines are trimmed, and ';' and '#' start comments.
bool SfvCanHold(std::string_view name);

// One result line in `format`. A name holding a newline, a carriage return or a backslash is
// escaped, and its line starts with one backslash, except in NUL-ended lines and SFV lists
// (which have no escapes).
std::string DigestLine(DigestKind kind, std::string_view fileName, std::string_view text,
                       const LineFormat& format);

// "NAME: VERDICT" in check mode. Only a name with a newline is escaped there, so that a
// verdict always takes one line.
std::string CheckResultLine(std::string_view fileName, std::string_view verdict);

// A name as error messages show it: as it is when it is plain, otherwise quoted so that a
// shell would read it back (spaces, colons, quotes and control characters).
std::string QuoteForMessage(std::string_view name);
