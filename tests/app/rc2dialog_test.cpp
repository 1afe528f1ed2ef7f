// The resource-script compiler: what it carries into the generated table, and what it refuses.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Compiled {
    int exitCode;
    std::string output;  // the generated source, or the error message
};

// Each compile works in a folder of its own: test cases run in parallel processes.
Compiled Compile(const std::string& script) {
    std::string folder = ::testing::TempDir() + "rc2dialog_test.XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) return {-1, "cannot make a temporary folder"};
    const std::string input = folder + "/dialog.rc";
    const std::string output = folder + "/dialog.cpp";
    const std::string errors = folder + "/errors.txt";
    std::ofstream(input, std::ios::binary) << script;
    const std::string command =
        std::string(RC2DIALOG_PROGRAM) + " '" + input + "' '" + output + "' 2> '" + errors + "'";
    const int status = std::system(command.c_str());
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ostringstream text;
    text << std::ifstream(exitCode == 0 ? output : errors, std::ios::binary).rdbuf();
    std::filesystem::remove_all(folder);
    return {exitCode, text.str()};
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(Rc2Dialog, CarriesTextsExpressionsAndIncludesIntoTheTable) {
    const Compiled compiled = Compile(
        "#include <windows.h>\n"
        "#include \"ids.h\"\n"
        "/* a block\n comment */\n"
        "7 DIALOGEX 1, 2, 30, 40\n"
        "STYLE DS_SETFONT | WS_CAPTION // trailing comment\n"
        "CAPTION \"Say \"\"hi\"\"\"\n"
        "FONT 9, \"Face\", 700, 1, 0x1\n"
        "BEGIN\n"
        "    CONTROL \"A\\\\B\", IDC_ONE, \"Edit\", WS_TABSTOP | (ES_LEFT | ES_READONLY) | "
        "ES_MULTILINE, 3, 4, 5, 6, WS_EX_STATICEDGE\n"
        "    CONTROL \"\", -1, \"Static\", SS_LEFT, 7, 8, 9, 10\n"
        "END\n"
        "8 DIALOGEX 0, 0, 10, 10\n"
        "{\n"
        "}\n");
    ASSERT_EQ(compiled.exitCode, 0) << compiled.output;
    const std::string& table = compiled.output;
    EXPECT_TRUE(Contains(table, "#include \"ids.h\""));
    EXPECT_FALSE(Contains(table, "windows.h"));
    EXPECT_TRUE(Contains(table, "\"Say \\\"hi\\\"\""));
    EXPECT_TRUE(Contains(table, "\"A\\\\B\""));
    // Every operand and operator, in order; the control's own styles after the two implied.
    EXPECT_TRUE(Contains(table,
                         "WS_CHILD | WS_VISIBLE | (WS_TABSTOP | (ES_LEFT | ES_READONLY) | "
                         "ES_MULTILINE)"));
    EXPECT_TRUE(Contains(table, "static_cast<WORD>(IDC_ONE)"));
    EXPECT_TRUE(Contains(table, "static_cast<WORD>(-1)"));
    EXPECT_TRUE(Contains(table, "static_cast<DWORD>(WS_EX_STATICEDGE), 3, 4, 5, 6}"));
    EXPECT_TRUE(Contains(table, "static_cast<DWORD>(0), 7, 8, 9, 10}"));
    EXPECT_TRUE(Contains(table, "\"Face\", 9, 700, 1, 0x1, kItems0, 2}"));
    EXPECT_TRUE(Contains(table, "kItems1, 0}"));
    EXPECT_TRUE(Contains(table, "DialogTemplateCount = 2;"));
}

TEST(Rc2Dialog, RefusesWhatItCannotCompileAndNamesTheLine) {
    const Compiled missingComma =
        Compile("1 DIALOGEX 0, 0, 10, 10\nBEGIN\n CONTROL \"x\", 5 \"Edit\", 0, 1, 2, 3, 4\nEND\n");
    EXPECT_EQ(missingComma.exitCode, 1);
    EXPECT_TRUE(Contains(missingComma.output, ":3:")) << missingComma.output;

    const Compiled otherStatement =
        Compile("1 DIALOGEX 0, 0, 10, 10\nBEGIN\n PUSHBUTTON \"x\", 5, 1, 2, 3, 4\nEND\n");
    EXPECT_EQ(otherStatement.exitCode, 1);

    const Compiled unterminated = Compile("1 DIALOGEX 0, 0, 10, 10\nCAPTION \"open\n");
    EXPECT_EQ(unterminated.exitCode, 1);

    const Compiled notDialog = Compile("1 MENU\nBEGIN\nEND\n");
    EXPECT_EQ(notDialog.exitCode, 1);

    const Compiled empty = Compile("// nothing here\n");
    EXPECT_EQ(empty.exitCode, 1);
}
