// The subset of Win32 (user32, kernel32, winmm) that the shell, the digest engine and the
// player are written against. On Windows this is the real API; elsewhere platform/ provides
// the same names and meanings on top of Qt, SDL2, the C++ library and POSIX.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
// winbase.h maps FreeModule onto FreeLibrary; the player has a routine of that name.
#undef FreeModule
#else

#include <cstddef>
#include <cstdint>

#define WINAPI
#define WINAPIV
#define CALLBACK

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using BOOL = int;
using LONG = std::int32_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using SIZE_T = std::size_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

using HANDLE = void*;
using HGLOBAL = void*;
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HICON__;
using HICON = HICON__*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xFFFF))
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<UINT_PTR>(static_cast<WORD>(i))))
#define MAKELPARAM(low, high) (static_cast<LPARAM>(static_cast<DWORD>(MAKEWPARAM(low, high))))
#define MAKEWPARAM(low, high)                                           \
    (static_cast<WPARAM>((static_cast<DWORD>(static_cast<WORD>(low))) | \
                         (static_cast<DWORD>(static_cast<WORD>(high)) << 16)))

// ---- kernel32: strings and memory -------------------------------------------------------------
int WINAPIV wsprintfA(LPSTR destination, LPCSTR format, ...);
LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source);
LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source);
void WINAPI RtlMoveMemory(void* destination, const void* source, SIZE_T length);

#define GMEM_FIXED 0x0000
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL WINAPI GlobalFree(HGLOBAL memory);
#define GMEM_MOVEABLE 0x0002
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
LPVOID WINAPI GlobalLock(HGLOBAL memory);
BOOL WINAPI GlobalUnlock(HGLOBAL memory);

// ---- kernel32: process and threads ------------------------------------------------------------
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
[[noreturn]] void WINAPI ExitProcess(UINT exitCode);

using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID parameter);
using LPSECURITY_ATTRIBUTES = void*;
using LPDWORD = DWORD*;
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define CREATE_SUSPENDED 0x00000004
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                           LPTHREAD_START_ROUTINE startRoutine, LPVOID parameter,
                           DWORD creationFlags, LPDWORD threadId);
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
DWORD WINAPI SuspendThread(HANDLE thread);
DWORD WINAPI ResumeThread(HANDLE thread);
void WINAPI Sleep(DWORD milliseconds);
[[noreturn]] void WINAPI ExitThread(DWORD exitCode);
BOOL WINAPI CloseHandle(HANDLE object);

// ---- user32 -----------------------------------------------------------------------------------
using DLGPROC = INT_PTR(CALLBACK*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#define WM_CLOSE 0x0010
#define WM_SETICON 0x0080
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111

#define IDOK 1
#define IDCANCEL 2

#define BN_CLICKED 0
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400

#define ICON_SMALL 0
#define ICON_BIG 1
#define MB_OK 0x00000000L
#define MB_ICONINFORMATION 0x00000040L

#define HWND_TOP (static_cast<HWND>(nullptr))
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOACTIVATE 0x0010

// Window, dialog and control styles used by the dialog template.
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_EX_STATICEDGE 0x00020000L
#define DS_SETFONT 0x0040L
#define DS_MODALFRAME 0x0080L
#define DS_CENTER 0x0800L
#define ES_LEFT 0x0000L
#define ES_MULTILINE 0x0004L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_READONLY 0x0800L
#define SS_LEFT 0x0000L
#define BS_PUSHBUTTON 0x0000L
#define BS_DEFPUSHBUTTON 0x0001L
#define BS_GROUPBOX 0x0007L
#define BS_FLAT 0x8000L

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam);
UINT WINAPI GetDlgItemTextA(HWND dialog, int controlId, LPSTR text, int maxCount);
BOOL WINAPI SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- user32: messages between threads, window texts, controls ------------------------------
#define WM_APP 0x8000
#define WM_CONTEXTMENU 0x007B
#define EM_SETSEL 0x00B1
#define MB_ICONWARNING 0x00000030L
// Queued for the window's thread; safe to call from any thread.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
int WINAPI GetWindowTextA(HWND window, LPSTR text, int maxCount);
HWND WINAPI GetDlgItem(HWND dialog, int controlId);
int WINAPI GetDlgCtrlID(HWND control);
HWND WINAPI SetFocus(HWND window);

// A window's rectangle in screen coordinates, right and bottom just outside it; a dialog's
// takes in the frame around it.
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);

// ---- user32: context menus --------------------------------------------------------------------
struct HMENU__;
using HMENU = HMENU__*;
#define MF_STRING 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define MF_SEPARATOR 0x00000800L
#define TPM_LEFTALIGN 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_RETURNCMD 0x0100L
HMENU WINAPI CreatePopupMenu();
BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR itemId, LPCSTR text);
// With TPM_RETURNCMD: the chosen item's id, or 0 when the menu was dismissed.
BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                           const void* rect);
BOOL WINAPI DestroyMenu(HMENU menu);

// ---- user32: the clipboard (text only) --------------------------------------------------------
#define CF_TEXT 1
BOOL WINAPI OpenClipboard(HWND owner);
BOOL WINAPI CloseClipboard();
BOOL WINAPI EmptyClipboard();
// Takes ownership of `memory` (GlobalAlloc'd, a NUL-terminated text).
HANDLE WINAPI SetClipboardData(UINT format, HANDLE memory);
// The clipboard's text, owned by the clipboard until it is closed.
HANDLE WINAPI GetClipboardData(UINT format);

// ---- shell32: files dropped on a window -------------------------------------------------------
struct HDROP__;
using HDROP = HDROP__*;
#define WM_DROPFILES 0x0233
void WINAPI DragAcceptFiles(HWND window, BOOL accept);
// With index 0xFFFFFFFF the number of files; else copies the index-th path (at most `size`
// bytes with the NUL) and returns its length, or with a null buffer the length it needs.
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size);
void WINAPI DragFinish(HDROP drop);

// ---- comdlg32: the file chooser ---------------------------------------------------------------
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA dialog);

// ---- winmm: wave output -----------------------------------------------------------------------
struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;
using LPHWAVEOUT = HWAVEOUT*;
using MMRESULT = UINT;

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34

#define WAVE_MAPPER (static_cast<UINT>(-1))
#define CALLBACK_NULL 0x00000000L
#define WAVE_FORMAT_PCM 1

#define WHDR_DONE 0x00000001
#define WHDR_PREPARED 0x00000002
#define WHDR_BEGINLOOP 0x00000004
#define WHDR_ENDLOOP 0x00000008
#define WHDR_INQUEUE 0x00000010

#define TIME_MS 0x0001
#define TIME_SAMPLES 0x0002
#define TIME_BYTES 0x0004

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
    } u;
};
using LPMMTIME = MMTIME*;

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT device, UINT deviceId, LPCWAVEFORMATEX format,
                            DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT headerSize);
MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT headerSize);
MMRESULT WINAPI waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT headerSize);
MMRESULT WINAPI waveOutGetPosition(HWAVEOUT device, LPMMTIME time, UINT timeSize);
MMRESULT WINAPI waveOutPause(HWAVEOUT device);
MMRESULT WINAPI waveOutRestart(HWAVEOUT device);
MMRESULT WINAPI waveOutReset(HWAVEOUT device);
MMRESULT WINAPI waveOutClose(HWAVEOUT device);

#endif  // _WIN32
