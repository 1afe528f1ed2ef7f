// The harness that runs the main dialog inside the test process.
#include "window_harness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "dialog_template.h"
#include "main_dialog.h"
#include "resource.h"

ObservedDialog Observed;

const int ResultFieldIds[12] = {IDC_MD5,       IDC_MD2,    IDC_MD4,       IDC_SHA0,
                                IDC_SHA1,      IDC_SHA256, IDC_RIPEMD128, IDC_RIPEMD160,
                                IDC_RIPEMD256, IDC_CRC16,  IDC_CRC32,     IDC_CRC32B};

namespace {

INT_PTR CALLBACK ObservingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) Observed.dialog = dialog;
    if (Observed.onMessage) Observed.onMessage(message);
    if (message == WM_COMMAND) Observed.commands.push_back(wParam);
    if (message == WM_CLOSE) {
        // The real procedure ends the process here; the exit itself is checked in a child.
        ++Observed.closeRequests;
        return TRUE;
    }
    return MainDialogProc(dialog, message, wParam, lParam);
}

}  // namespace

void RunMainDialog(const std::function<void(QDialog& window)>& script, const char* startFile) {
    Observed = ObservedDialog{};
    QTimer::singleShot(0, [&script] {
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (window == nullptr) {
            ADD_FAILURE() << "the main dialog is not the active modal window";
            return;
        }
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        script(*window);
        window->done(0);
    });
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                        ObservingProc, reinterpret_cast<LPARAM>(startFile));
    EXPECT_EQ(result, 0);
}

QWidget* Control(QDialog& window, int id) {
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (ControlIdOf(child) == id) return child;
    }
    return nullptr;
}

int ControlIdOf(const QWidget* widget) {
    if (widget == nullptr) return -1;
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

QString ShownText(QDialog& window, int id) {
    QWidget* control = Control(window, id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) return edit->toPlainText();
    ADD_FAILURE() << "no edit control " << id;
    return QString();
}

std::string ReadItem(int id) {
    static char text[4096];
    const UINT count = GetDlgItemTextA(Observed.dialog, id, text, sizeof text);
    return std::string(text, count);
}

bool ReceivedCommand(int id, int code) {
    return std::find(Observed.commands.begin(), Observed.commands.end(), MAKEWPARAM(id, code)) !=
           Observed.commands.end();
}

QWidget* MouseTarget(QWidget* control) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) return edit->viewport();
    return control;
}

OpenedMenu WatchContextMenu(const std::function<void()>& ask, const QString& item) {
    OpenedMenu seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible()) return;
        poll.stop();
        seen.opened = true;
        seen.at = menu->geometry().topLeft();
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            seen.items.push_back(action->text().toStdString());
            if (action->text() == item) chosen = action;
        }
        if (chosen == nullptr) {
            menu->close();
            return;
        }
        seen.picked = true;
        seen.pickedChecked = chosen->isChecked();
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    poll.start(20);
    ask();
    // An edit's own menu pops up without waiting; it is handled here all the same.
    seen.opened = QTest::qWaitFor([&] { return !poll.isActive(); }, 5000) && seen.opened;
    poll.stop();
    return seen;
}

std::vector<std::string> ChooseFromContextMenu(QWidget* control, const QString& item,
                                               bool* checked) {
    const OpenedMenu menu = WatchContextMenu(
        [control] {
            QWidget* target = MouseTarget(control);
            const QPoint at(target->width() / 2, target->height() / 2);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
            QApplication::sendEvent(target, &event);
        },
        item);
    EXPECT_TRUE(menu.opened) << "no menu opened";
    if (menu.picked && checked != nullptr) *checked = menu.pickedChecked;
    return menu.items;
}
