// hashcalc-cli in scripts written for md5sum and its siblings: check lists with awkward
// lines, output shared between runs and streams, and option order, each compared with the
// coreutils tool doing the same.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

constexpr const char kMd5OfAbc[] = "900150983cd24fb0d6963f7d28e17f72";

// Runs the rest of a test inside `folder`, so that lists can name files relative to it,
// names with leading spaces included.
struct InFolder {
    explicit InFolder(const std::string& folder) : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;
    std::filesystem::path previous;
};

ProgramRun RunShell(const std::string& script) {
    return RunProgram("sh", {"-c", script});
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

TEST(CliCheckLists, AListOnStandardInputCannotNameStandardInput) {
    const TempFolder folder;
    const std::string abc = folder.Write("abc", "abc");
    const std::string digest = kMd5OfAbc;
    const std::string shortList =
        folder.Write("short", digest + "  -\n" + digest + "  " + abc + "\n");
    // Past the first read of the list: every line after the one naming "-" is still checked.
    std::string longText = "d41d8cd98f00b204e9800998ecf8427e  -\n";
    for (int i = 0; i < 2000; ++i) longText += digest + "  " + abc + "\n";
    const std::string longList = folder.Write("long", longText);
    for (const std::string& list : {shortList, longList}) {
        for (const char* option : {"--quiet", "-w", "--strict"}) {
            ExpectSameAsPeer(kPeers[0], {"-c", option}, list);
        }
        const ProgramRun run = ExpectSameAsPeer(kPeers[0], {"-c"}, list);
        EXPECT_EQ(run.out.find("-: OK"), std::string::npos);
    }
    const std::string results = RunCli({"-a", "md5", "-c"}, longList).out;
    EXPECT_EQ(std::count(results.begin(), results.end(), '\n'), 2000);
    // A list in a file may still name standard input.
    EXPECT_EQ(RunCli({"-a", "md5", "-c", folder.Write("stdin", digest + "  -\n")}, abc).out,
              "-: OK\n");
}

TEST(CliCheckLists, TheFirstLineDecidesHowEveryUntaggedLineIsRead) {
    const TempFolder folder;
    const InFolder inside(folder.path);
    for (const char* name : {"b", " b", "c", "*c", " "}) folder.Write(name, "abc");
    folder.Write(" b", "tampered");
    const std::string d = kMd5OfAbc;
    const std::vector<std::string> lists = {
        d + " b\n" + d + "  b\n" + d + " *c\n",   // one space: " b" and "*c" are the names
        d + "  b\n" + d + "  b\n" + d + " *c\n",  // two spaces: the mode character is dropped
        d + " *c\n" + d + " c\n",                 // then a one-space line is badly formatted
        d + "  \n" + d + " b\n",                  // one character after the blank is a name
        d + "\tb\n" + d + "  b\n",
        "junk\n" + d + " x(\n" + d + " b\n" + d + "  b\n",
    };
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const std::string list = folder.Write("list" + std::to_string(i), lists[i]);
        ExpectSameAsPeer(kPeers[0], {"-c", list});
        ExpectSameAsPeer(kPeers[0], {"-c", "-w", list});
    }
    EXPECT_EQ(RunCli({"-a", "md5", "-c", folder.path + "/list0"}).status, 1);
}

TEST(CliCheckLists, LastOfQuietStatusAndWarnWins) {
    const TempFolder folder;
    const std::string abc = folder.Write("abc", "abc");
    const std::string list = folder.Write("list", std::string(kMd5OfAbc) + "  " + abc + "\njunk\n" +
                                                      kMd5OfAbc + "  " + folder.path + "\n");
    const std::vector<std::vector<std::string>> orders = {
        {"--status", "--warn"}, {"--warn", "--status"}, {"--status", "--quiet"},
        {"--quiet", "--warn"},  {"-w", "--quiet"},      {"--warn", "--quiet", "--status"},
    };
    for (const std::vector<std::string>& order : orders) {
        std::vector<std::string> arguments = {"-c"};
        arguments.insert(arguments.end(), order.begin(), order.end());
        arguments.push_back(list);
        ExpectSameAsPeer(kPeers[0], arguments);
    }
}

TEST(CliSharedOutput, ResultsAndMessagesKeepTheirOrderInOneLog) {
    const TempFolder folder;
    const std::string abc = folder.Write("abc", "abc");
    const std::string d = kMd5OfAbc;
    const std::string list =
        folder.Write("list", d + "  " + abc + "\nbad\n" + d + "  " + folder.path + "/missing\n" +
                                 d + "  " + abc + "\n" + d + "  " + folder.path + "\n");
    for (const char* options : {"-c -w", "-c", "-c --quiet"}) {
        const std::string tail = std::string(" ") + options + " " + Quoted(list) + " 2>&1";
        const ProgramRun theirs = RunShell("md5sum" + tail);
        const ProgramRun ours = RunShell(Quoted(HASHCALC_CLI_PATH) + " -a md5" + tail);
        EXPECT_EQ(ours.out, AsOurMessages(theirs.out, "md5sum")) << options;
    }
    const ProgramRun hashing = RunShell(Quoted(HASHCALC_CLI_PATH) + " -a md5 " + Quoted(abc) + " " +
                                        Quoted(folder.path) + " " + Quoted(abc) + " 2>&1");
    EXPECT_EQ(hashing.out, d + "  " + abc + "\nhashcalc-cli: " + folder.path +
                               ": Is a directory\n" + d + "  " + abc + "\n");
}

TEST(CliSharedOutput, ParallelRunsIntoOnePipeWriteWholeLines) {
    // Enough lines that each run writes many blocks' worth while the other one is writing.
    constexpr int kFiles = 4000;
    const TempFolder folder;
    std::set<std::string> expected;
    std::string names;
    const std::string d = kMd5OfAbc;
    for (int i = 0; i < kFiles; ++i) {
        const std::string file =
            folder.Write("file_" + std::to_string(i) + std::string(90, 'n'), "abc");
        names += file + "\n";
        expected.insert(d + "  " + file);
    }
    const std::string list = folder.Write("names", names);
    const ProgramRun run = RunShell("xargs -P2 -n2000 " + Quoted(HASHCALC_CLI_PATH) + " -a md5 < " +
                                    Quoted(list) + " | cat");
    EXPECT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        ASSERT_EQ(expected.count(line), 1u) << line;
    }
    EXPECT_EQ(count, kFiles);
}

TEST(CliSharedOutput, HelpAndVersionIntoAFullDiskAreWriteErrors) {
    for (const char* option : {"--help", "--version"}) {
        const ProgramRun run = RunProgram(HASHCALC_CLI_PATH, {option}, "/dev/null", "/dev/full");
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_EQ(run.err, "hashcalc-cli: write error: No space left on device\n") << option;
    }
}

}  // namespace
