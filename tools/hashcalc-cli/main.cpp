// hashcalc-cli: prints the twelve digests and checksums of a file, of standard input or of a
// text given on the command line, one "NAME TEXT" line each, in the window's field order.
//
// The input is read once and kept as it was read, in chunks; before each routine it is copied
// into one work buffer with room for the routine's padding. Memory therefore stays near twice
// the input, and every length below 4 GiB (the routines take a 32-bit count) works.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "digest.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr std::uint64_t kLargestInput = 0xFFFFFFFF;
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

const char kUsage[] =
    "usage: hashcalc-cli [FILE | - | -s TEXT]\n"
    "Prints the MD5, MD2, MD4, SHA0, SHA1, SHA256, RIPEMD128, RIPEMD160, RIPEMD256, CRC16,\n"
    "CRC32 and CRC32b of the bytes of FILE, of standard input (\"-\" or no argument) or of\n"
    "TEXT, one \"NAME TEXT\" line each. Inputs must be shorter than 4 GiB.\n";

// The input as read: pieces that point either into owned chunks or at the command line.
struct Input {
    std::vector<std::unique_ptr<char[]>> chunks;
    struct Piece {
        const char* bytes;
        std::size_t size;
    };
    std::vector<Piece> pieces;
    std::uint64_t size = 0;
};

enum class Source { kStandardInput, kFile, kText };

struct Request {
    Source source = Source::kStandardInput;
    const char* argument = nullptr;  // file name or text
    bool help = false;
};

void Fail(const std::string& message) {
    std::fprintf(stderr, "hashcalc-cli: %s\n", message.c_str());
}

std::string TooLarge(const std::string& what) {
    return what + " is 4 GiB or larger";
}

// Reads the command line into `request`; on a mistake reports it and returns false.
bool ParseArguments(int argc, char** argv, Request& request) {
    bool haveInput = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        Request next;
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            request.help = true;
            return true;
        } else if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        } else if (!optionsEnded && argument == "-s") {
            if (i + 1 >= argc) {
                Fail("option -s needs a text");
                return false;
            }
            next.source = Source::kText;
            next.argument = argv[++i];
        } else if (!optionsEnded && argument == "-") {
            next.source = Source::kStandardInput;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            Fail("unknown option '" + argument + "' (try --help)");
            return false;
        } else {
            next.source = Source::kFile;
            next.argument = argv[i];
        }
        if (haveInput) {
            Fail("more than one input given (try --help)");
            return false;
        }
        request = next;
        haveInput = true;
    }
    return true;
}

// Reads a whole stream in chunks. `name` is how errors refer to it.
bool ReadStream(std::FILE* stream, const std::string& name, Input& input) {
    struct stat status {};
    if (fstat(fileno(stream), &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uint64_t>(status.st_size) > kLargestInput) {
        Fail(TooLarge(name));
        return false;
    }
    for (;;) {
        std::unique_ptr<char[]> chunk(new (std::nothrow) char[kChunkBytes]);
        if (chunk == nullptr) {
            Fail("not enough memory to read " + name);
            return false;
        }
        errno = 0;
        const std::size_t got = std::fread(chunk.get(), 1, kChunkBytes, stream);
        if (got > 0) {
            input.size += got;
            if (input.size > kLargestInput) {
                Fail(TooLarge(name));
                return false;
            }
            input.pieces.push_back({chunk.get(), got});
            input.chunks.push_back(std::move(chunk));
        }
        if (got < kChunkBytes) {
            if (std::ferror(stream)) {
                const int error = errno;
                Fail("cannot read " + name +
                     (error != 0 ? ": " + std::string(std::strerror(error)) : ""));
                return false;
            }
            return true;
        }
    }
}

bool ReadInput(const Request& request, Input& input) {
    switch (request.source) {
        case Source::kText: {
            const std::size_t size = std::strlen(request.argument);
            if (size > kLargestInput) {
                Fail(TooLarge("the text"));
                return false;
            }
            input.pieces.push_back({request.argument, size});
            input.size = size;
            return true;
        }
        case Source::kStandardInput:
#ifdef _WIN32
            _setmode(_fileno(stdin), _O_BINARY);
#endif
            return ReadStream(stdin, "standard input", input);
        case Source::kFile: {
            const std::string name = std::string("'") + request.argument + "'";
            std::FILE* file = std::fopen(request.argument, "rb");
            if (file == nullptr) {
                Fail("cannot open " + name + ": " + std::strerror(errno));
                return false;
            }
            const bool read = ReadStream(file, name, input);
            std::fclose(file);
            return read;
        }
    }
    return false;
}

// Runs the twelve routines, each on a fresh copy of the input, and collects their lines.
bool DigestInput(const Input& input, std::string& lines) {
    const auto length = static_cast<std::uint32_t>(input.size);
    const std::uint64_t workBytes = DigestBufferLength(length);
    std::unique_ptr<char[]> work(new (std::nothrow) char[workBytes]);
    if (work == nullptr) {
        Fail("not enough memory for a work buffer of " + std::to_string(workBytes) + " bytes");
        return false;
    }
    unsigned char scratch[kDigestScratchBytes];
    for (const DigestInfo& info : DigestCatalogue) {
        char* at = work.get();
        for (const Input::Piece& piece : input.pieces) {
            std::memcpy(at, piece.bytes, piece.size);
            at += piece.size;
        }
        if (info.withScratch != nullptr) {
            info.withScratch(work.get(), length, scratch);
        } else {
            info.routine(work.get(), length);
        }
        lines += info.name;
        lines += ' ';
        lines += work.get();
        lines += '\n';
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Request request;
    if (!ParseArguments(argc, argv, request)) return 1;
    if (request.help) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    Input input;
    if (!ReadInput(request, input)) return 1;
    std::string lines;
    if (!DigestInput(input, lines)) return 1;
    if (std::fwrite(lines.data(), 1, lines.size(), stdout) != lines.size() ||
        std::fflush(stdout) != 0) {
        Fail(std::string("cannot write the results: ") + std::strerror(errno));
        return 1;
    }
    return 0;
}
