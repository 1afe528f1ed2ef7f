// songwriter OUT.xm: composes the embedded song and writes it as an XM file.
#include <cstdio>

#include "instruments.h"
#include "score.h"
#include "score_notation.h"
#include "xm_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: songwriter OUT.xm\n");
        return 2;
    }
    XmModule module = ComposeSong();
    module.instruments = BuildInstruments();
    if (CompositionClashes() != 0) {
        std::fprintf(stderr, "songwriter: the score writes %d cells twice\n", CompositionClashes());
        return 1;
    }
    const std::vector<std::uint8_t> image = SerializeModule(module);
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const std::size_t written = std::fwrite(image.data(), 1, image.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != image.size() || !closed) {
        std::fprintf(stderr, "songwriter: could not write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[1], image.size());
    return 0;
}
