// Standard input, output and error of the child go through files in a temporary folder: the
// child can never block on a full pipe, and no reader threads are needed.
#include "process_runner.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace test_support {

namespace {

namespace fs = std::filesystem;

unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

#ifdef _WIN32
// One argument as the C runtime's command-line parser reads it back: quoted when it holds
// blanks or quotes or is empty; backslashes are literal except before a quote.
std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string quoted(1, '"');
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') quoted.append(backslashes * 2 + 1, '\\');
        else quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

HANDLE OpenInherited(const std::string& path, bool forWriting) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Spawn(const std::string& program, const std::vector<std::string>& arguments,
           const std::string& inPath, const std::string& outPath, const std::string& errPath,
           int& exitCode) {
    std::string commandLine = QuoteArgument(program);
    for (const std::string& argument : arguments) {
        commandLine += ' ';
        commandLine += QuoteArgument(argument);
    }
    HANDLE in = OpenInherited(inPath, false);
    HANDLE out = OpenInherited(outPath, true);
    HANDLE err = OpenInherited(errPath, true);
    bool started = false;
    if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process{};
        started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                 nullptr, nullptr, &startup, &process) != 0;
        if (started) {
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            exitCode = static_cast<int>(code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    for (HANDLE handle : {in, out, err}) {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    return started;
}
#else
bool Spawn(const std::string& program, const std::vector<std::string>& arguments,
           const std::string& inPath, const std::string& outPath, const std::string& errPath,
           int& exitCode) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const bool started =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (started) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return started;
}
#endif

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& standardInput) {
    const TempFolder folder;
    const std::string inPath = folder.File("stdin");
    const std::string outPath = folder.File("stdout");
    const std::string errPath = folder.File("stderr");
    ProcessResult result;
    if (!WriteWholeFile(inPath, standardInput)) return result;
    result.started = Spawn(program, arguments, inPath, outPath, errPath, result.exitCode);
    result.standardOutput = ReadWholeFile(outPath);
    result.standardError = ReadWholeFile(errPath);
    return result;
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> count{0};
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    const fs::path folder = base / ("hashcalc_test_" + std::to_string(ProcessId()) + "_" +
                                    std::to_string(count.fetch_add(1)));
    fs::create_directories(folder, error);
    path_ = folder.string();
}

TempFolder::~TempFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
}

std::string TempFolder::File(const std::string& name) const {
    return (fs::path(path_) / name).string();
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

}  // namespace test_support
