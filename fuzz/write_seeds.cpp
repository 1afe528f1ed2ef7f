// Writes the fuzz target's seed modules: the sequencer's golden songs, which between them use
// every effect, volume-column command and envelope kind, and the embedded song with its
// sample data cut short so that it fits the fuzzer's input length.
// Usage: fuzz_seed_writer SONG.xm DIR
#include <cstdio>
#include <string>
#include <vector>

#include "golden_songs.h"
#include "xm_layout.h"

namespace {

constexpr std::uint32_t kKeptSampleBytes = 64;
constexpr std::size_t kMaxSeedBytes = 12000;  // below the fuzzer's input length limit

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::uint8_t buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    std::fclose(file);
    return true;
}

// Keeps the first few bytes of every sample and moves its loop inside them.
void ShortenSamples(xmfuzz::XmLayout* layout) {
    for (xmfuzz::XmInstrumentPart& instrument : layout->instruments) {
        for (std::size_t s = 0; s < instrument.sampleHeaders.size(); ++s) {
            xmfuzz::Bytes& data = instrument.sampleData[s];
            if (data.size() > kKeptSampleBytes) data.resize(kKeptSampleBytes);
            xmfuzz::Bytes& header = instrument.sampleHeaders[s];
            const std::uint32_t length = static_cast<std::uint32_t>(data.size());
            std::uint32_t loopStart =
                xmfuzz::Get32(header, xm::kSampleLoopStartOffset) % (length / 2 + 1);
            loopStart &= ~1u;  // whole 16-bit frames
            xmfuzz::Set32(header, xm::kSampleLoopStartOffset, loopStart);
            xmfuzz::Set32(header, xm::kSampleLoopLengthOffset, (length - loopStart) & ~1u);
        }
    }
}

// Drops patterns from the end until the module fits; order entries are folded onto the
// patterns that remain.
void DropPatternsToFit(xmfuzz::XmLayout* layout) {
    while (layout->patterns.size() > 1 && xmfuzz::WriteXm(*layout).size() > kMaxSeedBytes) {
        layout->patterns.pop_back();
    }
    const std::size_t kept = layout->patterns.size();
    for (std::size_t i = 0; i < xm::kOrderTableLength && kept > 0; ++i) {
        layout->header[xm::kOrderTableOffset + i] =
            static_cast<std::uint8_t>(layout->header[xm::kOrderTableOffset + i] % kept);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SONG.xm DIR\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[2];
    for (const GoldenSong& golden : GoldenSongs()) {
        std::vector<std::uint8_t> image = golden.song->XmImage();
        image.erase(image.begin(), image.begin() + 4);  // the length prefix
        if (!WriteFile(directory + "/golden_" + golden.name + ".xm", image)) return 1;
    }
    std::vector<std::uint8_t> song;
    xmfuzz::XmLayout layout;
    if (!ReadFile(argv[1], &song) || !xmfuzz::ParseXm(song.data(), song.size(), &layout)) {
        std::fprintf(stderr, "%s: cannot read %s as a module\n", argv[0], argv[1]);
        return 1;
    }
    ShortenSamples(&layout);
    DropPatternsToFit(&layout);
    return WriteFile(directory + "/embedded_song_short_samples.xm", xmfuzz::WriteXm(layout)) ? 0
                                                                                             : 1;
}
