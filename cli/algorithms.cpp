// Algorithm names come from the digest table, so the tool spells them as the window does.
#include "algorithms.h"

#include <bit>

int CountAlgorithms(AlgorithmSet set) {
    return std::popcount(static_cast<unsigned>(set));
}

DigestKind OnlyAlgorithm(AlgorithmSet set) {
    return static_cast<DigestKind>(std::countr_zero(static_cast<unsigned>(set)));
}

const char* AlgorithmName(DigestKind kind) {
    return DigestRow(kind).name;
}

int AlgorithmTextLength(DigestKind kind) {
    return DigestRow(kind).textLength;
}

bool HasTextShape(DigestKind kind, std::string_view text) {
    const DigestAlgorithm& row = DigestRow(kind);
    const auto longest = static_cast<std::size_t>(row.textLength);
    if (row.textForm == TextForm::kDecimal) {
        return !text.empty() && text.size() <= longest &&
               text.find_first_not_of("0123456789") == std::string_view::npos;
    }
    return text.size() == longest &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `typed` spells `name`, ignoring case and single inner dashes; a dash of the name's
// own may be typed or left out.
bool Spells(std::string_view typed, std::string_view name) {
    if (typed.empty() || typed.front() == '-' || typed.back() == '-') return false;
    std::size_t at = 0;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] == '-') {
            if (typed[i - 1] == '-') return false;
            continue;
        }
        if (at < name.size() && name[at] == '-') ++at;
        if (at == name.size() || Lower(typed[i]) != Lower(name[at])) return false;
        ++at;
    }
    return at == name.size();
}

}  // namespace

bool ParseAlgorithmName(std::string_view name, DigestKind* kind) {
    for (const DigestAlgorithm& row : DigestTable) {
        if (Spells(name, row.name)) {
            *kind = row.kind;
            return true;
        }
    }
    return false;
}

bool ParseAlgorithmList(std::string_view list, AlgorithmSet* set, std::string* unknown) {
    AlgorithmSet parsed = 0;
    for (;;) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        DigestKind kind{};
        if (!ParseAlgorithmName(item, &kind)) {
            *unknown = item;
            return false;
        }
        parsed |= AlgorithmBit(kind);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    *set = parsed;
    return true;
}

std::string AlgorithmNames() {
    std::string names;
    for (const DigestAlgorithm& row : DigestTable) {
        if (!names.empty()) names += ", ";
        names += row.name;
    }
    return names;
}

std::string AlgorithmNamesInProse() {
    std::string names;
    for (int k = 0; k < kDigestCount; ++k) {
        if (k != 0) names += k + 1 == kDigestCount ? " and " : ", ";
        names += DigestTable[k].name;
    }
    return names;
}
