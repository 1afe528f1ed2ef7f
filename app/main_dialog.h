// The main dialog's behaviour: live digests of the input field and the About box.
#pragma once

#include "win32.h"

// The procedure of dialog template IDD_MAIN.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the input field, runs the twelve digest routines and shows their texts; returns the
// result of the last field write.
BOOL RecomputeDigests(HWND dialog);

// The About box's text: five lines separated by CR LF.
extern const char AboutText[];
extern const char AboutCaption[];
