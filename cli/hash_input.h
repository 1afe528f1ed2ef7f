// Hashing one named input, and the tool's messages on standard error.
#pragma once

#include <string>
#include <string_view>

#include "pipeline.h"

struct HashContext {
    HashPipeline* pipeline = nullptr;
    bool showProgress = false;  // standard error is a terminal
};

// Reads and hashes the file called `name` ("-": standard input). On failure returns false with
// the C error number in *error.
bool HashNamedFile(const HashContext& context, const std::string& name, AlgorithmSet algorithms,
                   DigestTexts* texts, int* error);

// "hashcalc-cli: MESSAGE" on standard error.
void ReportError(std::string_view message);
// "hashcalc-cli: NAME: REASON", the name quoted where a shell would need it.
void ReportFileError(std::string_view name, int error);
