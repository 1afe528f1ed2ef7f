// The further algorithms through the tool, beside the programs people check them with: every
// length from 0 to 1100 bytes and a few sizes around the reading blocks, hashed by both in one
// run each; and lists passed back and forth between the tool and sha512sum -c, b2sum -c,
// b3sum -c and cksum.
#include <algorithm>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace {

using cli_test::RunCli;
using cli_test::TempFolder;
using digest_test::PatternMessage;

constexpr std::size_t kLongestSweep = 1100;
constexpr std::size_t kMiB = std::size_t{1} << 20;

// Lengths past the sweep: either side of the first inline limit (64 KiB) and of the 1 MiB
// reading blocks, and a tree of BLAKE3 chunks that is not a power of two.
constexpr std::size_t kLargeLengths[] = {65536, 65537,       kMiB - 1,
                                         kMiB,  kMiB + 1025, 3 * kMiB + 4097};

// One file per length, named by it, and the list of their paths in that order.
struct SweepFiles {
    TempFolder folder;
    std::vector<std::string> paths;
    SweepFiles() {
        const std::string all = PatternMessage(kLargeLengths[std::size(kLargeLengths) - 1]);
        for (std::size_t length = 0; length <= kLongestSweep; ++length) {
            paths.push_back(folder.Write(std::to_string(length), all.substr(0, length)));
        }
        for (const std::size_t length : kLargeLengths) {
            paths.push_back(folder.Write(std::to_string(length), all.substr(0, length)));
        }
    }
};

const SweepFiles& Files() {
    static const SweepFiles* files = new SweepFiles;  // written once for every case
    return *files;
}

struct SweepPeer {
    const char* algorithm;  // as -a names it
    std::vector<std::string> command;
    bool binaryMark;  // the peer writes "DIGEST *FILE" (openssl dgst -r)
    bool lowerCase;   // the peer writes the tool's upper-case CRC in lower case
};

const SweepPeer kSweepPeers[] = {
    {"sha224", {"openssl", "dgst", "-sha224", "-r"}, true, false},
    {"sha384", {"openssl", "dgst", "-sha384", "-r"}, true, false},
    {"sha512", {"openssl", "dgst", "-sha512", "-r"}, true, false},
    {"sha512-256", {"openssl", "dgst", "-sha512-256", "-r"}, true, false},
    {"sha3-224", {"openssl", "dgst", "-sha3-224", "-r"}, true, false},
    {"sha3-256", {"openssl", "dgst", "-sha3-256", "-r"}, true, false},
    {"sha3-384", {"openssl", "dgst", "-sha3-384", "-r"}, true, false},
    {"sha3-512", {"openssl", "dgst", "-sha3-512", "-r"}, true, false},
    {"blake2b", {"b2sum"}, false, false},
    {"blake2s", {"openssl", "dgst", "-blake2s256", "-r"}, true, false},
    {"blake3", {"b3sum"}, false, false},
    {"crc32c", {"rhash", "--printf", "%{crc32c}  %p\\n"}, false, true},
    {"cksum", {"cksum"}, false, false},
};

// The first line where the two outputs differ, for a message that names the length.
std::string FirstDifference(const std::string& ours, const std::string& theirs) {
    std::size_t at = 0;
    while (at < ours.size() && at < theirs.size() && ours[at] == theirs[at]) ++at;
    const std::size_t lineStart = ours.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = lineStart == std::string::npos || at == 0 ? 0 : lineStart + 1;
    return "ours:   " + ours.substr(from, ours.find('\n', from) - from) +
           "\ntheirs: " + theirs.substr(from, theirs.find('\n', from) - from);
}

TEST(CliPeerSweep, EveryLengthGivesThePeersLinesOnEveryPath) {
    const SweepFiles& files = Files();
    for (const SweepPeer& peer : kSweepPeers) {
        std::vector<std::string> theirArguments(peer.command.begin() + 1, peer.command.end());
        theirArguments.insert(theirArguments.end(), files.paths.begin(), files.paths.end());
        ProgramRun theirs = RunProgram(peer.command.front(), theirArguments);
        ASSERT_EQ(theirs.status, 0) << peer.command.front() << " did not run: " << theirs.err;
        for (const char* path : {"", "--no-hardware"}) {
            std::vector<std::string> ourArguments = {"-a", peer.algorithm};
            if (peer.binaryMark) ourArguments.push_back("-b");
            if (*path != '\0') ourArguments.push_back(path);
            ourArguments.insert(ourArguments.end(), files.paths.begin(), files.paths.end());
            ProgramRun ours = RunCli(ourArguments);
            ASSERT_EQ(ours.status, 0) << ours.err;
            if (peer.lowerCase) {
                std::transform(ours.out.begin(), ours.out.end(), ours.out.begin(),
                               [](char c) { return c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c; });
            }
            EXPECT_TRUE(ours.out == theirs.out) << peer.algorithm << " " << path << "\n"
                                                << FirstDifference(ours.out, theirs.out);
        }
    }
}

// Published vectors through -s: FIPS 180-4 and 202 for "abc", RFC 7693's BLAKE2b-512 of
// "abc", BLAKE3's of "abc" from its authors' tool, the catalogue check values of CRC-32C and
// cksum for "123456789".
TEST(CliPeerSweep, PublishedVectorsThroughTheCommandLine) {
    const std::pair<const char*, const char*> abc[] = {
        {"SHA224", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {"SHA384",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
         "34c825a7"},
        {"SHA512",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
         "a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"SHA512-256", "53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23"},
        {"SHA3-224", "e642824c3f8cf24ad09234ee7d3c766fc9a3a5168d0c94ad73b46fdf"},
        {"SHA3-256", "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532"},
        {"SHA3-384",
         "ec01498288516fc926459f58e2c6ad8df9b473cb0fc08c2596da7cf0e49be4b298d88cea927ac7f539f1edf2"
         "28376d25"},
        {"SHA3-512",
         "b751850b1a57168a5693cd924b6b096e08f621827444f70d884f5d0240d2712e10e116e9192af3c91a7ec576"
         "47e3934057340b4cf408d5a56592f8274eec53f0"},
        {"BLAKE2b",
         "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de"
         "4533cc9518d38aa8dbf1925ab92386edd4009923"},
        {"BLAKE2s", "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982"},
        {"BLAKE3", "6437b3ac38465133ffb63b75273a8db548c558465d79db03fd359c6cd5bd9d85"},
    };
    for (const auto& [name, text] : abc) {
        EXPECT_EQ(RunCli({"-a", name, "-s", "abc"}).out, std::string(text) + "  \"abc\"\n");
        EXPECT_EQ(RunCli({"-a", name, "--tag", "-s", "abc"}).out,
                  std::string(name) + " (\"abc\") = " + text + "\n");
    }
    EXPECT_EQ(RunCli({"-a", "crc32c", "-s", "123456789"}).out, "E3069283  \"123456789\"\n");
    EXPECT_EQ(RunCli({"-a", "cksum", "-s", "123456789"}).out, "930766865 9 \"123456789\"\n");
    EXPECT_EQ(RunCli({"-a", "cksum", "--tag", "-s", ""}).out, "CKSUM (\"\") = 4294967295\n");
    // The names as the other tools' users type them.
    for (const char* typed : {"sha3-256", "SHA3256", "Sha-512-256", "blake2B", "crc32c", "CKSUM"}) {
        EXPECT_EQ(RunCli({"-a", typed, "-s", ""}).status, 0) << typed;
    }
    // Only b2sum's full length is taken; cksum has no length to choose.
    EXPECT_EQ(RunCli({"-a", "blake2b", "-l", "512", "-s", "abc"}).status, 0);
    EXPECT_EQ(RunCli({"-a", "blake2b", "-l", "256", "-s", "abc"}).status, 1);
    EXPECT_EQ(RunCli({"-a", "cksum", "-l", "40", "-s", "abc"}).status, 1);
}

struct CheckingPeer {
    const char* algorithm;
    const char* program;
    bool hasTag;  // the peer writes and reads NAME (FILE) = DIGEST lines
};

const CheckingPeer kCheckingPeers[] = {
    {"sha224", "sha224sum", true}, {"sha384", "sha384sum", true}, {"sha512", "sha512sum", true},
    {"blake2b", "b2sum", true},    {"blake3", "b3sum", false},
};

// Lists go both ways: the peer verifies what the tool writes and the tool what the peer
// writes, in the GNU form and, where the peer has one, the tag form; a changed file fails on
// both sides.
TEST(CliPeerLists, ThePeersCheckOurListsAndWeCheckTheirs) {
    const TempFolder folder;
    const std::vector<std::string> inputs = {
        folder.Write("empty", ""), folder.Write("abc", "abc"),
        folder.Write("two blocks", PatternMessage(2 * kMiB + 3))};
    for (const CheckingPeer& peer : kCheckingPeers) {
        std::vector<std::vector<std::string>> forms = {{}};
        if (peer.hasTag) forms.push_back({"--tag"});
        for (const std::vector<std::string>& form : forms) {
            const std::string shown = std::string(peer.program) + (form.empty() ? "" : " --tag");
            std::vector<std::string> ours = {"-a", peer.algorithm};
            ours.insert(ours.end(), form.begin(), form.end());
            ours.insert(ours.end(), inputs.begin(), inputs.end());
            const std::string ourList = folder.path + "/ours";
            RunProgram(HASHCALC_CLI_PATH, ours, "/dev/null", ourList);
            const ProgramRun theyCheck = RunProgram(peer.program, {"-c", ourList});
            EXPECT_EQ(theyCheck.status, 0) << shown << "\n" << theyCheck.out << theyCheck.err;

            std::vector<std::string> theirs = form;
            theirs.insert(theirs.end(), inputs.begin(), inputs.end());
            const std::string theirList = folder.path + "/theirs";
            RunProgram(peer.program, theirs, "/dev/null", theirList);
            EXPECT_EQ(cli_test::ReadWhole(theirList), cli_test::ReadWhole(ourList)) << shown;
            // Tagged lines name their algorithm; untagged ones need -a.
            std::vector<std::string> check = {"-c", theirList};
            if (form.empty()) check = {"-a", peer.algorithm, "-c", theirList};
            const ProgramRun weCheck = RunCli(check);
            EXPECT_EQ(weCheck.status, 0) << shown << "\n" << weCheck.out << weCheck.err;
            EXPECT_EQ(weCheck.out, RunProgram(peer.program, {"-c", theirList}).out) << shown;
        }
    }
    // After a change both sides fail the same list.
    const std::string list = folder.path + "/changed";
    RunProgram(HASHCALC_CLI_PATH, {"-a", "blake2b", inputs[1]}, "/dev/null", list);
    folder.Write("abc", "abd");
    EXPECT_EQ(RunProgram("b2sum", {"-c", "--status", list}).status, 1);
    EXPECT_EQ(RunCli({"-a", "blake2b", "-c", "--status", list}).status, 1);
}

// cksum's lines: what it writes the tool checks, the CRC and the length both counting.
TEST(CliPeerLists, CksumLinesCheckByCrcAndLength) {
    const TempFolder folder;
    const std::string file = folder.Write("data", PatternMessage(70000));
    const std::string list = folder.path + "/list";
    RunProgram("cksum", {file}, "/dev/null", list);
    const ProgramRun run = RunCli({"-a", "cksum", "-c", list});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, file + ": OK\n");
    // The right CRC with a wrong length, and a wrong CRC with the right length, both fail.
    const std::string crc =
        cli_test::ReadWhole(list).substr(0, cli_test::ReadWhole(list).find(' '));
    folder.Write("list", crc + " 70001 " + file + "\n");
    EXPECT_EQ(RunCli({"-a", "cksum", "-c", list}).out, file + ": FAILED\n");
    folder.Write("list", (crc == "1" ? "2" : "1") + std::string(" 70000 ") + file + "\n");
    EXPECT_EQ(RunCli({"-a", "cksum", "-c", list}).out, file + ": FAILED\n");
    // A CRC longer than ten digits is no cksum line.
    folder.Write("list", "12345678901 70000 " + file + "\n");
    EXPECT_EQ(RunCli({"-a", "cksum", "-c", list}).status, 1);
}

}  // namespace
