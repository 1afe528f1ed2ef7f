// Fuzz target: any bytes, read as a checksum list, never crash the line reader, and every line
// it accepts, written back in its own style, reads back as the same line. The first byte picks
// the algorithms given with -a, since they decide how untagged lines are read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "check.h"

namespace {

constexpr AlgorithmSet kSelections[] = {
    kAllAlgorithms,
    AlgorithmBit(DigestKind::kMD5),
    AlgorithmBit(DigestKind::kCRC32),
    AlgorithmBit(DigestKind::kSHA256),
};

bool SameLine(const ChecksumLine& a, const ChecksumLine& b) {
    return a.kind == b.kind && a.expected == b.expected && a.fileName == b.fileName &&
           a.style == b.style;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const AlgorithmSet selected = kSelections[data[0] % std::size(kSelections)];
    std::string_view list(reinterpret_cast<const char*>(data + 1), size - 1);
    UntaggedForm form = UntaggedForm::kUndecided;
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        const std::string_view line = list.substr(0, end);
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);

        ChecksumLine parsed;
        if (ParseChecksumLine(line, selected, &form, &parsed) != LineForm::kChecksum) continue;
        // Read back with the form the list has now, as the next line of it would be.
        UntaggedForm formAfter = form;
        const std::string written = ChecksumLineText(parsed);
        ChecksumLine again;
        if (ParseChecksumLine(written, selected, &formAfter, &again) != LineForm::kChecksum ||
            !SameLine(parsed, again) || formAfter != form) {
            std::abort();
        }
    }
    return 0;
}
