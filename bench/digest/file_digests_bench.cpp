// Speed of the command-line tool's further digests: each form of each on 1 MiB fed in 64 KiB
// pieces, as a file hasher feeds them ("File/SHA512/avx2", "File/CRC32C/portable"). Forms this
// processor lacks are left out.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "file_digests.h"
#include "processor.h"

namespace {

struct alignas(kStreamStateAlignment) StreamState {
    unsigned char bytes[kStreamStateBytes];
};

void OneForm(benchmark::State& state, const StreamForm* form) {
    constexpr std::size_t kLength = std::size_t{1} << 20;
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    std::vector<unsigned char> message(kLength);
    for (std::size_t i = 0; i < kLength; ++i) message[i] = static_cast<unsigned char>('a' + i % 26);
    char text[160];
    StreamState stream;
    for (auto _ : state) {
        form->start(&stream);
        for (std::size_t at = 0; at < kLength; at += kPiece) {
            form->feed(&stream, message.data() + at, kPiece);
        }
        form->finish(&stream, text);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLength));
}

// "portable", or the instruction sets the form needs.
std::string FormLabel(unsigned features) {
    if (features == 0) return "portable";
    static const std::pair<unsigned, const char*> kNames[] = {
        {kFeatureSHA, "sha"},     {kFeatureAVX512, "avx512"}, {kFeatureAVX2, "avx2"},
        {kFeatureSSE42, "sse42"}, {kFeatureCLMUL, "clmul"},   {kFeatureBMI1, "bmi1"},
        {kFeatureBMI2, "bmi2"},
    };
    std::string label;
    for (const auto& [feature, name] : kNames) {
        if ((features & feature) == 0) continue;
        if (!label.empty()) label += "+";
        label += name;
    }
    return label;
}

}  // namespace

int main(int argc, char** argv) {
    const std::pair<const char*, const StreamForm*> digests[] = {
        {"SHA224", kSHA224Forms},     {"SHA384", kSHA384Forms},
        {"SHA512", kSHA512Forms},     {"SHA512_256", kSHA512_256Forms},
        {"SHA3_224", kSHA3_224Forms}, {"SHA3_256", kSHA3_256Forms},
        {"SHA3_384", kSHA3_384Forms}, {"SHA3_512", kSHA3_512Forms},
        {"CRC32C", kCRC32CForms},     {"Cksum", kCksumForms},
    };
    for (const auto& [name, forms] : digests) {
        for (const StreamForm* form = forms;; ++form) {
            if (ProcessorFeaturesUsable(form->features)) {
                const std::string label =
                    std::string("File/") + name + "/" + FormLabel(form->features);
                benchmark::RegisterBenchmark(label.c_str(), OneForm, form)
                    ->Unit(benchmark::kMicrosecond);
            }
            if (form->features == 0) break;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
