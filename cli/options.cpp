// GNU-style options: short ones may be bundled (-cw) and take their value attached or as the
// next argument; long ones may be shortened while unambiguous and take "=VALUE" or the next
// argument; options and file names mix in any order until "--".
#include "options.h"

#include <iterator>
#include <string_view>

namespace {

// The help text. HelpText() puts the digest table's names in place of {ALGORITHMS}, wrapping
// their paragraph, and their number in place of {COUNT}.
const char kHelpTemplate[] =
    "usage: hashcalc-cli [OPTION]... [FILE]...\n"
    "       hashcalc-cli -c [OPTION]... [LIST]...\n"
    "Print or check the digests and checksums of files: {ALGORITHMS}.\n"
    "Standard input is read when FILE is - or when no FILE is given.\n"
    "\n"
    "  -a, --algorithms=LIST  the algorithms to use, names separated by commas; letter\n"
    "                           case does not matter and a dash may stand inside a\n"
    "                           name (sha-256); default: the {COUNT} from MD5 to\n"
    "                           CRC32b (when checking: any named in the lists)\n"
    "  -s, --string=TEXT      hash the bytes of TEXT, shown as \"TEXT\"; may be repeated\n"
    "      --tag              write NAME (FILE) = DIGEST lines even for one algorithm\n"
    "                           (with several algorithms this is the only form)\n"
    "      --untagged         write DIGEST  FILE lines (the default for one algorithm)\n"
    "      --sfv              write an SFV list of CRC32s: FILE CRC32\n"
    "      --no-names         write the digests alone, one a line\n"
    "  -b, --binary           write DIGEST *FILE lines, the name marked with '*'; the\n"
    "                           bytes read are the same in either mode\n"
    "  -t, --text             no mark before the name (the default)\n"
    "  -z, --zero             end each line with NUL, not newline, and write names as\n"
    "                           they are\n"
    "  -l, --length=BITS      the digest length, accepted when it is the full length of\n"
    "                           the one algorithm (or 0), as b2sum -l takes it (512\n"
    "                           for BLAKE2b)\n"
    "  -r, --recursive        hash every regular file under each FILE that is a folder,\n"
    "                           in sorted order\n"
    "  -L, --follow           with -r, follow symbolic links to files and folders\n"
    "  -c, --check            read checksum lines from the FILEs and verify them\n"
    "      --no-hardware      use the portable code only, no processor-specific\n"
    "                           instructions (HASHCALC_NO_HARDWARE=1 does the same)\n"
    "  -h, --help             show this help and exit\n"
    "      --version          show the version and exit\n"
    "\n"
    "Only when checking:\n"
    "      --ignore-missing   say nothing about listed files that do not exist\n"
    "      --quiet            print nothing for files that verify\n"
    "      --status           print nothing; the exit status tells the outcome\n"
    "      --strict           fail when a line is badly formatted\n"
    "  -w, --warn             report each badly formatted line\n"
    "\n"
    "With exactly one algorithm and no --tag, each line is DIGEST, two spaces and the\n"
    "file name, as md5sum, sha1sum and sha256sum write it. Lines without an algorithm\n"
    "name are checked with the one algorithm -a names. A file name holding a newline or\n"
    "a backslash is escaped (\\n, \\\\) and its line starts with a backslash.\n"
    "The CRCs: CRC32 is zlib's (cksum -a crc32b, rhash --crc32), CRC32b is BZIP2's,\n"
    "CRC32C is Castagnoli's (iSCSI), CKSUM is POSIX cksum's, written as cksum writes\n"
    "it: CRC LENGTH FILE in decimal. SHA512-256 is SHA-512/256. BLAKE2b lines are\n"
    "b2sum's, BLAKE3 lines b3sum's, SHA224 to SHA512 lines sha224sum's to sha512sum's.\n"
    "When checking, lists may also be one-space DIGEST FILE lines (as md5 -r writes)\n"
    "or SFV lists (FILE CRC32, with ';' comments); the first checksum line of a list\n"
    "decides which. A list read from standard input cannot name -.\n"
    "\n"
    "Exit status: 0 when every input was read (and, when checking, every listed file\n"
    "matched), 1 otherwise.\n";

constexpr std::size_t kHelpWidth = 80;

// Breaks a paragraph of one line at spaces into lines of at most kHelpWidth characters.
std::string Wrap(std::string_view paragraph) {
    std::string wrapped;
    std::size_t lineStart = 0;
    while (paragraph.size() - lineStart > kHelpWidth) {
        std::size_t space = paragraph.rfind(' ', lineStart + kHelpWidth);
        if (space == std::string_view::npos || space <= lineStart) {
            space = paragraph.find(' ', lineStart + kHelpWidth);
            if (space == std::string_view::npos) break;
        }
        wrapped.append(paragraph.substr(lineStart, space - lineStart)).append("\n");
        lineStart = space + 1;
    }
    return wrapped.append(paragraph.substr(lineStart));
}

// "twelve": the default set's size, in words while it is small.
std::string CountInWords(int count) {
    static const char* const kWords[] = {
        "zero",     "one",     "two",     "three",     "four",     "five",     "six",
        "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",   "thirteen",
        "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen", "twenty"};
    return count >= 0 && count < static_cast<int>(std::size(kWords)) ? kWords[count]
                                                                     : std::to_string(count);
}

// Replaces the one `marker` of `text` with `value`.
void Fill(std::string* text, std::string_view marker, const std::string& value) {
    const std::size_t at = text->find(marker);
    if (at != std::string::npos) text->replace(at, marker.size(), value);
}

std::string BuildHelpText() {
    std::string text = kHelpTemplate;
    const std::string_view marker = "{ALGORITHMS}";
    const std::size_t at = text.find(marker);
    const std::size_t lineStart = text.rfind('\n', at) + 1;
    const std::size_t lineEnd = text.find('\n', at);
    std::string paragraph = text.substr(lineStart, lineEnd - lineStart);
    Fill(&paragraph, marker, AlgorithmNamesInProse());
    text.replace(lineStart, lineEnd - lineStart, Wrap(paragraph));
    Fill(&text, "{COUNT}", CountInWords(CountAlgorithms(kDefaultAlgorithms)));
    return text;
}

enum class OptionId {
    kAlgorithms,
    kString,
    kTag,
    kUntagged,
    kSfv,
    kNoNames,
    kBinary,
    kText,
    kZero,
    kRecursive,
    kFollow,
    kLength,
    kCheck,
    kNoHardware,
    kHelp,
    kVersion,
    kIgnoreMissing,
    kQuiet,
    kStatus,
    kStrict,
    kWarn,
};

struct OptionEntry {
    const char* longName;
    char shortName;  // 0: long form only
    OptionId id;
    bool takesValue = false;
};

constexpr OptionEntry kOptions[] = {
    {"algorithms", 'a', OptionId::kAlgorithms, true},
    {"string", 's', OptionId::kString, true},
    {"tag", 0, OptionId::kTag},
    {"untagged", 0, OptionId::kUntagged},
    {"sfv", 0, OptionId::kSfv},
    {"no-names", 0, OptionId::kNoNames},
    {"binary", 'b', OptionId::kBinary},
    {"text", 't', OptionId::kText},
    {"zero", 'z', OptionId::kZero},
    {"recursive", 'r', OptionId::kRecursive},
    {"follow", 'L', OptionId::kFollow},
    {"length", 'l', OptionId::kLength, true},
    {"check", 'c', OptionId::kCheck},
    {"no-hardware", 0, OptionId::kNoHardware},
    {"help", 'h', OptionId::kHelp},
    {"version", 0, OptionId::kVersion},
    {"ignore-missing", 0, OptionId::kIgnoreMissing},
    {"quiet", 0, OptionId::kQuiet},
    {"status", 0, OptionId::kStatus},
    {"strict", 0, OptionId::kStrict},
    {"warn", 'w', OptionId::kWarn},
};

bool TakesValue(const OptionEntry& entry) {
    return entry.takesValue;
}

const OptionEntry* FindShort(char name) {
    for (const OptionEntry& entry : kOptions) {
        if (entry.shortName == name) return &entry;
    }
    return nullptr;
}

// An exact long name, or the only one that `name` begins.
const OptionEntry* FindLong(std::string_view name, bool* ambiguous) {
    const OptionEntry* found = nullptr;
    *ambiguous = false;
    for (const OptionEntry& entry : kOptions) {
        const std::string_view full = entry.longName;
        if (full == name) return &entry;
        if (full.substr(0, name.size()) == name) {
            *ambiguous = found != nullptr;
            found = &entry;
        }
    }
    return *ambiguous ? nullptr : found;
}

void SetVerbosity(CheckVerbosity verbosity, CliOptions* options) {
    options->verbosity = verbosity;
    options->quiet = verbosity == CheckVerbosity::kQuiet;
    options->status = verbosity == CheckVerbosity::kStatus;
    options->warn = verbosity == CheckVerbosity::kWarn;
}

bool Apply(const OptionEntry& entry, const std::string& value, CliOptions* options,
           std::string* error) {
    switch (entry.id) {
        case OptionId::kAlgorithms: {
            std::string unknown;
            if (!ParseAlgorithmList(value, &options->algorithms, &unknown)) {
                *error = "unknown algorithm '" + unknown + "' (known: " + AlgorithmNames() + ")";
                return false;
            }
            options->algorithmsGiven = true;
            return true;
        }
        case OptionId::kString: options->inputs.push_back({true, value}); return true;
        case OptionId::kTag:
            options->tagForm = true;
            options->untagged = false;
            return true;
        case OptionId::kUntagged:
            options->untagged = true;
            options->tagForm = false;
            return true;
        case OptionId::kSfv: options->sfv = true; return true;
        case OptionId::kNoNames: options->noNames = true; return true;
        case OptionId::kBinary: options->mode = NameMode::kBinary; return true;
        case OptionId::kText: options->mode = NameMode::kText; return true;
        case OptionId::kZero: options->zeroEnded = true; return true;
        case OptionId::kRecursive: options->recursive = true; return true;
        case OptionId::kFollow: options->followLinks = true; return true;
        case OptionId::kLength: {
            const char* end = nullptr;
            long bits = 0;
            for (end = value.c_str(); *end >= '0' && *end <= '9' && bits < 1000000; ++end)
                bits = bits * 10 + (*end - '0');
            if (value.empty() || *end != '\0') {
                *error = "invalid length '" + value + "'";
                return false;
            }
            options->lengthBits = static_cast<int>(bits);
            return true;
        }
        case OptionId::kCheck: options->check = true; return true;
        case OptionId::kNoHardware: options->noHardware = true; return true;
        case OptionId::kHelp: options->help = true; return true;
        case OptionId::kVersion: options->version = true; return true;
        case OptionId::kIgnoreMissing: options->ignoreMissing = true; return true;
        case OptionId::kQuiet: SetVerbosity(CheckVerbosity::kQuiet, options); return true;
        case OptionId::kStatus: SetVerbosity(CheckVerbosity::kStatus, options); return true;
        case OptionId::kStrict: options->strict = true; return true;
        case OptionId::kWarn: SetVerbosity(CheckVerbosity::kWarn, options); return true;
    }
    return true;
}

std::string Named(const char* option) {
    return std::string("'") + option + "'";
}

bool Refuse(const std::string& message, std::string* error) {
    *error = message;
    return false;
}

// Options for writing lines; only one line form may be chosen.
bool CheckWritingOptions(CliOptions* options, std::string* error) {
    const std::pair<bool, const char*> checkOnly[] = {
        {options->ignoreMissing, "--ignore-missing"},
        {options->quiet, "--quiet"},
        {options->status, "--status"},
        {options->strict, "--strict"},
        {options->warn, "--warn"},
    };
    for (const auto& [given, name] : checkOnly) {
        if (given) return Refuse("option " + Named(name) + " only applies with --check", error);
    }
    const std::pair<bool, const char*> forms[] = {
        {options->tagForm, "--tag"},
        {options->sfv, "--sfv"},
        {options->noNames, "--no-names"},
    };
    const char* chosen = nullptr;
    for (const auto& [given, name] : forms) {
        if (!given) continue;
        if (chosen != nullptr) {
            return Refuse(
                "options " + Named(chosen) + " and " + Named(name) + " do not go together", error);
        }
        chosen = name;
    }
    // md5sum refuses it too: a tag line has no mode mark to show text mode.
    if (options->tagForm && options->mode == NameMode::kText)
        return Refuse("option '--text' does not apply with --tag", error);
    const AlgorithmSet crc32 = AlgorithmBit(DigestKind::kCRC32);
    if (options->sfv) {
        if (options->algorithmsGiven && options->algorithms != crc32)
            return Refuse("option '--sfv' writes CRC32 only", error);
        options->algorithms = crc32;
    }
    if (options->untagged && CountAlgorithms(options->algorithms) != 1)
        return Refuse("option '--untagged' needs exactly one algorithm", error);
    return true;
}

// Combinations that make no sense, found once every option has been read.
bool CheckCombinations(CliOptions* options, std::string* error) {
    if (options->lengthBits != 0) {
        // Only the full length is computed; a shorter one would need the algorithm itself
        // to produce it.
        const bool one = CountAlgorithms(options->algorithms) == 1;
        const DigestKind kind = OnlyAlgorithm(options->algorithms);
        const bool full = one && DigestRow(kind).textForm == TextForm::kHex &&
                          options->lengthBits == 4 * AlgorithmTextLength(kind);
        if (!full)
            return Refuse("option '--length' takes only the full length of the one algorithm",
                          error);
    }
    if (!options->check) return CheckWritingOptions(options, error);
    // A list may name any algorithm the tool knows; -a narrows that.
    if (!options->algorithmsGiven) options->algorithms = kAllAlgorithms;
    const std::pair<bool, const char*> writeOnly[] = {
        {options->tagForm, "--tag"},
        {options->untagged, "--untagged"},
        {options->noNames, "--no-names"},
        {options->mode == NameMode::kBinary, "--binary"},
        {options->mode == NameMode::kText, "--text"},
        {options->zeroEnded, "--zero"},
        {options->recursive, "--recursive"},
    };
    for (const auto& [given, name] : writeOnly) {
        if (given) return Refuse("option " + Named(name) + " does not apply with --check", error);
    }
    for (const CliInput& input : options->inputs) {
        if (input.isText) return Refuse("option '-s' does not apply with --check", error);
    }
    return true;
}

}  // namespace

const char* HelpText() {
    static const std::string text = BuildHelpText();
    return text.c_str();
}

bool ParseCommandLine(const std::vector<std::string>& arguments, CliOptions* options,
                      std::string* error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (!isOption) {
            options->inputs.push_back({false, argument});
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument[1] == '-') {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals - 2);
            bool ambiguous = false;
            const OptionEntry* entry = FindLong(name, &ambiguous);
            if (entry == nullptr) {
                *error = std::string(ambiguous ? "ambiguous" : "unknown") + " option '--" + name +
                         "' (try --help)";
                return false;
            }
            std::string value;
            if (equals != std::string::npos) {
                if (!TakesValue(*entry)) {
                    *error = std::string("option '--") + entry->longName + "' takes no value";
                    return false;
                }
                value = argument.substr(equals + 1);
            } else if (TakesValue(*entry)) {
                if (i + 1 == arguments.size()) {
                    *error = std::string("option '--") + entry->longName + "' needs a value";
                    return false;
                }
                value = arguments[++i];
            }
            if (!Apply(*entry, value, options, error)) return false;
            if (options->help || options->version) return true;
            continue;
        }
        for (std::size_t at = 1; at < argument.size(); ++at) {
            const OptionEntry* entry = FindShort(argument[at]);
            if (entry == nullptr) {
                *error = std::string("unknown option '-") + argument[at] + "' (try --help)";
                return false;
            }
            std::string value;
            if (TakesValue(*entry)) {
                if (at + 1 < argument.size()) {
                    value = argument.substr(at + 1);
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    *error = std::string("option '-") + entry->shortName + "' needs a value";
                    return false;
                }
                at = argument.size();
            }
            if (!Apply(*entry, value, options, error)) return false;
            if (options->help || options->version) return true;
        }
    }
    if (!CheckCombinations(options, error)) return false;
    if (options->inputs.empty()) options->inputs.push_back({false, "-", true});
    return true;
}
