// hashcalc-cli: prints or checks the digests and checksums of files, of folders' files, of
// standard input and of texts, in the line forms of md5sum and its siblings, of BSD's tools
// and of SFV lists. Each input is read once, in blocks, and the selected algorithms share the
// processors (see pipeline.h).
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "check.h"
#include "folder_walk.h"
#include "hash_input.h"
#include "options.h"
#include "output.h"
#include "output_forms.h"

namespace {

LineFormat ChosenLineFormat(const CliOptions& options) {
    LineFormat format;
    if (options.sfv) {
        format.style = LineStyle::kSfv;
    } else if (options.noNames) {
        format.style = LineStyle::kDigestOnly;
    } else if (options.tagForm || CountAlgorithms(options.algorithms) != 1) {
        // deliberate: several algorithms always take the tag form, since the GNU form cannot
        // say which algorithm a line belongs to.
        format.style = LineStyle::kTag;
    }
    format.binary = options.mode == NameMode::kBinary;
    format.zeroEnded = options.zeroEnded;
    return format;
}

void PrintDigests(const CliOptions& options, std::string_view name, const DigestTexts& texts) {
    const LineFormat format = ChosenLineFormat(options);
    for (int k = 0; k < kDigestCount; ++k) {
        const auto kind = static_cast<DigestKind>(k);
        if (!Contains(options.algorithms, kind)) continue;
        // cksum names no file when it reads standard input without being given "-".
        const bool unnamed = options.inputs.front().implicit &&
                             PrintedNamesOf(kind).untagged == UntaggedStyle::kDecimalCrcLengthName;
        WriteOutput(DigestLine(kind, unnamed ? std::string_view() : name, texts.text[k], format,
                               texts.byteCount));
    }
}

struct HashRun {
    const CliOptions* options = nullptr;
    const HashContext* context = nullptr;
    bool allRead = true;
};

// Hashes one file and prints its lines; a failure is reported and the run goes on.
void HashOneFile(void* run, const std::string& name) {
    auto* state = static_cast<HashRun*>(run);
    DigestTexts texts;
    int error = 0;
    if (!HashNamedFile(*state->context, name, state->options->algorithms, &texts, &error)) {
        ReportFileError(name, error);
        state->allRead = false;
        return;
    }
    PrintDigests(*state->options, name, texts);
}

// A name an SFV list cannot hold is refused before its input is read, as a failure, so that
// the list never names anything other than what was hashed.
bool FitsChosenForm(const CliOptions& options, const std::string& name) {
    if (!options.sfv || SfvCanHold(name)) return true;
    ReportError(QuoteForMessage(name) + ": this name cannot be written in an SFV list");
    return false;
}

void HashListedFile(void* run, const std::string& name) {
    auto* state = static_cast<HashRun*>(run);
    if (!FitsChosenForm(*state->options, name)) {
        state->allRead = false;
        return;
    }
    HashOneFile(run, name);
}

bool IsFolder(const std::string& name) {
    std::error_code ignored;
    return name != "-" && std::filesystem::is_directory(name, ignored);
}

// Hashes every input in turn; a failed one is reported and the others still run.
bool HashInputs(const CliOptions& options, const HashContext& context) {
    HashRun run{&options, &context};
    for (const CliInput& input : options.inputs) {
        if (input.isText) {
            const std::string shown = "\"" + input.value + "\"";
            if (!FitsChosenForm(options, shown)) {
                run.allRead = false;
                continue;
            }
            DigestTexts texts;
            HashBytes(input.value.data(), input.value.size(), options.algorithms, &texts);
            PrintDigests(options, shown, texts);
        } else if (options.recursive && IsFolder(input.value)) {
            run.allRead =
                WalkFolder(input.value, options.followLinks, HashListedFile, &run) && run.allRead;
        } else {
            HashListedFile(&run, input.value);
        }
    }
    return run.allRead;
}

// Output that could not be written is a failure whatever else happened.
int FinalStatus(bool succeeded) {
    if (OutputError() != 0) {
        ReportError(std::string("write error: ") + std::strerror(OutputError()));
        return 1;
    }
    return succeeded ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    UseBinaryStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CliOptions options;
    std::string mistake;
    if (!ParseCommandLine(arguments, &options, &mistake)) {
        ReportError(mistake);
        return 1;
    }
    if (options.help || options.version) {
        WriteOutput(options.help ? HelpText() : "hashcalc-cli " HASHCALC_VERSION "\n");
        return FinalStatus(true);
    }
    if (options.noHardware) AllowHardwareDigests(false);

    const int selected = CountAlgorithms(options.algorithms);
    const unsigned processors = ProcessorCount();
    HashContext context;
    context.pipeline = CreateHashPipeline(processors < static_cast<unsigned>(selected)
                                              ? processors
                                              : static_cast<unsigned>(selected));
    context.showProgress = StandardErrorIsTerminal();
    const bool succeeded =
        options.check ? CheckLists(options, context) : HashInputs(options, context);
    DestroyHashPipeline(context.pipeline);

    return FinalStatus(succeeded);
}
