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

// One result line: "TEXT  NAME" (GNU form) or "NAME (FILE) = TEXT" (BSD tag form), with the
// leading backslash when the name is escaped.
std::string DigestLine(DigestKind kind, std::string_view fileName, std::string_view text,
                       bool tagForm);

// "NAME: VERDICT" in check mode. Only a name with a newline is escaped there, so that a
// verdict always takes one line.
std::string CheckResultLine(std::string_view fileName, std::string_view verdict);

// A name as error messages show it: as it is when it is plain, otherwise quoted so that a
// shell would read it back (spaces, colons, quotes and control characters).
std::string QuoteForMessage(std::string_view name);
