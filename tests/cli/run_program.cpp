#include "run_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdlib.h>

#include <atomic>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

std::string ReadAndRemove(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    unlink(path.c_str());
    return content.str();
}

std::string CapturePath(const char* stream) {
    static std::atomic<int> counter{0};
    return ::testing::TempDir() + "run_" + std::to_string(getpid()) + "_" +
           std::to_string(counter++) + "_" + stream;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& inputPath, const std::string& outputPath,
                      bool errorToTerminal) {
    const std::string outPath = outputPath.empty() ? CapturePath("out") : outputPath;
    std::string errPath = CapturePath("err");
    int terminal = -1;
    if (errorToTerminal) {
        terminal = posix_openpt(O_RDWR | O_NOCTTY);
        if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) return {};
        errPath = ptsname(terminal);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
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

    ProgramRun run;
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (terminal >= 0) {
            // Drain the terminal while the child runs, so that it never blocks on writing.
            char buffer[4096];
            for (;;) {
                const ssize_t got = read(terminal, buffer, sizeof buffer);
                if (got <= 0) break;  // EIO once the child has closed its side
                run.err.append(buffer, static_cast<std::size_t>(got));
            }
        }
        waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (outputPath.empty()) run.out = ReadAndRemove(outPath);
    if (terminal >= 0) {
        close(terminal);
    } else {
        run.err = ReadAndRemove(errPath);
    }
    return run;
}
