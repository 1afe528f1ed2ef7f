#include "hash_input.h"

#include <cstdio>
#include <cstring>

#include "output_forms.h"
#include "progress.h"

namespace {

void ReportProgress(void* line, std::uint64_t bytesDone) {
    UpdateProgress(static_cast<ProgressLine*>(line), bytesDone);
}

}  // namespace

bool HashNamedFile(const HashContext& context, const std::string& name, AlgorithmSet algorithms,
                   DigestTexts* texts, int* error) {
    InputFile file;
    const bool standardInput = name == "-";
    if (standardInput) {
        file = StandardInputFile();
    } else if (!OpenInputFile(name.c_str(), &file, error)) {
        return false;
    }
    ProgressLine line;
    BeginProgress(&line, context.showProgress, standardInput ? "standard input" : name, file.size);
    const bool hashed =
        HashFile(context.pipeline, file, algorithms, texts, error, {ReportProgress, &line});
    EndProgress(&line);
    CloseInputFile(&file);
    return hashed;
}

void ReportError(std::string_view message) {
    std::fprintf(stderr, "hashcalc-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

void ReportFileError(std::string_view name, int error) {
    ReportError(QuoteForMessage(name) + ": " + std::strerror(error));
}
