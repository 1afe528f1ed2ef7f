// user32 over Qt: pop-up menus and the clipboard's text.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "win32.h"
#include "window_handle.h"

struct HMENU__ {
    struct Item {
        UINT flags;
        UINT_PTR id;
        QString text;
    };
    std::vector<Item> items;
};

HMENU WINAPI CreatePopupMenu() {
    return new HMENU__;
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR itemId, LPCSTR text) {
    if (menu == nullptr) return FALSE;
    menu->items.push_back({flags, itemId, QString::fromUtf8(text != nullptr ? text : "")});
    return TRUE;
}

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const void*) {
    if (menu == nullptr) return FALSE;
    QMenu shown(WidgetOf(owner));
    for (const HMENU__::Item& item : menu->items) {
        if ((item.flags & MF_SEPARATOR) != 0) {
            shown.addSeparator();
            continue;
        }
        // Windows marks the key letter with '&'; Qt does too.
        QAction* action = shown.addAction(item.text);
        action->setData(QVariant::fromValue<qulonglong>(item.id));
        action->setEnabled((item.flags & MF_GRAYED) == 0);
        if ((item.flags & MF_CHECKED) != 0) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }
    const QAction* chosen = shown.exec(QPoint(x, y));
    const UINT_PTR id = chosen != nullptr ? chosen->data().toULongLong() : 0;
    if ((flags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(id);
    if (id != 0 && owner != nullptr) {
        const HWND dialog = owner->dialog != nullptr ? owner->dialog : owner;
        SendToProcedure(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    return TRUE;
}

BOOL WINAPI DestroyMenu(HMENU menu) {
    delete menu;
    return menu != nullptr;
}

namespace {

struct ClipboardUse {
    bool open = false;
    std::string read;  // what GetClipboardData handed out, valid until the clipboard closes
};
ClipboardUse clipboardUse;

}  // namespace

BOOL WINAPI OpenClipboard(HWND) {
    if (clipboardUse.open || QGuiApplication::clipboard() == nullptr) return FALSE;
    clipboardUse.open = true;
    return TRUE;
}

BOOL WINAPI CloseClipboard() {
    if (!clipboardUse.open) return FALSE;
    clipboardUse = ClipboardUse{};
    return TRUE;
}

BOOL WINAPI EmptyClipboard() {
    if (!clipboardUse.open) return FALSE;
    QGuiApplication::clipboard()->clear();
    return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE memory) {
    if (!clipboardUse.open || format != CF_TEXT || memory == nullptr) return nullptr;
    QString text = QString::fromUtf8(static_cast<const char*>(memory));
    // Windows texts break lines with CR LF; the desktop's with LF.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QGuiApplication::clipboard()->setText(text);
    GlobalFree(memory);  // the clipboard owns it now; Qt keeps its own copy
    return memory;
}

HANDLE WINAPI GetClipboardData(UINT format) {
    if (!clipboardUse.open || format != CF_TEXT) return nullptr;
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isNull()) return nullptr;
    clipboardUse.read = text.toStdString();
    return clipboardUse.read.data();
}
