// hashcalc-cli run as a process: its twelve lines for a text, a file and standard input, and
// for every mistake one line on standard error, nothing on standard output and status 1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "digest_test_support.h"

extern char** environ;

namespace {

using digest_test::Digest;
using digest_test::PatternMessage;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// A file name of this test process's own: CTest runs the cases as parallel processes.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "hashcalc_cli_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// A temporary file that is removed when the test is done with it.
struct TempFile {
    explicit TempFile(const std::string& name, const std::string& content = "")
        : path(TempPath(name)) {
        std::ofstream file(path, std::ios::binary);
        file << content;
    }
    ~TempFile() { unlink(path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string path;
};

// Runs the tool with `arguments`, standard input read from `inputPath`.
CliRun RunCli(const std::vector<std::string>& arguments,
              const std::string& inputPath = "/dev/null") {
    const TempFile out("stdout");
    const TempFile err("stderr");
    const std::string& outPath = out.path;
    const std::string& errPath = err.path;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> all = {HASHCALC_CLI_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);

    CliRun run;
    pid_t child = 0;
    if (posix_spawn(&child, HASHCALC_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

// The output the tool must print for `message`, built from the library's routines.
std::string ExpectedLines(const std::string& message) {
    std::string lines;
    for (const DigestInfo& info : DigestCatalogue) {
        lines += std::string(info.name) + " " + Digest(info, message) + "\n";
    }
    return lines;
}

void ExpectOneErrorLine(const CliRun& run, const std::string& mentions) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(mentions), std::string::npos) << run.err;
}

TEST(HashcalcCli, TextAfterDashSPrintsTheTwelveLinesInFieldOrder) {
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    const CliRun run = RunCli({"-s", fox});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, ExpectedLines(fox));
    EXPECT_EQ(run.out.substr(0, 37), "MD5 9e107d9d372bb6826bd81d3542a419d6\n");
    EXPECT_NE(run.out.find("\nSHA1 2fd4e1c67a2d28fced849ee1bb76e7391b93eb12\n"), std::string::npos);
    EXPECT_NE(run.out.find("\nCRC32 414FA339\n"), std::string::npos);
}

TEST(HashcalcCli, FileAndStandardInputGiveTheSameLines) {
    // Longer than the window's 767 characters and with every byte value, NULs included.
    const std::string message = PatternMessage(5000);
    const TempFile input("input.bin", message);
    const std::string& path = input.path;
    const std::string expected = ExpectedLines(message);

    const CliRun fromFile = RunCli({path});
    EXPECT_EQ(fromFile.status, 0);
    EXPECT_EQ(fromFile.out, expected);
    const CliRun fromDash = RunCli({"-"}, path);
    EXPECT_EQ(fromDash.status, 0);
    EXPECT_EQ(fromDash.out, expected);
    const CliRun fromNothing = RunCli({}, path);
    EXPECT_EQ(fromNothing.status, 0);
    EXPECT_EQ(fromNothing.out, expected);
}

TEST(HashcalcCli, EmptyInputAndALeadingDashFileName) {
    EXPECT_EQ(RunCli({}).out, ExpectedLines(""));
    EXPECT_EQ(RunCli({"-s", ""}).out, ExpectedLines(""));
    const TempFile input("-dash", "abc");
    const std::string& path = input.path;
    EXPECT_EQ(RunCli({"--", path}).out, ExpectedLines("abc"));
}

TEST(HashcalcCli, InputsLongerThanOneReadChunk) {
    const std::string message = PatternMessage((std::size_t{1} << 20) * 2 + 77);
    const TempFile input("large.bin", message);
    const std::string& path = input.path;
    const CliRun run = RunCli({path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ExpectedLines(message));
}

TEST(HashcalcCli, HelpPrintsUsage) {
    const CliRun run = RunCli({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: hashcalc-cli", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST(HashcalcCli, MistakesPrintOneLineOnStandardErrorAndExitWithOne) {
    ExpectOneErrorLine(RunCli({TempPath("missing")}), "_missing'");
    ExpectOneErrorLine(RunCli({::testing::TempDir()}), "cannot read");
    ExpectOneErrorLine(RunCli({"-x"}), "'-x'");
    ExpectOneErrorLine(RunCli({"--verbose"}), "'--verbose'");
    ExpectOneErrorLine(RunCli({"-s"}), "-s");
    ExpectOneErrorLine(RunCli({"-s", "a", "-s", "b"}), "more than one input");
}

TEST(HashcalcCli, InputsOf4GiBAreRefused) {
    // A sparse file: no disk space is used and the tool refuses it before reading.
    const TempFile input("four_gib.bin");
    const std::string& path = input.path;
    const int file = open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(file, 0);
    const bool sized = ftruncate(file, off_t{1} << 32) == 0;
    close(file);
    if (!sized) GTEST_SKIP() << "cannot create a sparse 4 GiB file";
    ExpectOneErrorLine(RunCli({path}), "4 GiB");
    ExpectOneErrorLine(RunCli({"-"}, path), "4 GiB");
}

}  // namespace
