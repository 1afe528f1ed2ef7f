// The real hashcalc.exe driven from outside, as another Win32 program would: find its dialog,
// check its 32 controls' ids, classes and styles in order, type texts and
// read the twelve fields, open and close the About box, close the window and check the exit
// code. Also checks the icon, manifest and version resources the program carries. Then the
// file features: a file dropped (an HDROP built here and handed over as the shell does) or
// named on the command line is hashed; the context menu, opened with WM_CONTEXTMENU and driven
// by keys as a user would, compares with the clipboard, copies digests and switches the music,
// and when asked for from the keyboard opens below the field.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <shellapi.h>
#include <shlobj.h>  // DROPFILES

#include "digest_stream.h"
#include "digest_test_support.h"
#include "main_dialog.h"
#include "main_dialog_expectations.h"
#include "resource.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(30);

const char kDialogCaption[] = " Vorlan's Hash Calculation";
// The result fields in the order the digest table lists the algorithms.
const int kResultFields[] = {IDC_MD5,       IDC_MD2,    IDC_MD4,       IDC_SHA0,
                             IDC_SHA1,      IDC_SHA256, IDC_RIPEMD128, IDC_RIPEMD160,
                             IDC_RIPEMD256, IDC_CRC16,  IDC_CRC32,     IDC_CRC32B};

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
    const auto copied =
        SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
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
    if (owner == search->process && IsWindowVisible(window) &&
        ClassOf(window) == *search->className &&
        (search->caption->empty() || WindowText(window) == *search->caption)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of `process` with the given class and caption (any, if empty).
HWND FindProcessWindow(DWORD process, const std::string& className, const std::string& caption) {
    WindowSearch search{process, &className, &caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The program, started and found; ended at the latest when the test is done with it.
class RunningProgram : public testing::Test {
protected:
    void SetUp() override { Start(""); }
    // Starts the program with `arguments` after its own name and waits for its dialog.
    void Start(const std::string& arguments) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine(HASHCALC_PROGRAM);
        commandLine.insert(commandLine.begin(), '"');
        commandLine.push_back('"');
        if (!arguments.empty()) commandLine += " " + arguments;
        ASSERT_TRUE(CreateProcessA(HASHCALC_PROGRAM, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &process_))
            << "cannot start " << HASHCALC_PROGRAM;
        ASSERT_TRUE(WaitFor([this, &arguments] {
            // A file on the command line may already be named in the title.
            dialog_ = FindProcessWindow(process_.dwProcessId, "#32770",
                                        arguments.empty() ? kDialogCaption : "");
            return dialog_ != nullptr;
        })) << "the main dialog did not appear";
    }
    void TearDown() override {
        if (process_.hProcess == nullptr) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 99);
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
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ASSERT_LT(index, std::size(test_support::kMainDialogIds))
            << "more controls than the template has";
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
        EXPECT_EQ(
            static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE)) & ~DWORD{WS_EX_NOPARENTNOTIFY},
            look.exStyle);
        ++index;
    }
    EXPECT_EQ(index, 32u);
    // What the template's header asks of the window itself.
    const auto style = static_cast<DWORD>(GetWindowLongA(dialog_, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
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
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
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
    HRSRC manifest =
        FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
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

// ---- files, the context menu and the clipboard ---------------------------------------------

// A file of the driver's own in the temporary folder, removed with it.
struct TemporaryFile {
    std::string path;
    TemporaryFile(const std::string& name, const std::string& bytes) {
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        path = std::string(folder) + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    ~TemporaryFile() { DeleteFileA(path.c_str()); }
};

// The twelve texts for `bytes`, each stream fed in one piece.
std::vector<std::string> TextsOf(const std::string& bytes) {
    std::vector<std::string> texts;
    for (int k = 0; k < kWindowDigestCount; ++k) {
        DigestStream stream;
        StartDigest(&stream, static_cast<DigestKind>(k));
        FeedDigest(&stream, bytes.data(), bytes.size());
        char text[kLongestTextBytes];
        FinishDigest(&stream, text);
        texts.push_back(text);
    }
    return texts;
}

// A file manager's drop: a DROPFILES header followed by the path and an empty name.
std::string DropBlock(const std::string& path) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = FALSE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    block += path;
    block.append(2, '\0');
    return block;
}

bool PutOnClipboard(const std::string& text) {
    if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; })) return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    const bool placed = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    return placed;
}

std::string ClipboardText() {
    std::string text;
    if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; })) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
            text = bytes;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

struct OwnedSearch {
    HWND owner;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchOwned(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<OwnedSearch*>(parameter);
    if (IsWindowVisible(window) && ClassOf(window) == search->className &&
        (search->owner == nullptr || GetWindow(window, GW_OWNER) == search->owner)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the class owned by `owner` (by anyone, if null).
HWND FindOwned(HWND owner, const char* className) {
    OwnedSearch search{owner, className, nullptr};
    EnumWindows(MatchOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The rows of a result field's menu, top to bottom, separators not counted.
enum FieldMenuRow { kNoRow = 0, kRowCopy = 1, kRowHashFile, kRowCompare, kRowCopyAll, kRowMusic };

class FileFeatures : public RunningProgram {
protected:
    void SetUp() override {}

    // The block is written into the program's own memory: a handle of this process would
    // mean nothing there, and WM_DROPFILES is not carried across processes. A pointer is a
    // valid fixed handle for GlobalLock; the program's DragFinish cannot free it, which
    // leaks one page of the ended test program at most.
    void Drop(const std::string& path) const {
        const std::string block = DropBlock(path);
        void* remote = VirtualAllocEx(process_.hProcess, nullptr, block.size(),
                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        ASSERT_NE(remote, nullptr);
        ASSERT_TRUE(
            WriteProcessMemory(process_.hProcess, remote, block.data(), block.size(), nullptr));
        PostMessageA(dialog_, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
    }

    bool WaitForTitle(const std::string& title) const {
        return WaitFor([&] { return WindowText(dialog_) == title; });
    }

    std::vector<std::string> ShownTexts() const {
        std::vector<std::string> texts;
        for (const int id : kResultFields) texts.push_back(WindowText(Control(id)));
        return texts;
    }

    // Right-clicks the result field `id` and picks the row with the keys a user would press.
    // kNoRow closes it with Escape. Hands back the menu's picture before any key.
    std::vector<COLORREF> ChooseOnField(int id, FieldMenuRow row) const {
        RECT box{};
        GetWindowRect(Control(id), &box);
        PostMessageA(Control(id), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Control(id)),
                     MAKELPARAM(box.left + 4, box.top + 4));
        HWND menu = nullptr;
        EXPECT_TRUE(WaitFor([&] {
            menu = FindProcessWindow(process_.dwProcessId, "#32768", "");
            return menu != nullptr;
        })) << "no menu opened";
        if (menu == nullptr) return {};
        // Wine keeps a menu's items in the process that made it (GetMenuState from here
        // fails), so the check mark is seen the way the user sees it: on the screen.
        // The picture is taken once it has settled: the same twice in a row.
        std::vector<COLORREF> picture;
        std::vector<COLORREF> previous;
        EXPECT_TRUE(WaitFor([&] {
            previous = std::move(picture);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            picture = PictureOf(menu);
            return picture == previous;
        })) << "the menu kept changing";
        for (int k = 0; k < row; ++k) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menu, WM_KEYDOWN, row == kNoRow ? VK_ESCAPE : VK_RETURN, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); })) << "the menu stayed open";
        return picture;
    }

    // The window's pixels as shown on the screen, row by row.
    static std::vector<COLORREF> PictureOf(HWND window) {
        RECT area{};
        GetWindowRect(window, &area);
        HDC screen = GetDC(nullptr);
        std::vector<COLORREF> pixels;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) pixels.push_back(GetPixel(screen, x, y));
        }
        ReleaseDC(nullptr, screen);
        return pixels;
    }

    // The next message box of the dialog: its text, then OK.
    std::string AnswerMessageBox() const {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = FindOwned(dialog_, "#32770")) != nullptr; })) return "";
        std::string text;
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if (lstrcmpiA(ClassOf(child).c_str(), "Static") == 0) text += WindowText(child);
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(box); });
        return text;
    }
};

TEST_F(FileFeatures, ADroppedFileIsHashedNamedInTheTitleAndCopiedAsTaggedLines) {
    Start("");
    const std::string bytes(200000, 'z');
    TemporaryFile file("dropped.dat", bytes);
    Drop(file.path);
    ASSERT_TRUE(WaitForTitle("dropped.dat - Vorlan's Hash Calculation")) << WindowText(dialog_);
    const std::vector<std::string> expected = TextsOf(bytes);
    EXPECT_EQ(ShownTexts(), expected);

    ASSERT_TRUE(PutOnClipboard("before"));
    ChooseOnField(IDC_SHA256, kRowCopyAll);
    // A Windows path has backslashes: each line is marked and they are doubled, so that a
    // checker reads the name back as it was.
    std::string escapedPath;
    for (const char c : file.path) escapedPath += c == '\\' ? std::string(2, c) : std::string(1, c);
    std::string lines;
    for (int k = 0; k < kWindowDigestCount; ++k) {
        lines += "\\" + std::string(DigestTable[k].name) + " (" + escapedPath +
                 ") = " + expected[k] + "\r\n";
    }
    EXPECT_TRUE(WaitFor([&] { return ClipboardText() == lines; })) << ClipboardText();

    // Copy on a field copies that field alone.
    ChooseOnField(IDC_RIPEMD160, kRowCopy);
    EXPECT_TRUE(WaitFor([&] { return ClipboardText() == expected[7]; })) << ClipboardText();

    // Typing goes back to the text's digests and its title.
    Type("abc");
    EXPECT_TRUE(WaitForTitle(kDialogCaption)) << WindowText(dialog_);
    ExpectFieldsShowDigestsOf("abc");
}

TEST_F(FileFeatures, CompareWithClipboardNamesAndSelectsTheMatchingField) {
    Start("");
    Type("abc");
    const std::vector<std::string> abc = TextsOf("abc");
    // Published in capitals with the file name: the comparison looks past both.
    std::string published = "SHA256 (abc.txt) = ";
    for (const char c : abc[5])
        published += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(PutOnClipboard(published));
    ChooseOnField(IDC_MD5, kRowCompare);
    EXPECT_EQ(AnswerMessageBox(),
              "The clipboard's digest matches " + std::string(DigestTable[5].name) + ".");
    DWORD start = 1, end = 0;
    EXPECT_TRUE(WaitFor([&] {
        SendMessageA(Control(IDC_SHA256), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return start == 0 && end == abc[5].size();
    })) << start
        << ".." << end;

    ASSERT_TRUE(PutOnClipboard("0123456789abcdef0123456789abcdef"));
    ChooseOnField(IDC_MD5, kRowCompare);
    EXPECT_EQ(AnswerMessageBox(), "The clipboard's digest matches none of the twelve fields.");
}

// The same menu shown three times differs only in the music item's mark: off after the
// first choice, on again after the second. A grayed item (no wave device) never changes.
TEST_F(FileFeatures, PlayMusicSwitchesTheSongOffAndOnAgain) {
    Start("");
    // Under Wine the first menu of a process does not reach the screen's pixels: it is
    // opened and closed once before the pictures that count.
    ChooseOnField(IDC_MD5, kNoRow);
    const std::vector<COLORREF> playing = ChooseOnField(IDC_MD5, kRowMusic);
    const std::vector<COLORREF> paused = ChooseOnField(IDC_MD5, kRowMusic);
    const std::vector<COLORREF> again = ChooseOnField(IDC_MD5, kRowMusic);
    ASSERT_FALSE(playing.empty());
    EXPECT_NE(playing, paused) << "the mark did not change: the music did not stop";
    EXPECT_EQ(playing, again) << "the mark did not come back: the music did not start again";
    // Still answering: the fields follow typing.
    Type("abc");
    ExpectFieldsShowDigestsOf("abc");
}

// Shift+F10 or the menu key on a field reaches the dialog as WM_CONTEXTMENU without a
// position (-1, -1): the menu opens just below that field, not in a corner of the screen.
TEST_F(FileFeatures, TheMenuAskedForFromTheKeyboardOpensBelowTheField) {
    Start("");
    for (const int id : {IDC_MD2, IDC_SHA256}) {
        SCOPED_TRACE(id);
        RECT field{};
        ASSERT_TRUE(GetWindowRect(Control(id), &field));
        PostMessageA(Control(id), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Control(id)),
                     static_cast<LPARAM>(-1));
        HWND menu = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            menu = FindProcessWindow(process_.dwProcessId, "#32768", "");
            return menu != nullptr;
        })) << "no menu opened";
        RECT shown{};
        GetWindowRect(menu, &shown);
        EXPECT_EQ(shown.left, field.left);
        EXPECT_EQ(shown.top, field.bottom);
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); })) << "the menu stayed open";
    }
}

TEST_F(FileFeatures, AFileOnTheCommandLineShowsTheSameTextsAsOnLinux) {
    std::string bytes;
    for (int k = 0; k < 70000; ++k) bytes += static_cast<char>(k * 7 % 251);
    TemporaryFile file("named.bin", bytes);
    Start("\"" + file.path + "\"");
    ASSERT_TRUE(WaitForTitle("named.bin - Vorlan's Hash Calculation")) << WindowText(dialog_);
    EXPECT_EQ(ShownTexts(), TextsOf(bytes));
}

}  // namespace
