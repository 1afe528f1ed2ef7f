// hashcalc: the window program's entry point.
#include <cstdio>

#include "command_line.h"
#include "main_dialog.h"
#include "resource.h"
#include "win32.h"

int main(int argc, char** argv) {
    const StartRequest request = ParseCommandLine(argc, argv);
    switch (request.action) {
        case StartAction::kPrintHelp: std::fputs(HelpText, stdout); return 0;
        case StartAction::kPrintVersion: std::fputs(VersionText, stdout); return 0;
        case StartAction::kUsageError:
            std::fprintf(stderr, "hashcalc: %s\n", request.error.c_str());
            return 2;
        case StartAction::kOpenWindow: break;
    }
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    // The dialog hashes the file given here as soon as it is up.
    const LPARAM startFile =
        request.file.empty() ? 0 : reinterpret_cast<LPARAM>(request.file.c_str());
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, startFile);
    // Only reached when the dialog could not be created: the window normally ends the
    // process itself when it is closed.
    ExitProcess(0);
}
