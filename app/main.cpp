// hashcalc: the window program's entry point.
#include "main_dialog.h"
#include "resource.h"
#include "win32.h"

int main() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    // Only reached when the dialog could not be created: the window normally ends the
    // process itself when it is closed.
    ExitProcess(0);
}
