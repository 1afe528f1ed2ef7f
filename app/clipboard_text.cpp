#include "clipboard_text.h"

#include <cstring>

bool PutTextOnClipboard(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool placed = false;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (auto* bytes = static_cast<char*>(GlobalLock(memory))) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            // On success the clipboard owns the memory; otherwise it is still ours.
            placed = SetClipboardData(CF_TEXT, memory) != nullptr;
        }
        if (!placed) GlobalFree(memory);
    }
    CloseClipboard();
    return placed;
}

bool ReadClipboardText(HWND owner, std::string* text) {
    text->clear();
    if (!OpenClipboard(owner)) return false;
    bool found = false;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
            text->assign(bytes);
            GlobalUnlock(data);
            found = true;
        }
    }
    CloseClipboard();
    return found;
}
