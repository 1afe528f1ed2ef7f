// What the tool's process tests share: temporary folders, running the tool, and running it
// beside a coreutils tool to compare lines, messages and exit status.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "digest_test_support.h"
#include "run_program.h"

namespace cli_test {

// A folder of this test process's own, removed with everything in it.
struct TempFolder {
    TempFolder() {
        static int counter = 0;
        path = ::testing::TempDir() + "hashcalc_cli_" + std::to_string(getpid()) + "_" +
               std::to_string(counter++);
        std::filesystem::create_directories(path);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Write(const std::string& name, const std::string& content) const {
        std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    std::string path;
};

inline std::string ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

inline ProgramRun RunCli(const std::vector<std::string>& arguments,
                         const std::string& input = "/dev/null") {
    return RunProgram(HASHCALC_CLI_PATH, arguments, input);
}

struct Peer {
    const char* program;    // the coreutils tool
    const char* algorithm;  // what -a names for the same digest
};
inline constexpr Peer kPeers[] = {{"md5sum", "MD5"}, {"sha1sum", "SHA1"}, {"sha256sum", "SHA256"}};

// Replaces the peer's name where its messages start a line.
inline std::string AsOurMessages(std::string text, const std::string& peer) {
    const std::string from = peer + ": ";
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos;) {
        if (at == 0 || text[at - 1] == '\n') {
            text.replace(at, from.size(), "hashcalc-cli: ");
            at += 14;
        } else {
            at += from.size();
        }
    }
    return text;
}

// Runs the peer with `arguments` and the tool with "-a ALGORITHM" and the same arguments, and
// expects the same output, messages and exit status. Returns the tool's run.
inline ProgramRun ExpectSameAsPeer(const Peer& peer, const std::vector<std::string>& arguments,
                                   const std::string& input = "/dev/null") {
    const ProgramRun theirs = RunProgram(peer.program, arguments, input);
    std::vector<std::string> ours = {"-a", peer.algorithm};
    ours.insert(ours.end(), arguments.begin(), arguments.end());
    ProgramRun run = RunCli(ours, input);
    std::string shown;
    for (const std::string& argument : arguments) shown += " " + argument;
    EXPECT_EQ(run.status, theirs.status) << peer.program << shown << "\n" << run.err;
    EXPECT_EQ(run.out, theirs.out) << peer.program << shown;
    EXPECT_EQ(run.err, AsOurMessages(theirs.err, peer.program)) << peer.program << shown;
    return run;
}

// The files most tests hash: awkward names, an empty file, one spanning several read blocks.
struct SampleFiles {
    TempFolder folder;
    std::string abc = folder.Write("abc", "abc");
    std::string empty = folder.Write("empty", "");
    std::string large =
        folder.Write("large", digest_test::PatternMessage((std::size_t{3} << 20) + 5));
    std::string newline = folder.Write("new\nline", "x");
    std::string backslash = folder.Write("back\\slash", "y");
    std::string carriage = folder.Write("carriage\rreturn", "z");
    std::string dashed = folder.Write("-dashed", "-");
    std::vector<std::string> All() const {
        return {abc, empty, large, newline, backslash, carriage, "--", dashed};
    }
};

}  // namespace cli_test
