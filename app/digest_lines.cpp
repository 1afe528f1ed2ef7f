#include "digest_lines.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// The text in lowercase when it is all hexadecimal digits, else empty.
std::string HexOrEmpty(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (!IsHexDigit(c)) return std::string();
        digits += Lower(c);
    }
    return digits;
}

}  // namespace

std::string DigestLines(std::string_view source, const char* const texts[kWindowDigestCount],
                        const char* lineEnd) {
    std::string escaped;
    bool marked = false;
    for (const char c : source) {
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else {
            escaped += c;
            continue;
        }
        marked = true;
    }
    std::string lines;
    for (int k = 0; k < kWindowDigestCount; ++k) {
        if (marked) lines += '\\';
        lines.append(DigestTable[k].name).append(" (").append(escaped).append(") = ");
        lines.append(texts[k]).append(lineEnd);
    }
    return lines;
}

std::string PublishedDigest(std::string_view text) {
    text = Trimmed(text);
    // Only the first line counts: a list's first entry, or the one line copied.
    const std::size_t lineEnd = text.find_first_of("\r\n");
    if (lineEnd != std::string_view::npos) text = Trimmed(text.substr(0, lineEnd));
    // NAME (FILE) = DIGEST
    const std::size_t equals = text.rfind(" = ");
    if (equals != std::string_view::npos && text.find(" (") != std::string_view::npos) {
        return HexOrEmpty(Trimmed(text.substr(equals + 3)));
    }
    // DIGEST  NAME, DIGEST *NAME, or a digest alone; an escaped name marks the line with '\'.
    if (!text.empty() && text.front() == '\\') text.remove_prefix(1);
    std::size_t end = 0;
    while (end < text.size() && !IsSpace(text[end])) ++end;
    return HexOrEmpty(text.substr(0, end));
}

int MatchingDigest(std::string_view digest, const char* const texts[kWindowDigestCount]) {
    if (digest.empty()) return -1;
    for (int k = 0; k < kWindowDigestCount; ++k) {
        std::string_view shown = texts[k];
        if (shown.size() != digest.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < shown.size() && same; ++i) {
            same = Lower(shown[i]) == Lower(digest[i]);
        }
        if (same) return k;
    }
    return -1;
}
