// Runs the real main dialog in the test process and lets a test drive it through Qt.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "win32.h"

// What the dialog procedure was sent while the dialog ran.
struct ObservedDialog {
    HWND dialog = nullptr;
    std::vector<WPARAM> commands;  // wParam of every WM_COMMAND, in order
    int closeRequests = 0;         // WM_CLOSE messages, kept from ending the test process
    std::function<void(UINT message)> onMessage;  // told of every message, before the procedure
};
extern ObservedDialog Observed;

// Shows the main dialog with MainDialogProc (WM_CLOSE excepted, see ObservedDialog), runs
// `script` once the dialog is up and active, then ends the dialog. `startFile` is the
// dialog's initialisation value: a file named on the command line, or null.
void RunMainDialog(const std::function<void(QDialog& window)>& script,
                   const char* startFile = nullptr);

// The control widget with this id, or null.
QWidget* Control(QDialog& window, int id);
// The id a control widget carries (65535 for unnamed ones), or -1 for another widget.
int ControlIdOf(const QWidget* widget);
// The text a control shows on screen.
QString ShownText(QDialog& window, int id);
// The text of a control read through GetDlgItemTextA, with a generous buffer.
std::string ReadItem(int id);
// True when the procedure received WM_COMMAND with this id and notification code.
bool ReceivedCommand(int id, int code);

// The widget that receives mouse events for a control: a multi-line edit's viewport.
QWidget* MouseTarget(QWidget* control);

// A context menu as it opened: its items (separators left out), its top left corner on the
// screen, and whether the item picked from it carried a check mark.
struct OpenedMenu {
    bool opened = false;
    std::vector<std::string> items;
    QPoint at;
    bool picked = false;
    bool pickedChecked = false;
};
// Runs `ask`, which asks for a context menu, then records the menu that opens and picks
// `item` from it (or closes it when it has no such item).
OpenedMenu WatchContextMenu(const std::function<void()>& ask, const QString& item);
// Right-clicks `control` and chooses `item` from the menu that opens (closes it when there
// is no such item); returns the items seen and, in `checked`, the item's check mark.
std::vector<std::string> ChooseFromContextMenu(QWidget* control, const QString& item,
                                               bool* checked = nullptr);

// The twelve result fields in field order (the digest table's order).
extern const int ResultFieldIds[12];
