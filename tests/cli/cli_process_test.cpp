// hashcalc-cli run as a process, most often side by side with md5sum, sha1sum and sha256sum
// on the same files: its lines, messages and exit status must be theirs, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_test_support.h"
#include "digest_test_support.h"
#include "run_program.h"

namespace {

using digest_test::PatternMessage;
using namespace cli_test;

TEST(CliOutputForms, OneAlgorithmWritesWhatCoreutilsWriteInBothForms) {
    const SampleFiles files;
    for (const Peer& peer : kPeers) {
        ExpectSameAsPeer(peer, files.All());
        std::vector<std::string> tagged = {"--tag"};
        for (const std::string& file : files.All()) tagged.push_back(file);
        ExpectSameAsPeer(peer, tagged);
        ExpectSameAsPeer(peer, {"-"}, files.large);
        ExpectSameAsPeer(peer, {}, files.abc);
    }
}

TEST(CliOutputForms, SeveralAlgorithmsWriteTagLinesInWindowOrder) {
    const TempFolder folder;
    const std::string message = PatternMessage(70000);
    const std::string file = folder.Write("input", message);
    std::string expected;
    for (const std::string name : {"\"abc\"", file.c_str()}) {
        for (int k = 0; k < kWindowDigestCount; ++k) {
            const DigestAlgorithm& info = DigestTable[k];
            expected += std::string(info.name) + " (" + name +
                        ") = " + digest_test::Digest(info, name == file ? message : "abc") + "\n";
        }
    }
    const ProgramRun run = RunCli({"-s", "abc", file});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.out.substr(0, 47), "MD5 (\"abc\") = 900150983cd24fb0d6963f7d28e17f72\n");

    const ProgramRun some = RunCli({"-a", "crc32b,Sha-1,md5", "-s", "abc"});
    EXPECT_EQ(some.out,
              "MD5 (\"abc\") = 900150983cd24fb0d6963f7d28e17f72\n"
              "SHA1 (\"abc\") = a9993e364706816aba3e25717850c26c9cd0d89d\n"
              "CRC32b (\"abc\") = 648CBB73\n");
}

TEST(CliOutputForms, PortableCodeGivesTheSameLinesAsProcessorSpecificCode) {
    const SampleFiles files;
    const std::vector<std::string> arguments = {"-a", "sha1,sha256,crc16,crc32,crc32b", files.large,
                                                files.abc, files.empty};
    std::vector<std::string> portable = {"--no-hardware"};
    portable.insert(portable.end(), arguments.begin(), arguments.end());
    const ProgramRun fast = RunCli(arguments);
    EXPECT_EQ(fast.status, 0);
    EXPECT_EQ(RunCli(portable).out, fast.out);
}

TEST(CliErrors, UnreadableInputsAreReportedAndTheRestStillHashed) {
    const SampleFiles files;
    const std::string missing = files.folder.path + "/missing file";
    const ProgramRun run =
        ExpectSameAsPeer(kPeers[0], {files.abc, missing, files.folder.path, files.large});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("hashcalc-cli: " + files.folder.path + ": Is a directory\n"),
              std::string::npos)
        << run.err;
    // Several algorithms: the same messages, and every line of the readable files.
    const ProgramRun all = RunCli({files.abc, missing, files.large});
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.err, "hashcalc-cli: '" + missing + "': No such file or directory\n");
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 2 * kWindowDigestCount);
}

TEST(CliErrors, UsageMistakesStopBeforeAnyInputIsRead) {
    const std::string missing = ::testing::TempDir() + "no_such_input";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{missing, "--verbose"}, "hashcalc-cli: unknown option '--verbose' (try --help)\n"},
        {{"-a", "md5,sha513", missing}, "'sha513'"},
        {{missing, "-a"}, "'-a'"},
        {{"--quiet", missing}, "--quiet"},
    };
    for (const auto& [arguments, mentions] : cases) {
        const ProgramRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(mentions), std::string::npos) << run.err;
    }
}

TEST(CliErrors, OutputThatCannotBeWrittenIsAFailure) {
    const ProgramRun run = RunProgram(HASHCALC_CLI_PATH, {"-s", "abc"}, "/dev/null", "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("hashcalc-cli: write error"), std::string::npos) << run.err;
}

TEST(CliCheck, CoreutilsAcceptWhatTheToolWritesAndTheToolAcceptsWhatTheyWrite) {
    const SampleFiles files;
    for (const Peer& peer : kPeers) {
        for (const bool tag : {false, true}) {
            std::vector<std::string> arguments = files.All();
            if (tag) arguments.insert(arguments.begin(), "--tag");
            const std::string list = files.folder.Write("list", "");
            std::vector<std::string> ours = {"-a", peer.algorithm};
            ours.insert(ours.end(), arguments.begin(), arguments.end());
            RunProgram(HASHCALC_CLI_PATH, ours, "/dev/null", list);
            const ProgramRun theirCheck = RunProgram(peer.program, {"-c", list});
            EXPECT_EQ(theirCheck.status, 0) << peer.program << theirCheck.err;
            EXPECT_EQ(theirCheck.err, "");

            RunProgram(peer.program, arguments, "/dev/null", list);
            const ProgramRun ourCheck = RunCli({"-a", peer.algorithm, "-c", list});
            EXPECT_EQ(ourCheck.status, 0) << ourCheck.err;
            EXPECT_EQ(ourCheck.out, theirCheck.out);
            if (tag) {
                EXPECT_EQ(RunCli({"-c", list}).out, theirCheck.out);
            }
        }
    }
}

TEST(CliCheck, MessagesAndStatusAreMd5sumsForEveryOption) {
    const SampleFiles files;
    const std::string changed = files.folder.Write("changed", "abc");
    const std::string abc = files.abc;
    const std::string digest = "900150983cd24fb0d6963f7d28e17f72";
    const std::string list = files.folder.Write(
        "list", digest + "  " + abc + "\n" + "# a comment\n\n" +
                    "900150983CD24FB0D6963F7D28E17F72 *" + abc + "\r\n" + digest + "  " + changed +
                    "\n" + "not a checksum line\n" + digest + "  " + files.folder.path +
                    "/missing\n" + "MD5 (" + abc + ") = " + digest + "\n" + digest + "  " +
                    files.folder.path + "\n" + "\\" + digest + "  " + files.folder.path +
                    "/back\\\\slash\n");
    files.folder.Write("changed", "abd");  // one byte differs from what was listed
    const std::string good = files.folder.Write("good", digest + "  " + abc + "\n");
    const std::string onlyMissing = files.folder.Write("only_missing", digest + "  nowhere\n");
    const std::string junk = files.folder.Write("junk", "junk\n");
    const std::vector<std::vector<std::string>> optionSets = {
        {},
        {"--quiet"},
        {"--status"},
        {"--strict"},
        {"-w"},
        {"--ignore-missing"},
        {"--ignore-missing", "--quiet"},
        {"--status", "--strict"},
    };
    for (const std::vector<std::string>& options : optionSets) {
        for (const std::string& checked : {list, good, onlyMissing, junk}) {
            std::vector<std::string> arguments = {"-c"};
            arguments.insert(arguments.end(), options.begin(), options.end());
            arguments.push_back(checked);
            ExpectSameAsPeer(kPeers[0], arguments);
        }
    }
    ExpectSameAsPeer(kPeers[0], {"-c", good, list, junk});
    EXPECT_EQ(ExpectSameAsPeer(kPeers[0], {"-c", good}).status, 0);
    EXPECT_EQ(ExpectSameAsPeer(kPeers[0], {"-c"}, good).status, 0);
}

TEST(CliCheck, TwelveAlgorithmsPerFileFromOneList) {
    const TempFolder folder;
    const std::string first = folder.Write("first", PatternMessage(100000));
    const std::string second = folder.Write("second", "abc");
    const std::string list = folder.Write("list", "");
    RunProgram(HASHCALC_CLI_PATH, {first, second}, "/dev/null", list);

    ProgramRun run = RunCli({"-c", list});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2 * kWindowDigestCount);
    EXPECT_EQ(run.out.find("FAILED"), std::string::npos);

    folder.Write("first", PatternMessage(99999) + "!");
    run = RunCli({"-c", "--quiet", list});
    EXPECT_EQ(run.status, 1);
    std::string failures;
    for (int k = 0; k < kWindowDigestCount; ++k) failures += first + ": FAILED\n";
    EXPECT_EQ(run.out, failures);
    EXPECT_EQ(run.err, "hashcalc-cli: WARNING: 12 computed checksums did NOT match\n");

    // Lines without an algorithm name need -a to say which one.
    const std::string gnu =
        folder.Write("gnu", "900150983cd24fb0d6963f7d28e17f72  " + second + "\n");
    run = RunCli({"-c", gnu});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("needs -a with exactly one algorithm"), std::string::npos) << run.err;
    EXPECT_EQ(RunCli({"-c", "-a", "md5", gnu}).status, 0);
}

TEST(CliProgress, OneSelfUpdatingLineOnATerminalAndNothingElsewhere) {
    // MD2 takes over a second here: long enough for the line to appear.
    const TempFolder folder;
    const std::string message = PatternMessage(std::size_t{16} << 20);
    const std::string file = folder.Write("slow", message);
    const ProgramRun quiet = RunCli({"-a", "md2", file});
    EXPECT_EQ(quiet.status, 0);
    const std::string expected = quiet.out;
    EXPECT_EQ(expected.size(), 32 + 2 + file.size() + 1);
    EXPECT_EQ(quiet.err, "");

    const ProgramRun shown =
        RunProgram(HASHCALC_CLI_PATH, {"-a", "md2", file}, "/dev/null", "", true);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, expected);
    ASSERT_GT(shown.err.size(), 2u);
    EXPECT_EQ(shown.err.find('\n'), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find(" of 16.0 MiB ("), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find(" left"), std::string::npos) << shown.err;
    // Erased at the end: spaces over the last line, the cursor back at its start.
    ASSERT_EQ(shown.err.back(), '\r');
    const std::size_t erased = shown.err.rfind('\r', shown.err.size() - 2) + 1;
    EXPECT_EQ(shown.err.find_first_not_of(' ', erased), shown.err.size() - 1);
}

TEST(CliHelp, HelpAndManualPageDocumentTheSameOptions) {
    const ProgramRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: hashcalc-cli [OPTION]... [FILE]...\n", 0), 0u);

    // Options named where an option line starts: "  -a, --algorithms=LIST  ...".
    std::set<std::string> helpOptions;
    std::istringstream helpLines(help.out);
    for (std::string line; std::getline(helpLines, line);) {
        std::istringstream words(line);
        for (std::string word; words >> word && word[0] == '-';) {
            helpOptions.insert(word.substr(0, word.find_first_of(",=")));
        }
    }
    // The manual writes them as \-a and \-\-algorithms after each .TP of its OPTIONS section.
    std::set<std::string> manualOptions;
    std::istringstream manual(ReadWhole(HASHCALC_CLI_MANUAL));
    bool inOptions = false;
    bool optionLine = false;
    for (std::string line; std::getline(manual, line);) {
        if (line.rfind(".SH", 0) == 0) inOptions = line.find("OPTIONS") != std::string::npos;
        if (inOptions && optionLine) {
            for (std::size_t at = 0; (at = line.find("\\-", at)) != std::string::npos;) {
                std::string option = "-";
                at += 2;
                if (line.compare(at, 2, "\\-") == 0) {
                    option += "-";
                    at += 2;
                }
                while (at < line.size() && (std::isalnum(static_cast<unsigned char>(line[at])) ||
                                            line.compare(at, 2, "\\-") == 0)) {
                    if (line[at] == '\\') ++at;
                    option += line[at++];
                }
                manualOptions.insert(option);
            }
        }
        optionLine = line == ".TP";
    }
    EXPECT_EQ(helpOptions, manualOptions);
    EXPECT_GE(helpOptions.size(), 17u);
}

// An input of more than 4 GiB, a sparse file, against md5sum; a minute or more, so it runs
// only on request (--gtest_also_run_disabled_tests).
TEST(CliLarge, DISABLED_InputAbove4GiB) {
    const TempFolder folder;
    const std::string path = folder.Write("sparse", "");
    const int file = open(path.c_str(), O_WRONLY);
    ASSERT_GE(file, 0);
    const bool sized = ftruncate(file, (off_t{1} << 32) + 1000) == 0 &&
                       pwrite(file, "end", 3, off_t{1} << 32) == 3;
    close(file);
    ASSERT_TRUE(sized);
    EXPECT_EQ(ExpectSameAsPeer(kPeers[0], {path}).status, 0);
}

}  // namespace
