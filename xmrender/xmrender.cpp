// xmrender: plays an XM module offline through the live block loop and writes a 44100 Hz 16-bit
// stereo WAV file, or a per-tick trace of the sequencer's channels and voices.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "offline_render.h"
#include "song.h"

namespace {

constexpr long kDefaultSeconds = 60;
// The WAV format counts its data in 32 bits: six hours of 44100 Hz stereo 16-bit fit.
constexpr long kMaxSeconds = 6L * 3600;

const char* const kUsage =
    "usage: xmrender MODULE.xm OUT.wav [SECONDS]\n"
    "       xmrender --trace OUT.txt MODULE.xm [SECONDS]\n"
    "\n"
    "Plays MODULE.xm from its start and writes SECONDS seconds (default 60) of it as a\n"
    "44100 Hz 16-bit stereo WAV file. With --trace, writes instead one text line per tick\n"
    "and channel: order position, row, tick, channel, the row's note, instrument, volume\n"
    "column and effect, period and its delta, volume and its delta, panning, envelope\n"
    "outputs, fade-out, and the channel's voice: its slot, left and right gains, frequency\n"
    "and sample position. Channels with nothing playing and an empty cell are left out.\n";

// Why a step failed: a cause of the renderer's own, or the error number of the system call that
// failed, taken at that call. Empty (no cause, no number) when nothing failed.
struct Failure {
    const char* cause = nullptr;
    int systemError = 0;

    bool Failed() const { return cause != nullptr || systemError != 0; }
};

// The error number of the call that just failed; a call that set none still counts as failed.
Failure SystemFailure(const char* fallback) {
    return errno != 0 ? Failure{nullptr, errno} : Failure{fallback, 0};
}

std::string Describe(const Failure& failure) {
    return failure.cause != nullptr ? failure.cause : std::strerror(failure.systemError);
}

struct Options {
    bool trace = false;
    const char* module = nullptr;
    const char* output = nullptr;
    long seconds = kDefaultSeconds;
};

bool ParseSeconds(const char* text, long* seconds) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > kMaxSeconds) return false;
    *seconds = value;
    return true;
}

bool ParseArguments(int argc, char** argv, Options* options) {
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--trace") == 0) {
        options->trace = true;
        first = 2;
    }
    int count = argc - first;
    if (count < 2 || count > 3) return false;
    if (options->trace) {
        options->output = argv[first];
        options->module = argv[first + 1];
    } else {
        options->module = argv[first];
        options->output = argv[first + 1];
    }
    return count == 2 || ParseSeconds(argv[first + 2], &options->seconds);
}

// The module's bytes behind a 32-bit little-endian length, as the loader takes them.
Failure ReadModuleImage(const char* path, std::vector<std::uint8_t>* image) {
    errno = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return SystemFailure("cannot open the file");
    image->assign(4, 0);
    std::uint8_t buffer[65536];
    std::size_t read;
    errno = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        image->insert(image->end(), buffer, buffer + read);
    }
    const Failure readFailure = std::ferror(file) != 0 ? SystemFailure("read error") : Failure{};
    std::fclose(file);
    if (readFailure.Failed()) return readFailure;
    const std::uint64_t length = image->size() - 4;
    if (length > UINT32_MAX) return {"larger than 4 GiB", 0};
    for (std::size_t i = 0; i < 4; ++i) (*image)[i] = static_cast<std::uint8_t>(length >> (8 * i));
    return {};
}

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A chunk's four-letter name, without the literal's terminating NUL.
void PutTag(std::uint8_t* at, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(tag[i]);
}

void WaveHeader(std::uint8_t header[44], std::uint32_t frames) {
    std::uint32_t dataBytes = frames * 4;
    PutTag(header, "RIFF");
    PutLittleEndian(header + 4, 36 + dataBytes, 4);
    PutTag(header + 8, "WAVE");
    PutTag(header + 12, "fmt ");
    PutLittleEndian(header + 16, 16, 4);  // format chunk size
    PutLittleEndian(header + 20, 1, 2);   // PCM
    PutLittleEndian(header + 22, 2, 2);   // channels
    PutLittleEndian(header + 24, kRenderRate, 4);
    PutLittleEndian(header + 28, kRenderRate * 4, 4);
    PutLittleEndian(header + 32, 4, 2);   // bytes per frame
    PutLittleEndian(header + 34, 16, 2);  // bits per sample
    PutTag(header + 36, "data");
    PutLittleEndian(header + 40, dataBytes, 4);
}

// Samples as little-endian bytes whatever the host's order.
Failure WriteFrames(std::FILE* file, const std::int16_t* frames, std::uint32_t count) {
    std::uint8_t bytes[4 * 1024];
    std::uint32_t done = 0;
    while (done < count) {
        std::uint32_t chunk = count - done < 1024 ? count - done : 1024;
        for (std::uint32_t i = 0; i < chunk * 2; ++i) {
            PutLittleEndian(bytes + std::size_t{2} * i,
                            static_cast<std::uint16_t>(frames[done * 2 + i]), 2);
        }
        errno = 0;
        if (std::fwrite(bytes, 4, chunk, file) != chunk) return SystemFailure("write error");
        done += chunk;
    }
    return {};
}

constexpr const char* kNoMemoryForRings = "not enough memory for the render buffers";

Failure WriteWave(std::FILE* file, Song* song, std::uint32_t frames) {
    std::uint8_t header[44];
    WaveHeader(header, frames);
    errno = 0;
    if (std::fwrite(header, 1, sizeof header, file) != sizeof header)
        return SystemFailure("write error");
    if (!BeginOfflinePlayback(song)) return {kNoMemoryForRings, 0};
    Failure failure;
    std::uint32_t done = 0;
    while (!failure.Failed() && done < frames) {
        const std::int16_t* block = RenderNextBlock();
        std::uint32_t blockFrames = static_cast<std::uint32_t>(RenderedBlockFrames());
        std::uint32_t count = frames - done < blockFrames ? frames - done : blockFrames;
        failure = WriteFrames(file, block, count);
        done += count;
    }
    EndOfflinePlayback();
    return failure;
}

// The trace's file and the first failure writing to it; later pieces are dropped after one.
struct TraceFile {
    std::FILE* file;
    Failure failure;
};

void WriteTraceText(const char* text, std::size_t length, void* context) {
    auto* trace = static_cast<TraceFile*>(context);
    if (trace->failure.Failed()) return;
    errno = 0;
    if (std::fwrite(text, 1, length, trace->file) != length)
        trace->failure = SystemFailure("write error");
}

Failure WriteTrace(std::FILE* file, Song* song, std::int64_t frames) {
    TraceFile trace{file, {}};
    if (!TraceSong(song, frames, WriteTraceText, &trace)) return {kNoMemoryForRings, 0};
    return trace.failure;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        std::fputs(kUsage, stderr);
        return 1;
    }

    std::vector<std::uint8_t> image;
    const Failure readFailure = ReadModuleImage(options.module, &image);
    if (readFailure.Failed()) {
        std::fprintf(stderr, "xmrender: cannot read %s: %s\n", options.module,
                     Describe(readFailure).c_str());
        return 1;
    }
    Song* song = LoadModule(image.data());
    if (song == nullptr) {
        std::fprintf(stderr, "xmrender: %s is not a playable XM module\n", options.module);
        return 1;
    }

    // Written under a temporary name beside the target and renamed when complete, so that a
    // failed run leaves no partial file behind. A device or pipe already there (/dev/null, a
    // FIFO) is written directly: a rename would replace the device node itself.
    std::error_code statusError;
    const std::filesystem::file_status existing =
        std::filesystem::status(options.output, statusError);
    const bool direct =
        std::filesystem::exists(existing) && !std::filesystem::is_regular_file(existing);
    std::string temporary =
        direct ? std::string(options.output) : std::string(options.output) + ".partial";
    errno = 0;
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "xmrender: cannot write %s: %s\n", options.output,
                     Describe(SystemFailure("cannot create the file")).c_str());
        FreeModule(song);
        return 1;
    }

    std::int64_t frames = static_cast<std::int64_t>(options.seconds) * kRenderRate;
    Failure failure = options.trace ? WriteTrace(file, song, frames)
                                    : WriteWave(file, song, static_cast<std::uint32_t>(frames));
    errno = 0;
    if (std::fclose(file) != 0 && !failure.Failed()) failure = SystemFailure("write error");
    FreeModule(song);
    if (!failure.Failed() && !direct) {
#ifdef _WIN32
        std::remove(options.output);  // rename does not replace a file there
#endif
        errno = 0;
        if (std::rename(temporary.c_str(), options.output) != 0) {
            failure = SystemFailure("cannot move the finished file into place");
        }
    }
    if (failure.Failed()) {
        std::fprintf(stderr, "xmrender: cannot write %s: %s\n", options.output,
                     Describe(failure).c_str());
        if (!direct) std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
