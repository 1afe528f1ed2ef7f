// What a window handle is in the Qt user32 layer, shared by the files that provide user32,
// shell32 and comdlg32 over Qt. A dialog's handle lives as long as its modal run; each of its
// controls has a handle of its own (GetDlgItem), owned by the dialog's.
#pragma once

#include <QWidget>

#include <memory>
#include <vector>

#include "win32.h"

class QDialog;

struct HWND__ {
    QDialog* window = nullptr;   // a dialog: its window; null for a control
    QWidget* control = nullptr;  // a control: its widget; null for a dialog
    HWND__* dialog = nullptr;    // a control: the dialog it belongs to
    DLGPROC procedure = nullptr;
    std::vector<QWidget*> controls;                       // template order
    std::vector<std::unique_ptr<HWND__>> controlHandles;  // same order
    HICON icons[2] = {nullptr, nullptr};                  // WM_SETICON: ICON_SMALL, ICON_BIG
    bool acceptsFiles = false;                            // DragAcceptFiles
};

// The procedure's answer, or 0 when the dialog has none (any more).
INT_PTR SendToProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The widget a handle stands for: a dialog's window or a control's widget.
QWidget* WidgetOf(HWND window);
// The handle of the control widget `widget` (or of the control it is part of), else the
// dialog's own.
HWND HandleAt(HWND dialog, QWidget* widget);

// Drops: the files of a drop event as a WM_DROPFILES for the procedure, texts as a paste.
// True when the event was taken here. Lives in shell32_qt.cpp.
bool RouteDropEvent(HWND dialog, QObject* watched, QEvent* event);
