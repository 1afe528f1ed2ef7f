// hashcalc-cli: prints or checks the digests and checksums of files, of standard input and of
// texts, in the line forms of md5sum and sha256sum. Each input is read once, in blocks, and
// the selected algorithms share the processors (see pipeline.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "hash_input.h"
#include "options.h"
#include "output_forms.h"

namespace {

void PrintDigests(const CliOptions& options, std::string_view name, const DigestTexts& texts) {
    // deliberate: several algorithms always take the tag form, since the GNU form cannot say
    // which algorithm a line belongs to.
    const bool tagForm = options.tagForm || CountAlgorithms(options.algorithms) != 1;
    for (int k = 0; k < kDigestCount; ++k) {
        const auto kind = static_cast<DigestKind>(k);
        if (Contains(options.algorithms, kind)) {
            std::fputs(DigestLine(kind, name, texts.text[k], tagForm).c_str(), stdout);
        }
    }
}

// Hashes every input in turn; a failed one is reported and the others still run.
bool HashInputs(const CliOptions& options, const HashContext& context) {
    bool allRead = true;
    for (const CliInput& input : options.inputs) {
        DigestTexts texts;
        if (input.isText) {
            HashBytes(input.value.data(), input.value.size(), options.algorithms, &texts);
            PrintDigests(options, "\"" + input.value + "\"", texts);
            continue;
        }
        int error = 0;
        if (!HashNamedFile(context, input.value, options.algorithms, &texts, &error)) {
            std::fflush(stdout);  // earlier results before the message, on a shared terminal
            ReportFileError(input.value, error);
            allRead = false;
            continue;
        }
        PrintDigests(options, input.value, texts);
    }
    return allRead;
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
        std::fputs(options.help ? HelpText() : "hashcalc-cli " HASHCALC_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
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

    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        ReportError(std::string("write error: ") + std::strerror(errno));
        return 1;
    }
    return succeeded ? 0 : 1;
}
