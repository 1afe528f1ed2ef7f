// The clipboard's text, through the Win32 clipboard calls.
#pragma once

#include <string>

#include "win32.h"

// True when the text is on the clipboard.
bool PutTextOnClipboard(HWND owner, const std::string& text);
// The clipboard's text; false when it holds none or cannot be opened.
bool ReadClipboardText(HWND owner, std::string* text);
