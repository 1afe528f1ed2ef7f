#include "output_forms.h"

#include <cstdio>

bool EscapeFileName(std::string_view name, std::string* escaped) {
    escaped->clear();
    bool changed = false;
    for (const char c : name) {
        switch (c) {
            case '\\':
                *escaped += "\\\\";
                changed = true;
                break;
            case '\n':
                *escaped += "\\n";
                changed = true;
                break;
            case '\r':
                *escaped += "\\r";
                changed = true;
                break;
            default: *escaped += c;
        }
    }
    return changed;
}

bool UnescapeFileName(std::string_view escaped, std::string* name) {
    name->clear();
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            *name += escaped[i];
            continue;
        }
        if (++i == escaped.size()) return false;
        switch (escaped[i]) {
            case '\\': *name += '\\'; break;
            case 'n': *name += '\n'; break;
            case 'r': *name += '\r'; break;
            default: return false;
        }
    }
    return true;
}

PrintedNames PrintedNamesOf(DigestKind kind) {
    // cksum's CRC is printed as cksum prints it; every other tag is the name itself, which is
    // what sha512sum --tag and b2sum --tag write for theirs.
    if (kind == DigestKind::kCksum)
        return {AlgorithmName(kind), UntaggedStyle::kDecimalCrcLengthName};
    return {AlgorithmName(kind)};
}

bool SfvCanHold(std::string_view name) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    return !name.empty() && name.find_first_of("\n\r") == std::string_view::npos &&
           name.front() != ';' && name.front() != '#' && !isBlank(name.front()) &&
           !isBlank(name.back());
}

std::string ResultLine(const PrintedNames& names, std::string_view fileName, std::string_view text,
                       std::uint64_t byteCount, const LineFormat& format) {
    std::string escaped;
    const bool escapes = !format.zeroEnded && format.style != LineStyle::kSfv &&
                         format.style != LineStyle::kDigestOnly;
    std::string line;
    // One character appended rather than a literal assigned: GCC 12 warns wrongly of
    // overlapping copies on the assignment in optimised builds.
    if (escapes && EscapeFileName(fileName, &escaped)) {
        line += '\\';
    } else {
        escaped = fileName;
    }
    switch (format.style) {
        case LineStyle::kGnu:
            if (names.untagged == UntaggedStyle::kDecimalCrcLengthName) {
                line.append(text).append(" ").append(std::to_string(byteCount));
                if (!fileName.empty()) line.append(" ").append(escaped);
            } else {
                line.append(text).append(format.binary ? " *" : "  ").append(escaped);
            }
            break;
        case LineStyle::kTag:
            line.append(names.tag).append(" (").append(escaped).append(") = ").append(text);
            break;
        case LineStyle::kSfv: line.append(escaped).append(" ").append(text); break;
        case LineStyle::kDigestOnly: line.append(text); break;
    }
    line += format.zeroEnded ? '\0' : '\n';
    return line;
}

std::string DigestLine(DigestKind kind, std::string_view fileName, std::string_view text,
                       const LineFormat& format, std::uint64_t byteCount) {
    return ResultLine(PrintedNamesOf(kind), fileName, text, byteCount, format);
}

std::string CheckResultLine(std::string_view fileName, std::string_view verdict) {
    std::string line;
    if (fileName.find('\n') != std::string_view::npos) {
        std::string escaped;
        EscapeFileName(fileName, &escaped);
        line.append("\\").append(escaped);
    } else {
        line.append(fileName);
    }
    line.append(": ").append(verdict).append("\n");
    return line;
}

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Characters a shell takes literally anywhere in a word; bytes of multibyte characters too.
bool IsPlain(unsigned char c, bool first) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80) {
        return true;
    }
    switch (c) {
        case '%':
        case '+':
        case ',':
        case '-':
        case '.':
        case '/':
        case '@':
        case ']':
        case '_':
        case '{':
        case '}': return true;
        case '~':
        case '#': return !first;  // only special where a word starts
        default: return false;
    }
}

// A control character as the shell's $'...' form writes it.
std::string ControlEscape(unsigned char c) {
    switch (c) {
        case '\a': return "\\a";
        case '\b': return "\\b";
        case '\t': return "\\t";
        case '\n': return "\\n";
        case '\v': return "\\v";
        case '\f': return "\\f";
        case '\r': return "\\r";
        default: {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(c));
            return octal;
        }
    }
}

}  // namespace

std::string QuoteForMessage(std::string_view name) {
    bool plain = !name.empty();
    bool hasControl = false;
    bool hasSingleQuote = false;
    bool doubleQuotesWork = true;  // nothing a shell expands inside double quotes
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        plain = plain && IsPlain(c, i == 0);
        hasControl = hasControl || IsControl(c);
        hasSingleQuote = hasSingleQuote || c == '\'';
        if (c == '"' || c == '$' || c == '`' || c == '\\' || c == '!') doubleQuotesWork = false;
    }
    if (plain) return std::string(name);
    if (hasSingleQuote && !hasControl && doubleQuotesWork) {
        std::string quoted = "\"";
        quoted.append(name).append("\"");
        return quoted;
    }
    std::string quoted = "'";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\'') {
            quoted += "'\\''";
        } else if (IsControl(byte)) {
            quoted.append("'$'").append(ControlEscape(byte)).append("''");
        } else {
            quoted += c;
        }
    }
    quoted += "'";
    return quoted;
}
