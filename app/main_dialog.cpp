// The main dialog: on every notification from the input field, the twelve digests of its
// text; the About box; WM_CLOSE ends the process.
#include "main_dialog.h"

#include <cstddef>
#include <cstdint>

#include "about_config.h"
#include "digest.h"
#include "embedded_song.h"
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
    "Compiled by " HASHCALC_COMPILER
    "\r\n"
    HASHCALC_ABOUT_ADDRESS;

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

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            ShowProgramIcon(dialog);
            PlayModule(EmbeddedSong);
            SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
            return 0;
        case WM_CLOSE:
            // deliberate:
            // the dialog is not ended and the player not stopped: the process ends here.
            ExitProcess(0);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_INPUT) return RecomputeDigests(dialog);
            if (LOWORD(wParam) == IDC_ABOUT) ShowAboutBox(dialog);
            return 0;
        default:
            return 0;
    }
}
