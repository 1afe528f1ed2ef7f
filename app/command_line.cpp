#include "command_line.h"

#include <cstring>

#include "about_config.h"

const char HelpText[] =
    "usage: hashcalc [FILE]\n"
    "Show the MD2, MD4, MD5, SHA-0, SHA-1, SHA-256, RIPEMD-128/160/256 digests and the\n"
    "CRC16, CRC32 and CRC32b checksums of a typed text, or of FILE, in a window.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "A file can also be dropped on the window or chosen from its context menu.\n";

const char VersionText[] = "hashcalc " HASHCALC_VERSION "\n";

StartRequest ParseCommandLine(int argc, const char* const* argv) {
    StartRequest request;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool isOption = !optionsEnded && argument[0] == '-' && argument[1] != '\0';
        if (isOption && std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
        } else if (isOption &&
                   (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0)) {
            request.action = StartAction::kPrintHelp;
            return request;
        } else if (isOption &&
                   (std::strcmp(argument, "-V") == 0 || std::strcmp(argument, "--version") == 0)) {
            request.action = StartAction::kPrintVersion;
            return request;
        } else if (isOption) {
            request.action = StartAction::kUsageError;
            request.error = std::string("unknown option '") + argument + "' (see hashcalc --help)";
            return request;
        } else if (!request.file.empty()) {
            request.action = StartAction::kUsageError;
            request.error = "only one FILE can be given (see hashcalc --help)";
            return request;
        } else {
            request.file = argument;
        }
    }
    return request;
}
