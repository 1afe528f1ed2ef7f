// The main dialog: on every notification from the input field, the twelve digests of its
// text; the About box; WM_CLOSE ends the process.
#include "main_dialog.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "about_config.h"
#include "clipboard_text.h"
#include "digest.h"
#include "digest_lines.h"
#include "digest_table.h"
#include "embedded_song.h"
#include "file_hashing.h"
#include "player.h"
#include "resource.h"

#define HASHCALC_STRINGIZE_(x) #x
#define HASHCALC_STRINGIZE(x) HASHCALC_STRINGIZE_(x)
#if defined(__clang__)
#define HASHCALC_COMPILER                                                \
    "Clang " HASHCALC_STRINGIZE(__clang_major__) "." HASHCALC_STRINGIZE( \
        __clang_minor__) "." HASHCALC_STRINGIZE(__clang_patchlevel__)
#elif defined(__GNUC__)
#define HASHCALC_COMPILER                                       \
    "GCC " HASHCALC_STRINGIZE(__GNUC__) "." HASHCALC_STRINGIZE( \
        __GNUC_MINOR__) "." HASHCALC_STRINGIZE(__GNUC_PATCHLEVEL__)
#elif defined(_MSC_VER)
#define HASHCALC_COMPILER "Microsoft C/C++ " HASHCALC_STRINGIZE(_MSC_FULL_VER)
#else
#define HASHCALC_COMPILER "an unknown compiler"
#endif

const char AboutCaption[] = "About This Hash Calculation .....";
const char AboutText[] =
    "Vorlan's Hash Calculation\r\n"
    "Support to MD2,MD4,MD5,SHA0,SHA1,SHA256,RIPEMD128,RIPEMD160\r\n"
    "RIPEMD256,CRC16,CRC32,CRC32b\r\n"
    "Compiled by " HASHCALC_COMPILER "\r\n" HASHCALC_ABOUT_ADDRESS;

namespace {

// The input field hands over at most this many bytes, NUL included.
constexpr int kInputLimit = 768;
constexpr std::uint32_t kLongestInput = kInputLimit - 1;
// MD5, MD4, RIPEMD-128 and RIPEMD-160 write their padding into the buffer they are given, so
// every text buffer holds the padded length of the longest input (832 bytes), not just the
// text: with smaller copies a long text would overrun into its neighbour.
constexpr std::size_t kTextBufferBytes = DigestBufferLength(kLongestInput);
static_assert(kTextBufferBytes >= kInputLimit, "a text buffer must hold the whole input");

// The chaining-state area the four padding routines borrow.
constexpr std::size_t kScratchBytes = 256;
static_assert(kScratchBytes >= kDigestScratchBytes, "too little scratch for the digests");

// One copy of the input per routine other than MD5, in the order of the fields.
enum WorkCopyIndex {
    kCopyMD2,
    kCopyMD4,
    kCopySHA0,
    kCopySHA1,
    kCopySHA256,
    kCopyRIPEMD128,
    kCopyRIPEMD160,
    kCopyRIPEMD256,
    kCopyCRC16,
    kCopyCRC32,
    kCopyCRC32b,
    kWorkCopyCount
};

// The shell's buffers: static, used only on the dialog thread. HashMD5 runs on InputText
// itself, so after a recompute it holds the MD5 text rather than the input.
char InputText[kTextBufferBytes];
char WorkCopy[kWorkCopyCount][kTextBufferBytes];
alignas(std::uint64_t) unsigned char ScratchBlock[kScratchBytes];
std::uint32_t InputLength;

// The program icon in the title bar and the task bar.
void ShowProgramIcon(HWND dialog) {
    const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_HASHCALC));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void ShowAboutBox(HWND dialog) {
    MessageBoxA(dialog, AboutText, AboutCaption, MB_OK | MB_ICONINFORMATION);
}

// The result fields in catalogue order.
constexpr int kResultFields[kWindowDigestCount] = {
    IDC_MD5,       IDC_MD2,       IDC_MD4,       IDC_SHA0,  IDC_SHA1,  IDC_SHA256,
    IDC_RIPEMD128, IDC_RIPEMD160, IDC_RIPEMD256, IDC_CRC16, IDC_CRC32, IDC_CRC32B};

// Posted to itself at the start: hash the file named on the command line (lParam).
constexpr UINT kStartFileMessage = WM_APP + 3;

// The context menu's commands.
enum MenuCommand : UINT {
    kMenuCopyField = 40001,
    kMenuHashFile,
    kMenuCompare,
    kMenuCopyAll,
    kMenuMusic,
};

// What the window shows and does besides the typed text's digests; dialog thread only.
struct WindowState {
    char caption[128] = "";  // the template's caption, the title for typed text
    bool showsFile = false;  // the fields show shownFile's digests, not the text's
    std::string shownFile;
    FileHashJob* running = nullptr;  // the file being hashed, if any
    long runningPercent = 0;
    bool musicAvailable = false;  // the player started
    bool musicPaused = false;
};
WindowState State;

int FieldIndex(int id) {
    for (int k = 0; k < kWindowDigestCount; ++k) {
        if (kResultFields[k] == id) return k;
    }
    return -1;
}

// The title says at every moment whose digests the fields show, and which file is being
// hashed, with its progress.
void ShowStateInTitle(HWND dialog) {
    const std::string shown = State.showsFile ? FileNameOf(State.shownFile) : "the typed text";
    std::string title;
    if (State.running != nullptr) {
        title = "Hashing " + FileNameOf(State.running->path) + ": " +
                std::to_string(State.runningPercent) + "% (showing " + shown + ") -";
    } else if (State.showsFile) {
        title = shown + " -";
    }
    title += State.caption;
    SetWindowTextA(dialog, title.c_str());
}

void CancelRunningFile() {
    CancelFileHash(State.running);  // its end message releases it
    State.running = nullptr;
}

void StartHashingFile(HWND dialog, const std::string& path) {
    FileHashOutcome outcome = FileHashOutcome::kRunning;
    int error = 0;
    FileHashJob* job = StartFileHash(dialog, path, &outcome, &error);
    if (job == nullptr) {
        // The fields keep what they showed.
        MessageBoxA(dialog, FileProblemText(path, outcome, error).c_str(), State.caption,
                    MB_OK | MB_ICONWARNING);
        return;
    }
    CancelRunningFile();
    State.running = job;
    State.runningPercent = 0;
    ShowStateInTitle(dialog);
}

void FinishFileJob(HWND dialog, FileHashJob* job) {
    if (job == State.running) {
        State.running = nullptr;
        if (job->outcome == FileHashOutcome::kDone) {
            for (int k = 0; k < kWindowDigestCount; ++k) {
                SetDlgItemTextA(dialog, kResultFields[k], job->texts[k]);
            }
            State.showsFile = true;
            State.shownFile = job->path;
            ShowStateInTitle(dialog);
        } else {
            ShowStateInTitle(dialog);
            MessageBoxA(dialog, FileProblemText(job->path, job->outcome, job->error).c_str(),
                        State.caption, MB_OK | MB_ICONWARNING);
        }
    }
    ReleaseFileHash(job);
}

void TakeDroppedFiles(HWND dialog, HDROP drop) {
    // The first file is hashed; a drop of several has no order a user could rely on anyway.
    std::string path;
    if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        path.resize(DragQueryFileA(drop, 0, nullptr, 0) + 1);
        path.resize(DragQueryFileA(drop, 0, path.data(), static_cast<UINT>(path.size())));
    }
    DragFinish(drop);
    if (!path.empty()) StartHashingFile(dialog, path);
}

void ChooseFileToHash(HWND dialog) {
    char path[4096] = "";
    OPENFILENAMEA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = dialog;
    chooser.lpstrFile = path;
    chooser.nMaxFile = sizeof path;
    chooser.lpstrTitle = "Hash a file";
    chooser.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (GetOpenFileNameA(&chooser)) StartHashingFile(dialog, path);
}

// The twelve field texts, catalogue order.
struct FieldTexts {
    char texts[kWindowDigestCount][kLongestTextBytes];
    const char* pointers[kWindowDigestCount];
};

void ReadFieldTexts(HWND dialog, FieldTexts* fields) {
    for (int k = 0; k < kWindowDigestCount; ++k) {
        GetDlgItemTextA(dialog, kResultFields[k], fields->texts[k], kLongestTextBytes);
        fields->pointers[k] = fields->texts[k];
    }
}

void CopyAllDigests(HWND dialog) {
    std::string source;
    if (State.showsFile) {
        source = State.shownFile;
    } else {
        // The fields are brought up to date first: before any notification they are empty.
        RecomputeDigests(dialog);
        char text[kInputLimit];
        const UINT length = GetDlgItemTextA(dialog, IDC_INPUT, text, kInputLimit);
        // Appended piece by piece: GCC 12 misreports `"..." + string` as an overlapping copy
        // in optimised builds.
        source.append(1, '"').append(text, length).append(1, '"');
    }
    FieldTexts fields;
    ReadFieldTexts(dialog, &fields);
    PutTextOnClipboard(dialog, DigestLines(source, fields.pointers, "\r\n"));
}

void CopyField(HWND dialog, int id) {
    char text[kLongestTextBytes];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    PutTextOnClipboard(dialog, text);
}

void CompareWithClipboard(HWND dialog) {
    std::string pasted;
    ReadClipboardText(dialog, &pasted);
    const std::string digest = PublishedDigest(pasted);
    if (digest.empty()) {
        MessageBoxA(dialog, "The clipboard holds no digest to compare.", State.caption,
                    MB_OK | MB_ICONWARNING);
        return;
    }
    FieldTexts fields;
    ReadFieldTexts(dialog, &fields);
    const int match = MatchingDigest(digest, fields.pointers);
    if (match < 0) {
        MessageBoxA(dialog, "The clipboard's digest matches none of the twelve fields.",
                    State.caption, MB_OK | MB_ICONWARNING);
        return;
    }
    // Focus first: the input's losing it rewrites the fields, which clears a selection.
    const HWND field = GetDlgItem(dialog, kResultFields[match]);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
    const std::string found =
        std::string("The clipboard's digest matches ") + DigestTable[match].name + ".";
    MessageBoxA(dialog, found.c_str(), State.caption, MB_OK | MB_ICONINFORMATION);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
}

void ToggleMusic() {
    if (State.musicAvailable) State.musicPaused = TogglePause() == 1;
}

// Right click on the window or a result field, or the menu key on one. The input field keeps
// its own edit menu.
BOOL ShowContextMenu(HWND dialog, HWND target, LPARAM where) {
    const int fieldId = target != dialog ? GetDlgCtrlID(target) : 0;
    if (fieldId == IDC_INPUT) return FALSE;
    const bool onField = FieldIndex(fieldId) >= 0;
    const HMENU menu = CreatePopupMenu();
    if (onField) {
        AppendMenuA(menu, MF_STRING, kMenuCopyField, "Copy");
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
    AppendMenuA(menu, MF_STRING, kMenuHashFile, "Hash a file...");
    AppendMenuA(menu, MF_STRING, kMenuCompare, "Compare with clipboard");
    AppendMenuA(menu, MF_STRING, kMenuCopyAll, "Copy all digests");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    UINT musicFlags = State.musicPaused ? MF_UNCHECKED : MF_CHECKED;
    if (!State.musicAvailable) musicFlags = MF_GRAYED;
    AppendMenuA(menu, MF_STRING | musicFlags, kMenuMusic, "Play music");
    int x = static_cast<short>(LOWORD(where));
    int y = static_cast<short>(HIWORD(where));
    // Asked for from the keyboard (Shift+F10, the menu key) the menu has no pointer position
    // (-1, -1): it opens just below the focused control, which stays readable above it.
    RECT box{};
    if (x == -1 && y == -1 && GetWindowRect(target, &box)) {
        x = box.left;
        y = target != dialog ? box.bottom : box.top;
    }
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, dialog, nullptr));
    DestroyMenu(menu);
    switch (chosen) {
        case kMenuCopyField: CopyField(dialog, fieldId); break;
        case kMenuHashFile: ChooseFileToHash(dialog); break;
        case kMenuCompare: CompareWithClipboard(dialog); break;
        case kMenuCopyAll: CopyAllDigests(dialog); break;
        case kMenuMusic: ToggleMusic(); break;
        default: break;
    }
    return TRUE;
}

#ifdef _WIN32
// On Windows an edit control answers WM_CONTEXTMENU itself with its own edit menu, so a right
// click on a result field would never reach the dialog. The fields' procedure is replaced by
// one that hands the message to the dialog and leaves everything else to the edit class.
// (The Linux window layer already gives the dialog procedure the first word on every right
// click, with the control under the pointer, so there is nothing to replace there.)
WNDPROC EditClassProcedure = nullptr;

LRESULT CALLBACK ResultFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CONTEXTMENU) {
        return SendMessageA(GetParent(field), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(field),
                            lParam);
    }
    return CallWindowProcA(EditClassProcedure, field, message, wParam, lParam);
}

void RouteFieldMenusToDialog(HWND dialog) {
    // The class's procedure is the one every field starts with: reading it here keeps the
    // conversion from the window's LONG_PTR slot out of the program.
    WNDCLASSA editClass{};
    if (!GetClassInfoA(nullptr, "EDIT", &editClass)) return;
    EditClassProcedure = editClass.lpfnWndProc;
    // Assigned first, so that the compiler checks the calling convention against WNDPROC.
    const WNDPROC replacement = ResultFieldProc;
    for (const int id : kResultFields) {
        SetWindowLongPtrA(GetDlgItem(dialog, id), GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(replacement));
    }
}
#else
void RouteFieldMenusToDialog(HWND) {}
#endif

// Typing replaces a file's digests with the text's and cancels a file being hashed; the
// field's focus notifications recompute the text's digests only while those are shown.
BOOL InputNotification(HWND dialog, WORD code) {
    if (code == EN_CHANGE || code == EN_UPDATE) {
        const bool changed = State.showsFile || State.running != nullptr;
        CancelRunningFile();
        State.showsFile = false;
        if (changed) ShowStateInTitle(dialog);
    } else if (State.showsFile) {
        return 0;
    }
    return RecomputeDigests(dialog);
}

}  // namespace

BOOL RecomputeDigests(HWND dialog) {
    InputLength = GetDlgItemTextA(dialog, IDC_INPUT, InputText, kInputLimit);
    for (char* copy : WorkCopy) lstrcpyA(copy, InputText);

    HashMD5(InputText, InputLength, ScratchBlock);
    HashMD2(WorkCopy[kCopyMD2], InputLength);
    HashMD4(WorkCopy[kCopyMD4], InputLength, ScratchBlock);
    HashSHA0(WorkCopy[kCopySHA0], InputLength);
    HashSHA1(WorkCopy[kCopySHA1], InputLength);
    HashSHA256(WorkCopy[kCopySHA256], InputLength);
    HashRIPEMD128(WorkCopy[kCopyRIPEMD128], InputLength, ScratchBlock);
    HashRIPEMD160(WorkCopy[kCopyRIPEMD160], InputLength, ScratchBlock);
    HashRIPEMD256(WorkCopy[kCopyRIPEMD256], InputLength);
    HashCRC16(WorkCopy[kCopyCRC16], InputLength);
    HashCRC32(WorkCopy[kCopyCRC32], InputLength);
    HashCRC32b(WorkCopy[kCopyCRC32b], InputLength);

    SetDlgItemTextA(dialog, IDC_MD5, InputText);
    SetDlgItemTextA(dialog, IDC_MD2, WorkCopy[kCopyMD2]);
    SetDlgItemTextA(dialog, IDC_MD4, WorkCopy[kCopyMD4]);
    SetDlgItemTextA(dialog, IDC_SHA0, WorkCopy[kCopySHA0]);
    SetDlgItemTextA(dialog, IDC_SHA1, WorkCopy[kCopySHA1]);
    SetDlgItemTextA(dialog, IDC_SHA256, WorkCopy[kCopySHA256]);
    SetDlgItemTextA(dialog, IDC_RIPEMD128, WorkCopy[kCopyRIPEMD128]);
    SetDlgItemTextA(dialog, IDC_RIPEMD160, WorkCopy[kCopyRIPEMD160]);
    SetDlgItemTextA(dialog, IDC_RIPEMD256, WorkCopy[kCopyRIPEMD256]);
    SetDlgItemTextA(dialog, IDC_CRC16, WorkCopy[kCopyCRC16]);
    SetDlgItemTextA(dialog, IDC_CRC32, WorkCopy[kCopyCRC32]);
    return SetDlgItemTextA(dialog, IDC_CRC32B, WorkCopy[kCopyCRC32b]);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            ShowProgramIcon(dialog);
            State = WindowState{};
            GetWindowTextA(dialog, State.caption, sizeof State.caption);
            State.musicAvailable = PlayModule(EmbeddedSong) != nullptr;
            SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
            DragAcceptFiles(dialog, TRUE);
            RouteFieldMenusToDialog(dialog);
            // A file named on the command line is hashed once the window runs.
            if (lParam != 0) PostMessageA(dialog, kStartFileMessage, 0, lParam);
            return 0;
        case WM_CLOSE:
            // deliberate:
            // the dialog is not ended and the player not stopped: the process ends here.
            ExitProcess(0);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_INPUT) return InputNotification(dialog, HIWORD(wParam));
            if (LOWORD(wParam) == IDC_ABOUT) ShowAboutBox(dialog);
            return 0;
        case WM_DROPFILES: TakeDroppedFiles(dialog, reinterpret_cast<HDROP>(wParam)); return 0;
        case WM_CONTEXTMENU: return ShowContextMenu(dialog, reinterpret_cast<HWND>(wParam), lParam);
        case kStartFileMessage:
            StartHashingFile(dialog, reinterpret_cast<const char*>(lParam));
            return 0;
        case kFileHashProgressMessage:
            if (reinterpret_cast<FileHashJob*>(wParam) == State.running) {
                State.runningPercent = static_cast<long>(lParam);
                ShowStateInTitle(dialog);
            }
            return 0;
        case kFileHashEndedMessage:
            FinishFileJob(dialog, reinterpret_cast<FileHashJob*>(wParam));
            return 0;
        default: return 0;
    }
}
