// Running a program as a child process from a test, on POSIX and on Windows alike: given
// arguments and standard input, it returns what the program wrote to standard output and
// standard error, byte for byte, and its exit code.
#pragma once

#include <string>
#include <vector>

namespace test_support {

struct ProcessResult {
    bool started = false;  // false when the program could not be started at all
    int exitCode = -1;     // the program's exit code; -1 if it died of a signal
    std::string standardOutput;
    std::string standardError;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& standardInput = "");

// A folder of this process's own under the system's temporary folder, removed with all it
// holds when the object goes. Test programs run in parallel, so names carry the process id.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Path() joined with `name`.
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace test_support
