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
    "                           name (sha-256); default: all {COUNT}\n"
    "  -s, --string=TEXT      hash the bytes of TEXT, shown as \"TEXT\"; may be repeated\n"
    "      --tag              write NAME (FILE) = DIGEST lines even for one algorithm\n"
    "                           (with several algorithms this is the only form)\n"
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
        "zero",    "one",     "two",       "three",    "four",     "five",    "six",
        "seven",   "eight",   "nine",      "ten",      "eleven",   "twelve",  "thirteen",
        "fourteen", "fifteen", "sixteen",  "seventeen", "eighteen", "nineteen", "twenty"};
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
    Fill(&text, "{COUNT}", CountInWords(CountAlgorithms(kAllAlgorithms)));
    return text;
}

struct OptionEntry {
    const char* longName;
    char shortName;          // 0: long form only
    bool CliOptions::*flag;  // the switch it sets; null for the two that take a value
};

constexpr OptionEntry kOptions[] = {
    {"algorithms", 'a', nullptr},
    {"string", 's', nullptr},
    {"tag", 0, &CliOptions::tagForm},
    {"check", 'c', &CliOptions::check},
    {"no-hardware", 0, &CliOptions::noHardware},
    {"help", 'h', &CliOptions::help},
    {"version", 0, &CliOptions::version},
    {"ignore-missing", 0, &CliOptions::ignoreMissing},
    {"quiet", 0, &CliOptions::quiet},
    {"status", 0, &CliOptions::status},
    {"strict", 0, &CliOptions::strict},
    {"warn", 'w', &CliOptions::warn},
};

bool TakesValue(const OptionEntry& entry) {
    return entry.flag == nullptr;
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

bool Apply(const OptionEntry& entry, const std::string& value, CliOptions* options,
           std::string* error) {
    if (!TakesValue(entry)) {
        options->*entry.flag = true;
        return true;
    }
    if (entry.shortName == 's') {
        options->inputs.push_back({true, value});
        return true;
    }
    std::string unknown;
    if (!ParseAlgorithmList(value, &options->algorithms, &unknown)) {
        *error = "unknown algorithm '" + unknown + "' (known: " + AlgorithmNames() + ")";
        return false;
    }
    return true;
}

// Combinations that make no sense, found once every option has been read.
bool CheckCombinations(const CliOptions& options, std::string* error) {
    if (!options.check) {
        const std::pair<bool, const char*> checkOnly[] = {
            {options.ignoreMissing, "--ignore-missing"},
            {options.quiet, "--quiet"},
            {options.status, "--status"},
            {options.strict, "--strict"},
            {options.warn, "--warn"},
        };
        for (const auto& [given, name] : checkOnly) {
            if (given) {
                *error = std::string("option '") + name + "' only applies with --check";
                return false;
            }
        }
        return true;
    }
    if (options.tagForm) {
        *error = "option '--tag' does not apply with --check";
        return false;
    }
    for (const CliInput& input : options.inputs) {
        if (input.isText) {
            *error = "option '-s' does not apply with --check";
            return false;
        }
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
    if (!CheckCombinations(*options, error)) return false;
    if (options->inputs.empty()) options->inputs.push_back({false, "-"});
    return true;
}
