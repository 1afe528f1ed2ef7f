// The texts the window reads and writes besides its fields: the command line, the lines of
// "Copy all digests", and a published digest pasted for comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "digest_lines.h"

namespace {

StartRequest Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "hashcalc");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

struct Texts {
    const char* pointers[kWindowDigestCount];
    Texts() {
        for (int k = 0; k < kWindowDigestCount; ++k) pointers[k] = DigestTable[k].name;
    }
};

}  // namespace

TEST(CommandLine, HelpVersionFileAndMistakes) {
    EXPECT_EQ(Parse({}).action, StartAction::kOpenWindow);
    EXPECT_EQ(Parse({}).file, "");
    EXPECT_EQ(Parse({"--help"}).action, StartAction::kPrintHelp);
    EXPECT_EQ(Parse({"-h", "--bogus"}).action, StartAction::kPrintHelp);
    EXPECT_EQ(Parse({"--version"}).action, StartAction::kPrintVersion);
    EXPECT_EQ(Parse({"-V"}).action, StartAction::kPrintVersion);
    EXPECT_EQ(Parse({"disk.iso"}).file, "disk.iso");
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(Parse({"--", "--help"}).file, "--help");
    EXPECT_EQ(Parse({"-"}).file, "-");

    const StartRequest unknown = Parse({"--bogus"});
    EXPECT_EQ(unknown.action, StartAction::kUsageError);
    EXPECT_NE(unknown.error.find("'--bogus'"), std::string::npos);
    EXPECT_EQ(unknown.error.find('\n'), std::string::npos);
    EXPECT_EQ(Parse({"a", "b"}).action, StartAction::kUsageError);
}

TEST(DigestLinesText, TaggedLinesInCatalogueOrderWithEscapedSources) {
    const Texts texts;
    const std::string plain = DigestLines("/tmp/a b.iso", texts.pointers, "\n");
    EXPECT_EQ(plain.substr(0, plain.find('\n') + 1), "MD5 (/tmp/a b.iso) = MD5\n");
    EXPECT_EQ(std::count(plain.begin(), plain.end(), '\n'), kWindowDigestCount);
    EXPECT_NE(plain.find("CRC32b (/tmp/a b.iso) = CRC32b\n"), std::string::npos);

    // A typed text with a line break: escaped and marked, as hashcalc-cli -s writes it.
    const std::string broken = DigestLines("\"a\r\nb\\\"", texts.pointers, "\r\n");
    EXPECT_EQ(broken.substr(0, broken.find("\r\n")), "\\MD5 (\"a\\r\\nb\\\\\") = MD5");
}

TEST(DigestLinesText, PublishedDigestsInEveryFormAndCase) {
    const std::string sha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";
    EXPECT_EQ(PublishedDigest("  A9993E364706816ABA3E25717850C26C9CD0D89D \r\n"), sha1);
    EXPECT_EQ(PublishedDigest(sha1 + "  abc.txt"), sha1);
    EXPECT_EQ(PublishedDigest(sha1 + " *abc.txt\n" + "other  line"), sha1);
    EXPECT_EQ(PublishedDigest("\\" + sha1 + "  a\\nb"), sha1);
    EXPECT_EQ(PublishedDigest("SHA1 (my file (1).txt) = " + sha1), sha1);
    EXPECT_EQ(PublishedDigest("SHA1 (x) = not-hex"), "");
    EXPECT_EQ(PublishedDigest("hello world"), "");
    EXPECT_EQ(PublishedDigest(""), "");

    const char* shown[kWindowDigestCount] = {"00", "11", "22", "33", "44", "55",
                                             "66", "77", "88", "AB", "cd", "ef"};
    EXPECT_EQ(MatchingDigest("ab", shown), 9);
    EXPECT_EQ(MatchingDigest("CD", shown), 10);
    EXPECT_EQ(MatchingDigest("abc", shown), -1);
    EXPECT_EQ(MatchingDigest("", shown), -1);
}
