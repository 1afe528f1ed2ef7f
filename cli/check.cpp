// Verifying lists. Consecutive lines about the same file (one per algorithm, as the tool
// writes them) are verified from a single reading of that file. Messages and exit status
// follow md5sum's, so scripts written for it work unchanged.
#include "check.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "output.h"
#include "output_forms.h"

namespace {

// Longer lines are counted as malformed without being kept, so memory stays bounded even
// when a list is not a list at all.
constexpr std::size_t kLongestLine = std::size_t{64} * 1024;
constexpr std::size_t kListReadBytes = std::size_t{64} * 1024;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::size_t HexRun(std::string_view text) {
    std::size_t count = 0;
    while (count < text.size() && IsHexDigit(text[count])) ++count;
    return count;
}

LineForm TakeName(std::string_view name, bool escaped, ChecksumLine* parsed) {
    if (escaped)
        return UnescapeFileName(name, &parsed->fileName) ? LineForm::kChecksum
                                                         : LineForm::kMalformed;
    parsed->fileName = name;
    return LineForm::kChecksum;
}

// "NAME (FILE) = DIGEST" after the optional backslash. The file name ends at the last ')',
// since names written by BSD tools are not escaped and may hold parentheses.
LineForm ParseTagLine(std::string_view rest, bool escaped, DigestKind kind, AlgorithmSet selected,
                      ChecksumLine* parsed) {
    const std::size_t close = rest.rfind(')');
    if (close == std::string_view::npos) return LineForm::kMalformed;
    const std::string_view name = rest.substr(0, close);
    std::size_t at = close + 1;
    while (at < rest.size() && IsBlank(rest[at])) ++at;
    if (at == rest.size() || rest[at] != '=') return LineForm::kMalformed;
    ++at;
    while (at < rest.size() && IsBlank(rest[at])) ++at;
    const std::string_view digest = rest.substr(at);
    if (!Contains(selected, kind) || !HasTextShape(kind, digest)) {
        return LineForm::kMalformed;
    }
    parsed->kind = kind;
    parsed->expected = digest;
    parsed->style = ListLineStyle::kTag;
    return TakeName(name, escaped, parsed);
}

// "DIGEST  FILE" or "DIGEST *FILE", and "DIGEST FILE" as BSD tools write it reversed; which of
// them a line is follows *form once it is decided.
LineForm ParseGnuLine(std::string_view rest, bool escaped, AlgorithmSet selected,
                      UntaggedForm* form, ChecksumLine* parsed) {
    const std::size_t digits = HexRun(rest);
    if (digits == 0 || digits + 1 >= rest.size() || !IsBlank(rest[digits]))
        return LineForm::kMalformed;
    std::size_t nameStart = digits + 1;
    // deliberate: as in md5sum, a single character after the blank is the name even when it is
    // a space or '*' ("DIGEST  " names the file " ").
    const bool oneSpace =
        rest.size() - nameStart == 1 || (rest[nameStart] != ' ' && rest[nameStart] != '*');
    ListLineStyle style = ListLineStyle::kOneSpace;
    if (oneSpace) {
        if (*form == UntaggedForm::kModeCharacter) return LineForm::kMalformed;
    } else if (*form != UntaggedForm::kOneSpace) {
        style = rest[nameStart] == '*' ? ListLineStyle::kGnuBinary : ListLineStyle::kGnuText;
        ++nameStart;
    }
    if (CountAlgorithms(selected) != 1) return LineForm::kNoAlgorithm;
    const DigestKind kind = OnlyAlgorithm(selected);
    if (!HasTextShape(kind, rest.substr(0, digits))) return LineForm::kMalformed;
    parsed->kind = kind;
    parsed->expected = rest.substr(0, digits);
    parsed->style = style;
    // As in md5sum, a digest of the right length decides the form even when the name after it
    // turns out to be badly escaped.
    if (*form == UntaggedForm::kUndecided) {
        *form = style == ListLineStyle::kOneSpace ? UntaggedForm::kOneSpace
                                                  : UntaggedForm::kModeCharacter;
    }
    return TakeName(rest.substr(nameStart), escaped, parsed);
}

// "CRC LENGTH FILE", both numbers decimal, as cksum writes it.
LineForm ParseCksumLine(std::string_view rest, bool escaped, DigestKind kind,
                        ChecksumLine* parsed) {
    const std::size_t crcEnd = rest.find(' ');
    if (crcEnd == std::string_view::npos || !HasTextShape(kind, rest.substr(0, crcEnd)))
        return LineForm::kMalformed;
    const std::size_t lengthEnd = rest.find(' ', crcEnd + 1);
    if (lengthEnd == std::string_view::npos || lengthEnd + 1 == rest.size())
        return LineForm::kMalformed;
    const std::string_view length = rest.substr(crcEnd + 1, lengthEnd - crcEnd - 1);
    // Nineteen digits always fit a signed 64-bit count.
    if (length.empty() || length.size() > 19 ||
        length.find_first_not_of("0123456789") != std::string_view::npos) {
        return LineForm::kMalformed;
    }
    std::int64_t count = 0;
    for (const char digit : length) count = count * 10 + (digit - '0');
    parsed->kind = kind;
    parsed->expected = rest.substr(0, crcEnd);
    parsed->expectedLength = count;
    parsed->style = ListLineStyle::kCksum;
    return TakeName(rest.substr(lengthEnd + 1), escaped, parsed);
}

// "FILE CRC32": the CRC ends the line, after blanks; SFV lists have no escapes.
LineForm ParseSfvLine(std::string_view line, AlgorithmSet selected, ChecksumLine* parsed) {
    const DigestKind kind = DigestKind::kCRC32;
    const auto length = static_cast<std::size_t>(AlgorithmTextLength(kind));
    if (line.size() < length + 2) return LineForm::kMalformed;
    const std::string_view crc = line.substr(line.size() - length);
    if (HexRun(crc) != length || !IsBlank(line[line.size() - length - 1]))
        return LineForm::kMalformed;
    std::size_t nameEnd = line.size() - length - 1;
    while (nameEnd > 0 && IsBlank(line[nameEnd - 1])) --nameEnd;
    if (nameEnd == 0 || !Contains(selected, kind)) return LineForm::kMalformed;
    parsed->kind = kind;
    parsed->expected = crc;
    parsed->fileName = line.substr(0, nameEnd);
    parsed->style = ListLineStyle::kSfv;
    return LineForm::kChecksum;
}

// The algorithm a tag line names: by the name the tool knows it by, or by the tag it writes
// (which is what sha512sum --tag and b2sum --tag write too).
bool FindTaggedAlgorithm(std::string_view name, DigestKind* kind) {
    if (ParseAlgorithmName(name, kind)) return true;
    for (int k = 0; k < kDigestCount; ++k) {
        if (name == PrintedNamesOf(static_cast<DigestKind>(k)).tag) {
            *kind = static_cast<DigestKind>(k);
            return true;
        }
    }
    return false;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

LineForm ParseChecksumLine(std::string_view line, AlgorithmSet selected, UntaggedForm* form,
                           ChecksumLine* parsed) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    line.remove_prefix(at);
    if (line.empty() || line.front() == '#') return LineForm::kSkipped;
    if (line.front() == ';') {
        if (*form == UntaggedForm::kModeCharacter || *form == UntaggedForm::kOneSpace)
            return LineForm::kMalformed;
        *form = UntaggedForm::kSfv;
        return LineForm::kSkipped;
    }
    // A name cut short at a NUL would name another file.
    if (line.find('\0') != std::string_view::npos) return LineForm::kMalformed;
    const bool escaped = line.front() == '\\';
    const std::string_view body = escaped ? line.substr(1) : line;

    const std::size_t nameEnd = body.find_first_of(" (");
    DigestKind kind{};
    if (nameEnd != std::string_view::npos && FindTaggedAlgorithm(body.substr(0, nameEnd), &kind)) {
        std::size_t open = nameEnd;
        if (body[open] == ' ') ++open;
        if (open < body.size() && body[open] == '(') {
            return ParseTagLine(body.substr(open + 1), escaped, kind, selected, parsed);
        }
    }
    if (*form == UntaggedForm::kSfv) return ParseSfvLine(line, selected, parsed);
    if (CountAlgorithms(selected) == 1 &&
        PrintedNamesOf(OnlyAlgorithm(selected)).untagged == UntaggedStyle::kDecimalCrcLengthName) {
        return ParseCksumLine(body, escaped, OnlyAlgorithm(selected), parsed);
    }
    const LineForm gnu = ParseGnuLine(body, escaped, selected, form, parsed);
    if (gnu == LineForm::kChecksum || *form != UntaggedForm::kUndecided) return gnu;
    if (ParseSfvLine(line, selected, parsed) == LineForm::kChecksum) {
        *form = UntaggedForm::kSfv;
        return LineForm::kChecksum;
    }
    return gnu;
}

LineForm ParseChecksumLine(std::string_view line, AlgorithmSet selected, ChecksumLine* parsed) {
    UntaggedForm form = UntaggedForm::kUndecided;
    return ParseChecksumLine(line, selected, &form, parsed);
}

std::string ChecksumLineText(const ChecksumLine& line) {
    LineFormat format;
    switch (line.style) {
        case ListLineStyle::kTag: format.style = LineStyle::kTag; break;
        case ListLineStyle::kGnuText: break;
        case ListLineStyle::kGnuBinary: format.binary = true; break;
        case ListLineStyle::kOneSpace: {
            std::string escaped;
            std::string text = EscapeFileName(line.fileName, &escaped) ? "\\" : "";
            return text.append(line.expected).append(" ").append(escaped);
        }
        case ListLineStyle::kSfv: format.style = LineStyle::kSfv; break;
        case ListLineStyle::kCksum: break;
    }
    const std::uint64_t length =
        line.expectedLength < 0 ? 0 : static_cast<std::uint64_t>(line.expectedLength);
    std::string text = DigestLine(line.kind, line.fileName, line.expected, format, length);
    text.pop_back();
    return text;
}

namespace {

enum class ReadLine { kLine, kTooLong, kEnd, kFailed };

// Lines of a list, read through a small buffer.
struct ListReader {
    InputFile file;
    std::vector<unsigned char> buffer = std::vector<unsigned char>(kListReadBytes);
    std::size_t next = 0;
    std::size_t end = 0;
    bool atEnd = false;
    int error = 0;
};

ReadLine NextLine(ListReader* reader, std::string* line) {
    line->clear();
    bool tooLong = false;
    bool any = false;
    for (;;) {
        if (reader->next == reader->end) {
            if (reader->atEnd) break;
            const std::int64_t got = ReadInputBlock(reader->file, reader->buffer.data(),
                                                    reader->buffer.size(), &reader->error);
            if (got < 0) return ReadLine::kFailed;
            reader->next = 0;
            reader->end = static_cast<std::size_t>(got);
            reader->atEnd = reader->end < reader->buffer.size();
            continue;
        }
        any = true;
        const char c = static_cast<char>(reader->buffer[reader->next++]);
        if (c == '\n') break;
        if (line->size() < kLongestLine) {
            *line += c;
        } else {
            tooLong = true;
        }
    }
    if (!any) return ReadLine::kEnd;
    return tooLong ? ReadLine::kTooLong : ReadLine::kLine;
}

struct ListTally {
    long malformed = 0;
    long unreadable = 0;
    long mismatched = 0;
    bool anyWellFormed = false;
    bool anyMatched = false;
    bool hintGiven = false;
};

// Verifies the lines of one file, all naming `lines.front().fileName`, from one reading.
void VerifyGroup(const std::vector<ChecksumLine>& lines, const CliOptions& options,
                 const HashContext& context, ListTally* tally) {
    if (lines.empty()) return;
    const std::string& name = lines.front().fileName;
    AlgorithmSet algorithms = 0;
    for (const ChecksumLine& line : lines) algorithms |= AlgorithmBit(line.kind);
    DigestTexts texts;
    int error = 0;
    if (!HashNamedFile(context, name, algorithms, &texts, &error)) {
        if (options.ignoreMissing && error == ENOENT) return;
        ReportFileError(name, error);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ++tally->unreadable;
            if (!options.status) WriteOutput(CheckResultLine(name, "FAILED open or read"));
        }
        return;
    }
    for (const ChecksumLine& line : lines) {
        const bool matched = SameText(line.expected, texts.text[static_cast<int>(line.kind)]) &&
                             (line.expectedLength < 0 ||
                              static_cast<std::uint64_t>(line.expectedLength) == texts.byteCount);
        if (matched) {
            tally->anyMatched = true;
        } else {
            ++tally->mismatched;
        }
        if (!options.status && (!matched || !options.quiet)) {
            WriteOutput(CheckResultLine(name, matched ? "OK" : "FAILED"));
        }
    }
}

void Warn(long count, const char* one, const char* many) {
    if (count == 0) return;
    char text[160];
    std::snprintf(text, sizeof text, "WARNING: %ld %s", count, count == 1 ? one : many);
    ReportError(text);
}

// Verifies one list; `listName` is "-" for standard input.
bool CheckList(const std::string& listName, const CliOptions& options, const HashContext& context) {
    const bool standardInput = listName == "-";
    const std::string shownName = standardInput ? "standard input" : listName;
    ListReader reader;
    if (standardInput) {
        reader.file = StandardInputFile();
    } else if (int error = 0; !OpenInputFile(listName.c_str(), &reader.file, &error)) {
        ReportFileError(listName, error);
        return false;
    }
    const std::string lineKind =
        CountAlgorithms(options.algorithms) == 1
            ? std::string(AlgorithmName(OnlyAlgorithm(options.algorithms))) + " "
            : std::string();
    ListTally tally;
    UntaggedForm untaggedForm = UntaggedForm::kUndecided;
    std::vector<ChecksumLine> group;
    std::string text;
    bool readFailed = false;
    for (long number = 1;; ++number) {
        const ReadLine read = NextLine(&reader, &text);
        if (read == ReadLine::kEnd) break;
        if (read == ReadLine::kFailed) {
            readFailed = true;
            break;
        }
        ChecksumLine parsed;
        LineForm form = read == ReadLine::kTooLong
                            ? LineForm::kMalformed
                            : ParseChecksumLine(text, options.algorithms, &untaggedForm, &parsed);
        // Standard input is the list itself here; hashing what remains of it would check
        // nothing, or swallow the lines after this one unchecked.
        if (form == LineForm::kChecksum && standardInput && parsed.fileName == "-")
            form = LineForm::kMalformed;
        if (form == LineForm::kSkipped) continue;
        if (form == LineForm::kChecksum) {
            tally.anyWellFormed = true;
            if (!group.empty() && group.front().fileName != parsed.fileName) {
                VerifyGroup(group, options, context, &tally);
                group.clear();
            }
            group.push_back(std::move(parsed));
            continue;
        }
        ++tally.malformed;
        // Results of earlier lines come first, as when every line is verified on its own.
        VerifyGroup(group, options, context, &tally);
        group.clear();
        const std::string where = QuoteForMessage(shownName) + ": " + std::to_string(number) + ": ";
        if (form == LineForm::kNoAlgorithm && !tally.hintGiven && !options.status) {
            ReportError(where +
                        "a line without an algorithm name needs -a with exactly one algorithm");
            tally.hintGiven = true;
        } else if (options.warn) {
            std::string message = where;
            message += "improperly formatted ";
            message += lineKind;
            message += "checksum line";
            ReportError(message);
        }
    }
    VerifyGroup(group, options, context, &tally);
    CloseInputFile(&reader.file);
    if (readFailed) {
        ReportFileError(shownName, reader.error);
        return false;
    }

    if (!tally.anyWellFormed) {
        ReportError(QuoteForMessage(shownName) + ": no properly formatted checksum lines found");
        return false;
    }
    if (!options.status) {
        Warn(tally.malformed, "line is improperly formatted", "lines are improperly formatted");
        Warn(tally.unreadable, "listed file could not be read", "listed files could not be read");
        Warn(tally.mismatched, "computed checksum did NOT match",
             "computed checksums did NOT match");
        if (options.ignoreMissing && !tally.anyMatched) {
            ReportError(QuoteForMessage(shownName) + ": no file was verified");
        }
    }
    // deliberate: as with md5sum, a list of which no file was verified (all missing and
    // ignored) fails, so that an empty check never passes for a successful one.
    return tally.anyMatched && tally.mismatched == 0 && tally.unreadable == 0 &&
           (!options.strict || tally.malformed == 0);
}

}  // namespace

bool CheckLists(const CliOptions& options, const HashContext& context) {
    bool allMatched = true;
    for (const CliInput& list : options.inputs) {
        allMatched = CheckList(list.value, options, context) && allMatched;
    }
    return allMatched;
}
