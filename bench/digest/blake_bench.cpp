// Speed of the BLAKE2b, BLAKE2s and BLAKE3 streams on 1 MiB fed in 64 KiB pieces, as a file
// hasher feeds them, once per form this processor can run ("BLAKE3/avx2", ".../portable").
// compare_blake.sh sets these beside b2sum and b3sum. Last, BLAKE3 on two threads.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "file_digests.h"
#include "processor.h"

namespace {

std::string FeatureName(unsigned features) {
    if (features & kFeatureAVX512) return "avx512";
    if (features & kFeatureAVX2) return "avx2";
    if (features & kFeatureSSE41) return "sse41";
    return "portable";
}

void OneForm(benchmark::State& state, const StreamForm* form) {
    constexpr std::size_t kLength = std::size_t{1} << 20;
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    std::vector<unsigned char> message(kLength);
    for (std::size_t i = 0; i < kLength; ++i) message[i] = static_cast<unsigned char>(i * 7);
    struct alignas(kStreamStateAlignment) {
        unsigned char bytes[kStreamStateBytes];
    } stream;
    char text[kBLAKE2bTextLength + 1];
    for (auto _ : state) {
        form->start(stream.bytes);
        for (std::size_t at = 0; at < kLength; at += kPiece) {
            form->feed(stream.bytes, message.data() + at, kPiece);
        }
        form->finish(stream.bytes, text);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLength));
}

// One 16 MiB range on two threads against the best form alone on one; wall-clock time, since
// the point is the elapsed time.
void TwoThreads(benchmark::State& state) {
    constexpr std::size_t kLength = std::size_t{16} << 20;
    std::vector<unsigned char> message(kLength);
    for (std::size_t i = 0; i < kLength; ++i) message[i] = static_cast<unsigned char>(i * 7);
    char text[kBLAKE3TextLength + 1];
    for (auto _ : state) {
        HashBLAKE3OnTwoThreads(message.data(), kLength, text);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLength));
}

void RegisterForms(const char* name, const StreamForm* forms, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if ((DetectedProcessorFeatures() & forms[i].features) != forms[i].features) continue;
        const std::string label = std::string(name) + "/" + FeatureName(forms[i].features);
        benchmark::RegisterBenchmark(label.c_str(), OneForm, &forms[i]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    RegisterForms("BLAKE2b", kBLAKE2bStreamForms, kBLAKE2bStreamFormCount);
    RegisterForms("BLAKE2s", kBLAKE2sStreamForms, kBLAKE2sStreamFormCount);
    RegisterForms("BLAKE3", kBLAKE3StreamForms, kBLAKE3StreamFormCount);
    benchmark::RegisterBenchmark("BLAKE3/two-threads-16MiB", TwoThreads)->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
