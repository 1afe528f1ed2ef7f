// The window program's command line: --help, --version, or one file to hash at the start.
#pragma once

#include <string>

enum class StartAction { kOpenWindow, kPrintHelp, kPrintVersion, kUsageError };

struct StartRequest {
    StartAction action = StartAction::kOpenWindow;
    std::string file;   // kOpenWindow: the file to hash at the start, or empty
    std::string error;  // kUsageError: one line saying what is wrong (no newline)
};

StartRequest ParseCommandLine(int argc, const char* const* argv);

// What --help and --version print.
extern const char HelpText[];
extern const char VersionText[];
