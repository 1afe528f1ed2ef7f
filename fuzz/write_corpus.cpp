// Writes the fuzz target's seed corpus: a few tiny XM modules from the test builder, as the
// bare XM bytes (the fuzz target adds the length prefix). Usage: player_fuzz_corpus DIR
#include <cstdio>
#include <string>

#include "xm_builder.h"

namespace {

void Write(const std::string& directory, const char* name, const xmtest::Bytes& bytes) {
    const std::string path = directory + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    const std::string directory = argv[1];
    using namespace xmtest;
    Write(directory, "small_song.xm", BuildXm(SmallSongModule()));

    XmModule pingPong = SmallSongModule();
    XmSample& sample = pingPong.instruments[0].samples[0];
    std::vector<std::int16_t> wave;
    wave.reserve(24);
    for (int i = 0; i < 24; ++i) wave.push_back(static_cast<std::int16_t>(i * 2000 - 24000));
    sample.data = DeltaCode16(wave);
    sample.length = 48;
    sample.loopStart = 8;
    sample.loopLength = 30;
    sample.type = 0x12;
    pingPong.instruments[0].samples.push_back(XmSample{});
    pingPong.instruments[0].sampleMap[10] = 1;
    Write(directory, "ping_pong_16bit.xm", BuildXm(pingPong));

    XmModule sparse;
    sparse.channels = 2;
    sparse.songLength = 3;
    sparse.order[0] = 0;
    sparse.order[1] = 2;
    sparse.order[2] = 1;
    sparse.restartPosition = 1;
    XmPattern empty;
    empty.rows = 2;
    sparse.patterns.push_back(empty);
    sparse.instruments.push_back(XmInstrument{});
    Write(directory, "missing_pattern_empty_instrument.xm", BuildXm(sparse));
    return 0;
}
