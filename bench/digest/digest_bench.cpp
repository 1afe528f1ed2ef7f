// Speed of the window's digest routines: each one on 64 bytes, 767 bytes (the longest text the
// window takes) and 1 MiB, and all twelve one after another on a 767-byte text as the window runs
// them. Then the streams of every row of the digest table on 1 MiB fed in 64 KiB pieces, as a file
// hasher feeds them, once on the portable paths ("Stream/NAME/portable") and once on the
// processor-specific ones where this processor has them ("Stream/NAME/hardware").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "digest.h"
#include "digest_stream.h"

namespace {

std::vector<char> Message(std::size_t length) {
    std::vector<char> message(length);
    for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<char>('a' + i % 26);
    return message;
}

// One routine on one length. Between runs only the bytes a routine overwrites inside the
// message (its text at the start) are restored; padding behind the message is rebuilt by every
// call anyway, so the figure is the routine's own cost.
void OneRoutine(benchmark::State& state, const DigestAlgorithm* row, std::size_t length) {
    const std::vector<char> message = Message(length);
    std::vector<char> buffer(DigestBufferLength(static_cast<std::uint32_t>(length)));
    std::memcpy(buffer.data(), message.data(), length);
    unsigned char scratch[kDigestScratchBytes];
    const std::size_t restore = std::min<std::size_t>(length, 65);
    for (auto _ : state) {
        std::memcpy(buffer.data(), message.data(), restore);
        row->windowRoutine(buffer.data(), static_cast<std::uint32_t>(length), scratch);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(length));
}

// All twelve on one 767-byte text, each on its own copy, as a recompute in the window does.
void AllTwelve(benchmark::State& state) {
    constexpr std::uint32_t kLength = 767;
    const std::vector<char> message = Message(kLength);
    std::vector<std::vector<char>> copies(kWindowDigestCount,
                                          std::vector<char>(DigestBufferLength(kLength)));
    unsigned char scratch[kDigestScratchBytes];
    for (auto _ : state) {
        for (std::size_t i = 0; i < copies.size(); ++i) {
            std::memcpy(copies[i].data(), message.data(), kLength);
        }
        for (std::size_t i = 0; i < copies.size(); ++i) {
            DigestTable[i].windowRoutine(copies[i].data(), kLength, scratch);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLength);
}

// One stream over 1 MiB in 64 KiB pieces, started and finished every time.
void OneStream(benchmark::State& state, DigestKind kind, bool hardware) {
    constexpr std::size_t kLength = std::size_t{1} << 20;
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    const std::vector<char> message = Message(kLength);
    AllowHardwareDigests(hardware);
    char text[kLongestStreamTextBytes];
    for (auto _ : state) {
        DigestStream stream;
        StartDigest(&stream, kind);
        for (std::size_t at = 0; at < kLength; at += kPiece) {
            FeedDigest(&stream, message.data() + at, kPiece);
        }
        FinishDigest(&stream, text);
        benchmark::DoNotOptimize(text);
    }
    AllowHardwareDigests(true);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLength));
}

}  // namespace

int main(int argc, char** argv) {
    for (const DigestAlgorithm& row : DigestTable) {
        if (row.windowRoutine == nullptr) continue;
        for (std::size_t length : {std::size_t{64}, std::size_t{767}, std::size_t{1} << 20}) {
            const std::string name = std::string(row.name) + "/" + std::to_string(length);
            benchmark::RegisterBenchmark(name.c_str(), OneRoutine, &row, length)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::RegisterBenchmark("AllTwelve/767", AllTwelve)->Unit(benchmark::kMicrosecond);
    for (int i = 0; i < kDigestCount; ++i) {
        const auto kind = static_cast<DigestKind>(i);
        const std::string name = std::string("Stream/") + DigestTable[i].name;
        benchmark::RegisterBenchmark((name + "/portable").c_str(), OneStream, kind, false)
            ->Unit(benchmark::kMicrosecond);
        if (UsesHardwareDigest(kind)) {
            benchmark::RegisterBenchmark((name + "/hardware").c_str(), OneStream, kind, true)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
