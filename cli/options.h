// The command line: options, inputs and the text of --help.
#pragma once

#include <string>
#include <vector>

#include "algorithms.h"

struct CliInput {
    bool isText = false;  // `value` is the text of -s rather than a file name ("-": standard input)
    std::string value;
    bool implicit = false;  // standard input read because no input was given
};

// How much check mode says; the last of --quiet, --status and --warn given wins, as in md5sum.
enum class CheckVerbosity {
    kNormal,
    kQuiet,   // nothing for files that verify
    kStatus,  // nothing at all
    kWarn,    // also each badly formatted line
};

enum class NameMode { kUnset, kText, kBinary };

struct CliOptions {
    AlgorithmSet algorithms = kDefaultAlgorithms;  // when checking, every row
    bool algorithmsGiven = false;                  // -a was given
    bool tagForm = false;
    bool untagged = false;
    bool sfv = false;
    bool noNames = false;
    bool zeroEnded = false;
    NameMode mode = NameMode::kUnset;  // -b and -t; the last given wins
    int lengthBits = 0;                // -l; 0 or the full length of the one algorithm
    bool recursive = false;
    bool followLinks = false;
    bool check = false;
    CheckVerbosity verbosity = CheckVerbosity::kNormal;
    bool quiet = false;  // the three are kept in step with `verbosity`
    bool status = false;
    bool warn = false;
    bool strict = false;
    bool ignoreMissing = false;
    bool noHardware = false;
    bool help = false;
    bool version = false;
    std::vector<CliInput> inputs;  // in command-line order; standard input when none is given
};

// Reads the arguments after the program name. On a mistake returns false with a one-line
// description in *error; nothing has been read or written then.
bool ParseCommandLine(const std::vector<std::string>& arguments, CliOptions* options,
                      std::string* error);

// The text of --help, its list of algorithms read from the digest table.
const char* HelpText();
