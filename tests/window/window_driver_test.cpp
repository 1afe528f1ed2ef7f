// The real hashcalc.exe driven from outside, as another Win32 program would: find its dialog,
// check its 32 controls' ids, classes and styles in order, type texts and
// read the twelve fields, open and close the About box, close the window and check the exit
// code. Also checks the icon, manifest and version resources the program carries.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "digest_test_support.h"
#include "main_dialog.h"
#include "main_dialog_expectations.h"
#include "resource.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(30);

const char kDialogCaption[] = " Vorlan's Hash Calculation";
// The result fields in the order the digest table lists the algorithms.
const int kResultFields[] = {IDC_MD5,       IDC_MD2,       IDC_MD4,       IDC_SHA0,
                             IDC_SHA1,      IDC_SHA256,    IDC_RIPEMD128, IDC_RIPEMD160,
                             IDC_RIPEMD256, IDC_CRC16,     IDC_CRC32,     IDC_CRC32B};

template <typename Found>
bool WaitFor(Found found) {
    const auto deadline = Clock::now() + kPatience;
    while (!found()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string WindowText(HWND window) {
    const auto length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const auto copied = SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct WindowSearch {
    DWORD process;
    const std::string* className;
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) && ClassOf(window) == *search->className &&
        WindowText(window) == *search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of `process` with the given class and caption.
HWND FindProcessWindow(DWORD process, const std::string& className, const std::string& caption) {
    WindowSearch search{process, &className, &caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The program, started and found; ended at the latest when the test is done with it.
class RunningProgram : public testing::Test {
protected:
    void SetUp() override {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine(HASHCALC_PROGRAM);
        commandLine.insert(commandLine.begin(), '"');
        commandLine.push_back('"');
        ASSERT_TRUE(CreateProcessA(HASHCALC_PROGRAM, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &process_))
            << "cannot start " << HASHCALC_PROGRAM;
        ASSERT_TRUE(WaitFor([this] {
            dialog_ = FindProcessWindow(process_.dwProcessId, "#32770", kDialogCaption);
            return dialog_ != nullptr;
        })) << "the main dialog did not appear";
    }
    void TearDown() override {
        if (process_.hProcess == nullptr) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    HWND Control(int id) const { return GetDlgItem(dialog_, id); }

    // Replaces the input field's text the way typing does, so that the field notifies.
    void Type(const std::string& text) const {
        HWND input = Control(IDC_INPUT);
        SendMessageA(input, EM_SETSEL, 0, -1);
        SendMessageA(input, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    }

    void ExpectFieldsShowDigestsOf(const std::string& message) const {
        for (std::size_t i = 0; i < std::size(kResultFields); ++i) {
            const DigestAlgorithm& info = DigestTable[i];
            EXPECT_EQ(WindowText(Control(kResultFields[i])), digest_test::Digest(info, message))
                << info.name << " of " << message.size() << " characters";
        }
    }

    PROCESS_INFORMATION process_{};
    HWND dialog_ = nullptr;
};

TEST_F(RunningProgram, ShowsTheTemplatesControlsInOrderWithIdsClassesAndStyles) {
    std::size_t index = 0;
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ASSERT_LT(index, std::size(test_support::kMainDialogIds)) << "more controls than the template has";
        SCOPED_TRACE("control " + std::to_string(index + 1));
        const std::string className = ClassOf(child);
        // Class names are case-insensitive on Windows.
        const char* canonical = lstrcmpiA(className.c_str(), "Button") == 0 ? "Button" : "Other";
        const test_support::ControlLook look =
            test_support::ExpectedControlLook(test_support::kMainDialogIds[index], canonical);
        EXPECT_EQ(GetDlgCtrlID(child) & 0xFFFF, test_support::kMainDialogIds[index]);
        EXPECT_EQ(lstrcmpiA(className.c_str(), look.className), 0) << className;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)), look.style);
        // The dialog manager adds WS_EX_NOPARENTNOTIFY to every control it creates.
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE)) & ~DWORD{WS_EX_NOPARENTNOTIFY},
                  look.exStyle);
        ++index;
    }
    EXPECT_EQ(index, 32u);
    // What the template's header asks of the window itself.
    const auto style = static_cast<DWORD>(GetWindowLongA(dialog_, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
}

TEST_F(RunningProgram, FieldsShowTheDigestsOfTheTypedText) {
    Type("abc");
    ExpectFieldsShowDigestsOf("abc");
    EXPECT_EQ(WindowText(Control(IDC_MD5)), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(WindowText(Control(IDC_CRC32B)), "648CBB73");
    Type("");
    ExpectFieldsShowDigestsOf("");
    EXPECT_EQ(WindowText(Control(IDC_SHA1)), "da39a3ee5e6b4b0d3255bfef95601890afd80709");

    // The field hands over at most 767 characters: longer texts are digested cut there.
    std::string longest(767, 'x');
    for (std::size_t i = 0; i < longest.size(); ++i) longest[i] = static_cast<char>('a' + i % 26);
    Type(longest);
    ExpectFieldsShowDigestsOf(longest);
    std::string longer = longest + std::string(33, 'q');
    Type(longer);
    ExpectFieldsShowDigestsOf(longest);
}

TEST_F(RunningProgram, AboutBoxOpensWithItsTextAndClosesLeavingTheFields) {
    Type("abc");
    PostMessageA(Control(IDC_ABOUT), BM_CLICK, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        box = FindProcessWindow(process_.dwProcessId, "#32770", AboutCaption);
        return box != nullptr;
    })) << "no About box";
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog_);
    bool textFound = false;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        textFound = textFound || WindowText(child) == AboutText;
    }
    EXPECT_TRUE(textFound) << "the box does not show the five lines";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); })) << "the About box stayed open";
    EXPECT_EQ(WindowText(Control(IDC_MD5)), "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(RunningProgram, ClosingTheWindowEndsTheProcessWithExitCodeZero) {
    PostMessageA(dialog_, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process_.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process_.hProcess, &code);
    EXPECT_EQ(code, 0u);
}

// The icon, manifest and version resources of the program file.
TEST(ProgramResources, IconManifestAndVersion) {
    HMODULE image = LoadLibraryExA(HASHCALC_PROGRAM, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceA(image, MAKEINTRESOURCEA(IDI_HASHCALC), MAKEINTRESOURCEA(14)), nullptr)
        << "no icon group " << IDI_HASHCALC;  // RT_GROUP_ICON
    HRSRC manifest = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                           SizeofResource(image, manifest));
    EXPECT_NE(text.find("<dpiAware"), std::string::npos);
    // The classic controls of the template: no common-controls 6 dependency.
    EXPECT_EQ(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    HRSRC version = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
    ASSERT_NE(version, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(image, version)));
    const std::string block(bytes, SizeofResource(image, version));
    // Strings in a version resource are UTF-16; look for the product name's letters.
    const std::string product = std::string("h\0a\0s\0h\0c\0a\0l\0c\0", 16);
    EXPECT_NE(block.find(product), std::string::npos);
    FreeLibrary(image);
}

}  // namespace
