// A file hashed whole with the twelve streaming digests on a thread of its own, so that the
// window stays responsive. The thread reports to the dialog by posted messages: progress
// while it reads, then once that it ended (done, cancelled or failed). The dialog owns the
// job from the end message on and releases it with ReleaseFileHash.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "digest.h"
#include "digest_table.h"
#include "win32.h"

// wParam: the job; lParam: the per cent read so far.
constexpr UINT kFileHashProgressMessage = WM_APP + 1;
// wParam: the job, ended.
constexpr UINT kFileHashEndedMessage = WM_APP + 2;

enum class FileHashOutcome { kRunning, kDone, kCancelled, kMissing, kFolder, kUnreadable };

struct FileHashJob {
    HWND dialog = nullptr;
    std::string path;
    std::atomic<bool> cancelRequested{false};
    FileHashOutcome outcome = FileHashOutcome::kRunning;
    int error = 0;  // errno of a failed open or read
    std::uint64_t size = 0;
    char texts[kWindowDigestCount][kLongestTextBytes] = {};  // catalogue order, when done
};

// Checks the file and starts its thread. Returns null, with `outcome` and `error` saying why,
// when the file is missing, a folder or cannot be opened; nothing is posted then.
FileHashJob* StartFileHash(HWND dialog, const std::string& path, FileHashOutcome* outcome,
                           int* error);
// Asks the thread to stop soon; its end message still comes.
void CancelFileHash(FileHashJob* job);
void ReleaseFileHash(FileHashJob* job);

// The last part of a path, for titles and messages.
std::string FileNameOf(const std::string& path);
// A sentence naming the file and why it cannot be hashed.
std::string FileProblemText(const std::string& path, FileHashOutcome outcome, int error);
