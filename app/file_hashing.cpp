#include "file_hashing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "digest_stream.h"

namespace {

// Read in pieces small enough that a cancel is seen within a few milliseconds even by MD2,
// the slowest of the twelve, and large enough to keep the reads cheap.
constexpr std::size_t kPieceBytes = std::size_t{64} * 1024;

struct OpenedFile {
    std::FILE* file = nullptr;
    ~OpenedFile() {
        if (file != nullptr) std::fclose(file);
    }
};

DWORD WINAPI HashFileThread(LPVOID parameter) {
    auto* job = static_cast<FileHashJob*>(parameter);
    OpenedFile opened;
    opened.file = std::fopen(job->path.c_str(), "rb");
    if (opened.file == nullptr) {
        job->outcome = FileHashOutcome::kUnreadable;
        job->error = errno;
    } else {
        const std::unique_ptr<unsigned char[]> piece(new unsigned char[kPieceBytes]);
        DigestStream streams[kWindowDigestCount];
        for (int k = 0; k < kWindowDigestCount; ++k)
            StartDigest(&streams[k], static_cast<DigestKind>(k));
        std::uint64_t fed = 0;
        long shownPercent = -1;
        while (job->outcome == FileHashOutcome::kRunning) {
            const std::size_t count = std::fread(piece.get(), 1, kPieceBytes, opened.file);
            for (int k = 0; k < kWindowDigestCount && !job->cancelRequested.load(); ++k) {
                FeedDigest(&streams[k], piece.get(), count);
            }
            fed += count;
            if (job->cancelRequested.load()) {
                job->outcome = FileHashOutcome::kCancelled;
            } else if (count < kPieceBytes && std::ferror(opened.file) != 0) {
                job->outcome = FileHashOutcome::kUnreadable;
                job->error = errno != 0 ? errno : EIO;
            } else if (count < kPieceBytes) {
                for (int k = 0; k < kWindowDigestCount; ++k)
                    FinishDigest(&streams[k], job->texts[k]);
                job->outcome = FileHashOutcome::kDone;
            } else if (job->size > 0) {
                // The size may have grown since the start; the per cent then stays at 99.
                const long percent =
                    static_cast<long>(std::min<std::uint64_t>(fed * 100 / job->size, 99));
                if (percent != shownPercent) {
                    shownPercent = percent;
                    PostMessageA(job->dialog, kFileHashProgressMessage,
                                 reinterpret_cast<WPARAM>(job), percent);
                }
            }
        }
        job->size = fed;
    }
    PostMessageA(job->dialog, kFileHashEndedMessage, reinterpret_cast<WPARAM>(job), 0);
    return 0;
}

}  // namespace

FileHashJob* StartFileHash(HWND dialog, const std::string& path, FileHashOutcome* outcome,
                           int* error) {
    namespace fs = std::filesystem;
    std::error_code status;
    const fs::file_status found = fs::status(fs::path(path), status);
    *error = status.value();
    if (!fs::exists(found)) {
        *outcome = status && status != std::errc::no_such_file_or_directory
                       ? FileHashOutcome::kUnreadable
                       : FileHashOutcome::kMissing;
        return nullptr;
    }
    if (fs::is_directory(found)) {
        *outcome = FileHashOutcome::kFolder;
        return nullptr;
    }
    // Opened here once, so that an unreadable file is told at once rather than by the thread.
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        *outcome = FileHashOutcome::kUnreadable;
        *error = errno;
        return nullptr;
    }
    std::fclose(probe);

    auto* job = new FileHashJob;
    job->dialog = dialog;
    job->path = path;
    std::error_code sizeError;
    const std::uintmax_t size = fs::file_size(fs::path(path), sizeError);
    job->size = sizeError ? 0 : static_cast<std::uint64_t>(size);
    const HANDLE thread = CreateThread(nullptr, 0, HashFileThread, job, 0, nullptr);
    if (thread == nullptr) {
        delete job;
        *outcome = FileHashOutcome::kUnreadable;
        *error = EAGAIN;
        return nullptr;
    }
    // The thread ends by itself after its last message; nobody waits for it.
    CloseHandle(thread);
    *outcome = FileHashOutcome::kRunning;
    return job;
}

void CancelFileHash(FileHashJob* job) {
    if (job != nullptr) job->cancelRequested.store(true);
}

void ReleaseFileHash(FileHashJob* job) {
    delete job;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FileProblemText(const std::string& path, FileHashOutcome outcome, int error) {
    const std::string named = "\"" + path + "\"";
    switch (outcome) {
        case FileHashOutcome::kMissing: return "The file " + named + " does not exist (any more).";
        case FileHashOutcome::kFolder:
            return named + " is a folder, not a file; only files can be hashed.";
        default:
            return "The file " + named +
                   " cannot be read: " + std::strerror(error != 0 ? error : EIO) + ".";
    }
}
