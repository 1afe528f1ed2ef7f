// The tool's parsing and formatting routines, called directly: algorithm names, the command
// line, file-name escaping, names in messages, checksum lines and the progress text.
#include <gtest/gtest.h>

#include "check.h"
#include "options.h"
#include "output_forms.h"
#include "progress.h"

namespace {

bool Parse(const std::vector<std::string>& arguments, CliOptions* options, std::string* error) {
    *options = CliOptions{};
    return ParseCommandLine(arguments, options, error);
}

TEST(CliAlgorithmNames, CaseAndInnerDashesDoNotMatterAnythingElseDoes) {
    DigestKind kind{};
    ASSERT_TRUE(ParseAlgorithmName("sha-256", &kind));
    EXPECT_EQ(kind, DigestKind::kSHA256);
    ASSERT_TRUE(ParseAlgorithmName("Ripemd-160", &kind));
    EXPECT_EQ(kind, DigestKind::kRIPEMD160);
    ASSERT_TRUE(ParseAlgorithmName("crc32B", &kind));
    EXPECT_EQ(kind, DigestKind::kCRC32b);
    ASSERT_TRUE(ParseAlgorithmName("crc32", &kind));
    EXPECT_EQ(kind, DigestKind::kCRC32);
    for (const char* wrong : {"", "-md5", "md5-", "sha--256", "sha3", "md", "crc32bb", "sha 1"}) {
        EXPECT_FALSE(ParseAlgorithmName(wrong, &kind)) << wrong;
    }

    AlgorithmSet set = 0;
    std::string unknown;
    ASSERT_TRUE(ParseAlgorithmList("sha1,MD5,sha1", &set, &unknown));
    EXPECT_EQ(set, AlgorithmBit(DigestKind::kMD5) | AlgorithmBit(DigestKind::kSHA1));
    EXPECT_FALSE(ParseAlgorithmList("md5,whirlpool,sha1", &set, &unknown));
    EXPECT_EQ(unknown, "whirlpool");
    EXPECT_FALSE(ParseAlgorithmList("md5,", &set, &unknown));
    EXPECT_EQ(unknown, "");
}

TEST(CliCommandLine, GnuFormsOfOptionsAndInputsInOrder) {
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"-amd5,sha1", "a", "-s", "text", "--", "-c", "-"}, &options, &error));
    EXPECT_EQ(options.algorithms, AlgorithmBit(DigestKind::kMD5) | AlgorithmBit(DigestKind::kSHA1));
    EXPECT_FALSE(options.check);
    ASSERT_EQ(options.inputs.size(), 4u);
    EXPECT_EQ(options.inputs[0].value, "a");
    EXPECT_TRUE(options.inputs[1].isText);
    EXPECT_EQ(options.inputs[1].value, "text");
    EXPECT_EQ(options.inputs[2].value, "-c");
    EXPECT_EQ(options.inputs[3].value, "-");
    EXPECT_FALSE(options.inputs[3].isText);

    ASSERT_TRUE(Parse({"-cw", "--alg=crc16", "--stat", "list"}, &options, &error));
    EXPECT_TRUE(options.check && options.status && !options.warn);  // the last one given wins
    EXPECT_EQ(options.algorithms, AlgorithmBit(DigestKind::kCRC16));
    ASSERT_TRUE(Parse({"--algorithms", "md2", "--string=", "--tag"}, &options, &error));
    EXPECT_EQ(options.algorithms, AlgorithmBit(DigestKind::kMD2));
    EXPECT_TRUE(options.tagForm);
    ASSERT_EQ(options.inputs.size(), 1u);
    EXPECT_TRUE(options.inputs[0].isText);

    ASSERT_TRUE(Parse({}, &options, &error));
    ASSERT_EQ(options.inputs.size(), 1u);
    EXPECT_EQ(options.inputs[0].value, "-");
    // Without -a the window's twelve are computed, and a list may name any of the rows.
    EXPECT_EQ(options.algorithms, kDefaultAlgorithms);
    EXPECT_EQ(CountAlgorithms(options.algorithms), kWindowDigestCount);
    CliOptions checking;
    ASSERT_TRUE(Parse({"-c", "list"}, &checking, &error));
    EXPECT_EQ(checking.algorithms, kAllAlgorithms);
}

TEST(CliCommandLine, MistakesAreNamedInOneLine) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate"}, "'--frobnicate'"},
        {{"-q"}, "'-q'"},
        {{"--st"}, "ambiguous"},
        {{"-a", "md5,sha3"}, "'sha3'"},
        {{"-a"}, "'-a' needs a value"},
        {{"--tag=yes"}, "takes no value"},
        {{"--quiet", "f"}, "--check"},
        {{"-c", "--tag"}, "--tag"},
        {{"-c", "-s", "x"}, "-s"},
    };
    for (const auto& [arguments, mentions] : cases) {
        CliOptions options;
        std::string error;
        EXPECT_FALSE(Parse(arguments, &options, &error)) << arguments[0];
        EXPECT_NE(error.find(mentions), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(CliFileNames, EscapedAsCoreutilsDoesAndReadBack) {
    std::string escaped;
    EXPECT_FALSE(EscapeFileName("plain name", &escaped));
    EXPECT_TRUE(EscapeFileName("a\nb\\c\rd", &escaped));
    EXPECT_EQ(escaped, "a\\nb\\\\c\\rd");
    std::string name;
    ASSERT_TRUE(UnescapeFileName(escaped, &name));
    EXPECT_EQ(name, "a\nb\\c\rd");
    EXPECT_FALSE(UnescapeFileName("a\\tb", &name));
    EXPECT_FALSE(UnescapeFileName("ends\\", &name));

    EXPECT_EQ(DigestLine(DigestKind::kCRC16, "a\nb", "BB3D", {LineStyle::kTag}),
              "\\CRC16 (a\\nb) = BB3D\n");
    EXPECT_EQ(DigestLine(DigestKind::kMD5, "x y", "00ff", {}), "00ff  x y\n");
    // Check results escape only names that would break the line.
    EXPECT_EQ(CheckResultLine("c\\d", "OK"), "c\\d: OK\n");
    EXPECT_EQ(CheckResultLine("x\\y\nz", "FAILED"), "\\x\\\\y\\nz: FAILED\n");
}

TEST(CliFileNames, QuotedInMessagesAsCoreutilsQuotesThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain/file-1.2_x+y,z@w%", "plain/file-1.2_x+y,z@w%"},
        {"x~#", "x~#"},
        {"~x", "'~x'"},
        {"a b", "'a b'"},
        {"a:b", "'a:b'"},
        {"", "''"},
        {"it's", "\"it's\""},
        {"x'y\"z", "'x'\\''y\"z'"},
        {"a\nbx", "'a'$'\\n''bx'"},
        {"a\001b", "'a'$'\\001''b'"},
        {"\xc3\xa9", "\xc3\xa9"},
    };
    for (const auto& [name, quoted] : cases) EXPECT_EQ(QuoteForMessage(name), quoted) << name;
}

TEST(CliResultLines, EveryFormAnAlgorithmCanBePrintedIn) {
    // POSIX cksum's form, decimal CRC and length: `printf abc | cksum` writes 1219131554 3.
    const PrintedNames cksum{"CRC", UntaggedStyle::kDecimalCrcLengthName};
    EXPECT_EQ(ResultLine(cksum, "abc", "1219131554", 3, {}), "1219131554 3 abc\n");
    EXPECT_EQ(ResultLine(cksum, "", "1219131554", 3, {}), "1219131554 3\n");
    EXPECT_EQ(ResultLine(cksum, "a\nb", "4294967295", 5000000000, {}),
              "\\4294967295 5000000000 a\\nb\n");
    // A tag differing from the tool's name, as b2sum --tag writes it.
    const PrintedNames blake{"BLAKE2b"};
    EXPECT_EQ(ResultLine(blake, "a", "ff", 1, {LineStyle::kTag}), "BLAKE2b (a) = ff\n");
    EXPECT_EQ(ResultLine(blake, "a\nb", "ff", 1, {LineStyle::kGnu, true}), "\\ff *a\\nb\n");
    EXPECT_EQ(ResultLine(blake, "a\nb", "ff", 1, {LineStyle::kGnu, false, true}),
              std::string("ff  a\nb") + '\0');
    EXPECT_EQ(ResultLine(blake, "a\\b", "ff", 1, {LineStyle::kSfv}), "a\\b ff\n");
    EXPECT_EQ(ResultLine(blake, "a\nb", "ff", 1, {LineStyle::kDigestOnly}), "ff\n");
    // The twelve algorithms are tagged with the names the window shows.
    for (int k = 0; k < kWindowDigestCount; ++k) {
        const DigestAlgorithm& row = DigestTable[k];
        DigestKind kind{};
        ASSERT_TRUE(ParseAlgorithmName(row.name, &kind));
        EXPECT_STREQ(PrintedNamesOf(kind).tag, row.name);
        EXPECT_EQ(PrintedNamesOf(kind).untagged, UntaggedStyle::kDigestThenName);
    }
}

constexpr const char kMd5OfAbc[] = "900150983cd24fb0d6963f7d28e17f72";

TEST(CliChecksumLines, GnuLinesInEveryVariantTakeTheOneSelectedAlgorithm) {
    const AlgorithmSet md5 = AlgorithmBit(DigestKind::kMD5);
    const std::string digest = kMd5OfAbc;
    const std::pair<std::string, std::string> accepted[] = {
        {digest + "  name", "name"},
        {digest + " *name", "name"},
        {digest + " name", "name"},            // reversed BSD form, one space
        {"  " + digest + "  name\r", "name"},  // leading blanks, CRLF line end
        {digest + "   lead", " lead"},         // a name that starts with a space
        {"\\" + digest + "  a\\nb\\\\c", "a\nb\\c"},
        {"900150983CD24FB0D6963F7D28E17F72  up", "up"},
    };
    for (const auto& [line, name] : accepted) {
        ChecksumLine parsed;
        ASSERT_EQ(ParseChecksumLine(line, md5, &parsed), LineForm::kChecksum) << line;
        EXPECT_EQ(parsed.kind, DigestKind::kMD5);
        EXPECT_EQ(parsed.fileName, name);
    }
    ChecksumLine parsed;
    EXPECT_EQ(ParseChecksumLine(digest + "  name", kAllAlgorithms, &parsed),
              LineForm::kNoAlgorithm);
    for (const std::string& line :
         {digest.substr(1) + "  short", digest + "0  long", digest + "x  name", digest + " ",
          digest, "\\" + digest + "  bad\\escape", std::string("junk"),
          digest + "  cut" + std::string(1, '\0') + "short"}) {
        EXPECT_EQ(ParseChecksumLine(line, md5, &parsed), LineForm::kMalformed) << line;
    }
    for (const std::string& line : {std::string(""), std::string("  "), std::string("# x")}) {
        EXPECT_EQ(ParseChecksumLine(line, md5, &parsed), LineForm::kSkipped) << line;
    }
}

TEST(CliChecksumLines, TagLinesNameTheirAlgorithm) {
    ChecksumLine parsed;
    ASSERT_EQ(ParseChecksumLine("CRC32b (a (1).txt) = 648cbb73", kAllAlgorithms, &parsed),
              LineForm::kChecksum);
    EXPECT_EQ(parsed.kind, DigestKind::kCRC32b);
    EXPECT_EQ(parsed.fileName, "a (1).txt");
    EXPECT_EQ(parsed.expected, "648cbb73");
    ASSERT_EQ(
        ParseChecksumLine(std::string("\\MD5 (a\\nb) = ") + kMd5OfAbc, kAllAlgorithms, &parsed),
        LineForm::kChecksum);
    EXPECT_EQ(parsed.fileName, "a\nb");
    ASSERT_EQ(ParseChecksumLine("sha-1(x)=a9993e364706816aba3e25717850c26c9cd0d89d", kAllAlgorithms,
                                &parsed),
              LineForm::kChecksum);
    EXPECT_EQ(parsed.kind, DigestKind::kSHA1);

    const AlgorithmSet sha256 = AlgorithmBit(DigestKind::kSHA256);
    for (const std::string& line :
         {std::string("MD5 (x) = ") + kMd5OfAbc,  // not among the selected algorithms
          std::string("SHA256 (x) = ") + kMd5OfAbc, std::string("SHA256 (x) ") + kMd5OfAbc,
          std::string("SHA512 (x) = ") + kMd5OfAbc}) {
        EXPECT_EQ(ParseChecksumLine(line, sha256, &parsed), LineForm::kMalformed) << line;
    }
}

// Reads `lines` as one list, returning the parsed lines and the form the list settled on.
std::vector<ChecksumLine> ReadList(const std::vector<std::string>& lines, AlgorithmSet selected,
                                   UntaggedForm* form) {
    std::vector<ChecksumLine> accepted;
    for (const std::string& line : lines) {
        ChecksumLine parsed;
        if (ParseChecksumLine(line, selected, form, &parsed) == LineForm::kChecksum)
            accepted.push_back(parsed);
    }
    return accepted;
}

TEST(CliChecksumLines, OneFormForTheUntaggedLinesOfAList) {
    const AlgorithmSet md5 = AlgorithmBit(DigestKind::kMD5);
    const std::string d = kMd5OfAbc;
    UntaggedForm form = UntaggedForm::kUndecided;
    std::vector<ChecksumLine> read = ReadList({d + " b", d + "  b", d + " *c"}, md5, &form);
    EXPECT_EQ(form, UntaggedForm::kOneSpace);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[1].fileName, " b");
    EXPECT_EQ(read[2].fileName, "*c");

    form = UntaggedForm::kUndecided;
    read = ReadList({"MD5 (t) = " + d, d + " *c", d + " c", d + "  "}, md5, &form);
    EXPECT_EQ(form, UntaggedForm::kModeCharacter);
    ASSERT_EQ(read.size(), 2u);  // the tag line leaves the form open; one-space lines then fail
    EXPECT_EQ(read[1].fileName, "c");
    EXPECT_EQ(read[1].style, ListLineStyle::kGnuBinary);
}

TEST(CliChecksumLines, SfvListsAreCrc32AfterTheName) {
    const AlgorithmSet crc32 = AlgorithmBit(DigestKind::kCRC32);
    UntaggedForm form = UntaggedForm::kUndecided;
    std::vector<ChecksumLine> read =
        ReadList({"; written by a tool", "my file.txt  352441c2", "\\x 352441C2",
                  "deadbeef 352441C2", "352441C2 name", "x 352441C", "MD5 (a) = x 352441C2"},
                 kAllAlgorithms, &form);
    EXPECT_EQ(form, UntaggedForm::kSfv);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].fileName, "my file.txt");
    EXPECT_EQ(read[0].kind, DigestKind::kCRC32);
    EXPECT_EQ(read[1].fileName, "\\x");  // SFV has no escapes
    EXPECT_EQ(read[2].fileName, "deadbeef");

    // Without a comment first, a line that also reads as "DIGEST NAME" is taken that way.
    form = UntaggedForm::kUndecided;
    read = ReadList({"deadbeef 352441C2"}, crc32, &form);
    EXPECT_EQ(form, UntaggedForm::kOneSpace);
    form = UntaggedForm::kUndecided;
    read = ReadList({"abc 352441C2", "352441C2  abc"}, crc32, &form);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].style, ListLineStyle::kSfv);
    form = UntaggedForm::kModeCharacter;
    EXPECT_TRUE(ReadList({"; comment"}, crc32, &form).empty());
    form = UntaggedForm::kUndecided;
    EXPECT_TRUE(ReadList({"abc 352441C2"}, AlgorithmBit(DigestKind::kCRC32b), &form).empty());
}

TEST(CliChecksumLines, EveryStyleWrittenBackReadsTheSame) {
    const std::string d = kMd5OfAbc;
    const std::pair<UntaggedForm, std::string> lines[] = {
        {UntaggedForm::kModeCharacter, d + "  a b"},
        {UntaggedForm::kModeCharacter, "\\" + d + " *a\\nb"},
        {UntaggedForm::kOneSpace, d + " *x"},
        {UntaggedForm::kOneSpace, "\\" + d + "  \\\\"},
        {UntaggedForm::kUndecided, "MD5 (a) b) = " + d},
        {UntaggedForm::kSfv, "x y  352441C2"},
    };
    for (const auto& [listForm, line] : lines) {
        const AlgorithmSet selected =
            listForm == UntaggedForm::kSfv ? kAllAlgorithms : AlgorithmBit(DigestKind::kMD5);
        UntaggedForm form = listForm;
        ChecksumLine first;
        ASSERT_EQ(ParseChecksumLine(line, selected, &form, &first), LineForm::kChecksum) << line;
        const std::string written = ChecksumLineText(first);
        ChecksumLine again;
        ASSERT_EQ(ParseChecksumLine(written, selected, &form, &again), LineForm::kChecksum)
            << written;
        EXPECT_EQ(again.fileName, first.fileName) << written;
        EXPECT_EQ(again.expected, first.expected) << written;
        EXPECT_EQ(again.style, first.style) << written;
    }
}

TEST(CliCommandLine, LastOfEachPairWinsAndFormsThatClashAreRefused) {
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"-c", "--status", "--quiet", "-w", "--stat", "l"}, &options, &error));
    EXPECT_EQ(options.verbosity, CheckVerbosity::kStatus);
    ASSERT_TRUE(Parse({"-bt", "--bin", "-z", "-a", "md5", "f"}, &options, &error));
    EXPECT_EQ(options.mode, NameMode::kBinary);
    EXPECT_TRUE(options.zeroEnded);
    ASSERT_TRUE(Parse({"--sfv", "-rL", "f"}, &options, &error));
    EXPECT_EQ(options.algorithms, AlgorithmBit(DigestKind::kCRC32));
    EXPECT_TRUE(options.recursive && options.followLinks);
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--tag", "-t"}, "--text"},           {{"-c", "-z"}, "--zero"},
        {{"-c", "-r"}, "--recursive"},         {{"--sfv", "--no-names"}, "--no-names"},
        {{"-a", "crc32b", "--sfv"}, "--sfv"},  {{"--untagged"}, "--untagged"},
        {{"-a", "md5", "-l", "12x"}, "'12x'"}, {{"-a", "md5", "-l", "256"}, "--length"},
    };
    for (const auto& [arguments, mentions] : refused) {
        CliOptions fresh;
        EXPECT_FALSE(Parse(arguments, &fresh, &error)) << arguments[0];
        EXPECT_NE(error.find(mentions), std::string::npos) << error;
    }
}

TEST(CliProgress, TextShowsBytesRateAndTimeLeft) {
    EXPECT_EQ(ProgressText("big.iso", 1536ull << 20, 5ull << 30, 2.0),
              "big.iso: 1.5 GiB of 5.0 GiB (30%), 768.0 MiB/s, 0:05 left");
    EXPECT_EQ(ProgressText("standard input", 3ull << 20, 0, 1.0),
              "standard input: 3.0 MiB, 3.0 MiB/s");
    EXPECT_EQ(ProgressText("slow", 1000, 3600000, 1.0),
              "slow: 1000 B of 3.4 MiB (0%), 1000 B/s, 59:59 left");
    // A long name keeps its end, cut where a character starts.
    const std::string name = std::string(50, 'x') + "\xc3\xa9" + std::string(39, 'y');
    const std::string text = ProgressText(name, 0, 0, 1.0);
    EXPECT_EQ(text.substr(0, 4), "...y") << text;
}

}  // namespace
