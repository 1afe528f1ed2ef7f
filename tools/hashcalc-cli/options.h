// The command line: options, inputs and the text of --help.
#pragma once

#include <string>
#include <vector>

#include "algorithms.h"

struct CliInput {
    bool isText = false;  // `value` is the text of -s rather than a file name ("-": standard input)
    std::string value;
};

struct CliOptions {
    AlgorithmSet algorithms = kAllAlgorithms;
    bool tagForm = false;
    bool check = false;
    bool quiet = false;
    bool status = false;
    bool strict = false;
    bool warn = false;
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
