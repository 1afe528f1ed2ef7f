// hashcalc-cli in scripts written for md5sum and its siblings: check lists with awkward
// lines, output shared between runs and streams, and option order, each compared with the
// coreutils tool doing the same.
#include <gtest/gtest.h>
#include <sys/stat.h>
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
    for (int i = 0; i < 2000; ++i) {
        longText += digest;
        longText += "  ";
        longText += abc;
        longText += "\n";
    }
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
        "\\" + d + " b\\q\n" + d + "  b\n",  // a bad escape still decides the form
        d.substr(2) + " b\n" + d + "  b\n",  // a digest of the wrong length does not
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
        names += file;
        names += "\n";
        expected.insert(std::string(d).append("  ").append(file));
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

namespace {

// Runs `arguments` through the peer and the tool and expects the same outcome; with `same`
// unset only the exit status and standard output must agree (usage messages differ).
void ExpectPeerOutcome(const Peer& peer, const std::vector<std::string>& arguments, bool same) {
    if (same) {
        ExpectSameAsPeer(peer, arguments);
        return;
    }
    const ProgramRun theirs = RunProgram(peer.program, arguments);
    std::vector<std::string> ours = {"-a", peer.algorithm};
    ours.insert(ours.end(), arguments.begin(), arguments.end());
    const ProgramRun run = RunCli(ours);
    EXPECT_EQ(run.status, theirs.status) << peer.program << " " << arguments[0];
    EXPECT_EQ(run.out, theirs.out) << peer.program << " " << arguments[0];
}

TEST(CliDropIn, EveryOptionOfTheCoreutilsToolsWritesWhatTheyWrite) {
    const SampleFiles files;
    const std::vector<std::vector<std::string>> optionSets = {
        {"-b"}, {"--binary"}, {"-t"},          {"--text"},      {"-b", "-t"}, {"-t", "-b"},
        {"-z"}, {"--ze"},     {"-z", "--tag"}, {"--tag", "-b"}, {"-bz"},      {"--tag", "--bin"},
    };
    for (const Peer& peer : kPeers) {
        for (const std::vector<std::string>& options : optionSets) {
            std::vector<std::string> arguments = options;
            for (const std::string& file : files.All()) arguments.push_back(file);
            ExpectSameAsPeer(peer, arguments);
        }
        const std::vector<std::vector<std::string>> refused = {
            {"--tag", "-t", files.abc}, {"-b", "--tag", "-t", files.abc}, {"-c", "-b", files.abc},
            {"-c", "-t", files.abc},    {"-c", "-z", files.abc},          {"--quiet", files.abc},
        };
        for (const std::vector<std::string>& arguments : refused) {
            ExpectPeerOutcome(peer, arguments, false);
        }
    }
    // A list written with -b is what md5sum -b writes, and both tools check it.
    const std::string list = files.folder.Write("list", "");
    RunProgram(HASHCALC_CLI_PATH, {"-a", "md5", "-b", files.abc, files.newline}, "/dev/null", list);
    EXPECT_EQ(ExpectSameAsPeer(kPeers[0], {"-c", list}).status, 0);
}

TEST(CliDropIn, FormsOfOurOwnBesideTheirNearestCoreutilsForm) {
    const SampleFiles files;
    const ProgramRun plain = RunProgram("md5sum", {files.abc, files.large});
    EXPECT_EQ(RunCli({"-a", "md5", "--tag", "--untagged", files.abc, files.large}).out, plain.out);
    std::string digests;
    std::istringstream lines(plain.out);
    for (std::string line; std::getline(lines, line);) digests += line.substr(0, 32) + "\n";
    EXPECT_EQ(RunCli({"-a", "md5", "--no-names", files.abc, files.large}).out, digests);
    EXPECT_EQ(RunCli({"-a", "md5", "-l", "128", files.abc}).out,
              RunProgram("md5sum", {files.abc}).out);
    EXPECT_EQ(RunCli({"-a", "sha256", "--length=0", files.abc}).status, 0);
    // Lengths the tool cannot produce, and forms that cannot say which algorithm: refused.
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-a", "md5", "-l", "64", files.abc},
          {"-a", "md5,sha1", "-l", "128", files.abc},
          {"--untagged", files.abc},
          {"-a", "md5", "--sfv", files.abc},
          {"--sfv", "--tag", files.abc}}) {
        const ProgramRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 1) << arguments[2];
        EXPECT_EQ(run.out, "");
    }
}

// rhash and cksfv begin their lists with ';' comments; the lines after them are the list.
std::string WithoutComments(const std::string& list) {
    std::string kept;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != ';') kept += line + "\n";
    }
    return kept;
}

TEST(CliSfv, ListsAreWhatRhashAndCksfvWriteAndEachChecksTheOthers) {
    const TempFolder folder;
    const InFolder inside(folder.path);
    folder.Write("abc", "abc");
    folder.Write("sp ace", "x");
    folder.Write("empty", "");
    folder.Write("large", digest_test::PatternMessage(3 << 20));
    const std::vector<std::string> names = {"abc", "sp ace", "empty", "large"};
    std::vector<std::string> sfv = {"--sfv"};
    sfv.insert(sfv.end(), names.begin(), names.end());

    const ProgramRun ours = RunCli(sfv);
    EXPECT_EQ(ours.status, 0);
    EXPECT_EQ(ours.out, WithoutComments(RunProgram("rhash", sfv).out));
    EXPECT_EQ(ours.out, WithoutComments(RunProgram("cksfv", names).out));
    EXPECT_EQ(ours.out.substr(0, 13), "abc 352441C2\n");

    const std::string ourList = folder.Write("ours.sfv", ours.out);
    EXPECT_EQ(RunProgram("cksfv", {"-q", "-f", ourList}).status, 0);
    EXPECT_EQ(RunProgram("rhash", {"-c", ourList}).status, 0);
    for (const char* writer : {"rhash", "cksfv"}) {
        const std::string theirs = folder.Write(std::string(writer) + ".sfv", "");
        RunProgram(writer, writer == std::string("rhash") ? sfv : names, "/dev/null", theirs);
        const ProgramRun check = RunCli({"-c", theirs});
        EXPECT_EQ(check.status, 0) << writer << check.err;
        EXPECT_EQ(check.out, "abc: OK\nsp ace: OK\nempty: OK\nlarge: OK\n") << writer;
    }
    folder.Write("sp ace", "y");
    for (const std::string& list : {ourList, folder.path + "/cksfv.sfv"}) {
        const ProgramRun check = RunCli({"-c", "--quiet", list});
        EXPECT_EQ(check.status, 1);
        EXPECT_EQ(check.out, "sp ace: FAILED\n");
        EXPECT_EQ(RunProgram("cksfv", {"-q", "-f", list}).status, 1);
    }
    // A name the list could not hold is refused, not written as a broken line.
    folder.Write("new\nline", "z");
    const ProgramRun broken = RunCli({"--sfv", "abc", "new\nline", " lead", "-s", "a\nb"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, "abc 352441C2\n");
    EXPECT_EQ(std::count(broken.err.begin(), broken.err.end(), '\n'), 3) << broken.err;
}

TEST(CliRecursive, EveryRegularFileInSortedOrderLinksOnlyWhenAsked) {
    const TempFolder folder;
    const InFolder inside(folder.path);
    std::filesystem::create_directories("tree/sub/deeper");
    folder.Write("tree/b", "b");
    folder.Write("tree/a", "a");
    folder.Write("tree/sub/c", "c");
    folder.Write("tree/sub/deeper/d", "d");
    folder.Write("tree/sub2", "s");
    folder.Write("outside", "o");
    std::filesystem::create_symlink("../outside", "tree/link");
    std::filesystem::create_directory_symlink("sub", "tree/linked");
    std::filesystem::create_directory_symlink("..", "tree/sub/loop");
    mkfifo("tree/fifo", 0600);

    const auto md5Lines = [](const std::vector<std::string>& files) {
        return RunProgram("md5sum", files).out;
    };
    const ProgramRun walked = RunCli({"-a", "md5", "-r", "tree"});
    EXPECT_EQ(walked.status, 0) << walked.err;
    EXPECT_EQ(walked.out,
              md5Lines({"tree/a", "tree/b", "tree/sub/c", "tree/sub/deeper/d", "tree/sub2"}));
    const ProgramRun followed = RunCli({"-a", "md5", "--recursive", "--follow", "tree/"});
    EXPECT_EQ(followed.status, 0) << followed.err;
    EXPECT_EQ(followed.out,
              md5Lines({"tree/a", "tree/b", "tree/link", "tree/linked/c", "tree/linked/deeper/d",
                        "tree/sub/c", "tree/sub/deeper/d", "tree/sub2"}));
    // Files named beside folders are hashed as before; without -r a folder is an error.
    EXPECT_EQ(RunCli({"-a", "md5", "-r", "outside", "tree/sub"}).out,
              md5Lines({"outside", "tree/sub/c", "tree/sub/deeper/d"}));
    EXPECT_EQ(RunCli({"-a", "md5", "tree"}).status, 1);

    if (geteuid() != 0) {  // permissions do not stop the superuser
        std::filesystem::permissions("tree/sub/deeper", std::filesystem::perms::none);
        const ProgramRun blocked = RunCli({"-a", "md5", "-r", "tree"});
        std::filesystem::permissions("tree/sub/deeper", std::filesystem::perms::owner_all);
        EXPECT_EQ(blocked.status, 1);
        EXPECT_EQ(blocked.out, md5Lines({"tree/a", "tree/b", "tree/sub/c", "tree/sub2"}));
        EXPECT_EQ(blocked.err, "hashcalc-cli: tree/sub/deeper: Permission denied\n");
    }
}

}  // namespace
