// Hashes one file with the best usable form of BLAKE2b, BLAKE2s or BLAKE3, reading it in 64 KiB
// pieces, and prints the text as b2sum and b3sum do; compare_blake.sh times it beside them.
// Usage: blake_file blake2b|blake2s|blake3 FILE
#include <cstdio>
#include <cstring>
#include <vector>

#include "file_digests.h"
#include "processor.h"

namespace {

const StreamForm* BestForm(const StreamForm* forms, std::size_t count) {
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (ProcessorFeaturesUsable(forms[i].features)) return &forms[i];
    }
    return &forms[count - 1];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: blake_file blake2b|blake2s|blake3 FILE\n");
        return 2;
    }
    const StreamForm* form = nullptr;
    if (std::strcmp(argv[1], "blake2b") == 0)
        form = BestForm(kBLAKE2bStreamForms, kBLAKE2bStreamFormCount);
    if (std::strcmp(argv[1], "blake2s") == 0)
        form = BestForm(kBLAKE2sStreamForms, kBLAKE2sStreamFormCount);
    if (std::strcmp(argv[1], "blake3") == 0)
        form = BestForm(kBLAKE3StreamForms, kBLAKE3StreamFormCount);
    std::FILE* file = std::fopen(argv[2], "rb");
    if (form == nullptr || file == nullptr) {
        std::fprintf(stderr, "blake_file: unknown algorithm or unreadable file\n");
        return 1;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    struct alignas(kStreamStateAlignment) {
        unsigned char bytes[kStreamStateBytes];
    } state;
    std::vector<unsigned char> piece(std::size_t{1} << 16);
    form->start(state.bytes);
    std::size_t count;
    while ((count = std::fread(piece.data(), 1, piece.size(), file)) != 0) {
        form->feed(state.bytes, piece.data(), count);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return 1;
    char text[kBLAKE2bTextLength + 1];
    form->finish(state.bytes, text);
    std::printf("%s  %s\n", text, argv[2]);
    return 0;
}
