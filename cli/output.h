// Standard output, written without a buffer: each piece of text goes out in one write, so
// that result lines from several runs sharing one pipe stay whole, and so that messages on
// standard error keep their place among the results when both go to one log.
#pragma once

#include <string_view>

// Writes all of `text`; after a failure nothing more is written and OutputError tells why.
void WriteOutput(std::string_view text);
// The C error number of the first failed write, 0 when every write succeeded.
int OutputError();
