// The context menu asked for from the keyboard, as people who do not use a mouse ask for it:
// the menu key or Shift+F10 on the focused control opens the window's menu for that control
// just below it, as WM_CONTEXTMENU without a position (-1, -1) does on Windows; the input
// keeps its own edit menu. A right click still opens the menu where it was made.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QTest>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "resource.h"
#include "window_harness.h"

// Points in failure messages.
void PrintTo(const QPoint& point, std::ostream* out) {
    *out << "(" << point.x() << ", " << point.y() << ")";
}

namespace {

// What Qt hands the focused widget for the menu key: a keyboard request at the text cursor.
void PressMenuKey(QWidget* focused) {
    const QPoint at(2, 2);
    QContextMenuEvent request(QContextMenuEvent::Keyboard, at, focused->mapToGlobal(at));
    QApplication::sendEvent(focused, &request);
}

void PressShiftF10(QWidget* focused) {
    QTest::keyClick(focused, Qt::Key_F10, Qt::ShiftModifier);
}

// Just below the control, at its left edge.
QPoint BelowOf(QWidget* control) {
    return control->mapToGlobal(QPoint(0, control->height()));
}

}  // namespace

TEST(KeyboardMenu, TheMenuKeyAndShiftF10OpenTheFieldMenuBelowTheFocusedField) {
    RunMainDialog([](QDialog& window) {
        QTest::keyClicks(Control(window, IDC_INPUT), "abc");
        const std::pair<const char*, std::function<void(QWidget*)>> keys[] = {
            {"menu key", PressMenuKey}, {"Shift+F10", PressShiftF10}};
        // A single-line field and a multi-line one (whose text sits in a viewport).
        for (const int id : {IDC_MD2, IDC_SHA256}) {
            for (const auto& [key, pressKey] : keys) {
                SCOPED_TRACE(std::string(key) + " on field " + std::to_string(id));
                // clang-tidy's clang 14 cannot capture a structured binding; a reference it can.
                const std::function<void(QWidget*)>& press = pressKey;
                QWidget* field = Control(window, id);
                field->setFocus(Qt::TabFocusReason);
                QApplication::clipboard()->setText(QStringLiteral("before"));
                const OpenedMenu menu =
                    WatchContextMenu([&] { press(field); }, QStringLiteral("Copy"));
                ASSERT_TRUE(menu.opened) << "no menu opened";
                ASSERT_FALSE(menu.items.empty());
                EXPECT_EQ(menu.items.front(), "Copy");
                EXPECT_EQ(menu.at, BelowOf(field));
                // Copy is for the focused field.
                EXPECT_EQ(QApplication::clipboard()->text(), ShownText(window, id));
            }
        }
    });
}

TEST(KeyboardMenu, AboutGetsTheWindowMenuAndTheInputItsOwnEditMenu) {
    RunMainDialog([](QDialog& window) {
        QWidget* about = Control(window, IDC_ABOUT);
        about->setFocus(Qt::TabFocusReason);
        const OpenedMenu onAbout = WatchContextMenu([&] { PressShiftF10(about); }, QString());
        ASSERT_TRUE(onAbout.opened) << "no menu for About";
        ASSERT_FALSE(onAbout.items.empty());
        EXPECT_EQ(onAbout.items.front(), "Hash a file...");

        QWidget* input = Control(window, IDC_INPUT);
        input->setFocus(Qt::TabFocusReason);
        for (const auto& press : {PressMenuKey, PressShiftF10}) {
            const OpenedMenu onInput = WatchContextMenu([&] { press(input); }, QString());
            ASSERT_TRUE(onInput.opened) << "the input shows no menu";
            for (const std::string& item : onInput.items) EXPECT_NE(item, "Hash a file...");
        }
    });
}

TEST(KeyboardMenu, WithoutAPositionTheProcedurePlacesTheMenuByTheControl) {
    RunMainDialog([](QDialog& window) {
        // As a Windows edit hands the dialog its menu request from the keyboard.
        const HWND md4 = GetDlgItem(Observed.dialog, IDC_MD4);
        const OpenedMenu keyed = WatchContextMenu(
            [&] {
                SendMessageA(Observed.dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(md4),
                             static_cast<LPARAM>(-1));
            },
            QString());
        ASSERT_TRUE(keyed.opened);
        EXPECT_EQ(keyed.at, BelowOf(Control(window, IDC_MD4)));

        // A position given is where the menu opens.
        const QPoint clicked = Control(window, IDC_MD4)->mapToGlobal(QPoint(30, 5));
        const OpenedMenu pointed = WatchContextMenu(
            [&] {
                SendMessageA(Observed.dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(md4),
                             MAKELPARAM(clicked.x(), clicked.y()));
            },
            QString());
        ASSERT_TRUE(pointed.opened);
        EXPECT_EQ(pointed.at, clicked);
    });
}

TEST(KeyboardMenu, WindowRectanglesAreOnTheScreen) {
    RunMainDialog([](QDialog& window) {
        RECT box{};
        ASSERT_TRUE(GetWindowRect(GetDlgItem(Observed.dialog, IDC_SHA1), &box));
        QWidget* sha1 = Control(window, IDC_SHA1);
        const QPoint corner = sha1->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(box.left, corner.x());
        EXPECT_EQ(box.top, corner.y());
        EXPECT_EQ(box.right - box.left, sha1->width());
        EXPECT_EQ(box.bottom - box.top, sha1->height());

        ASSERT_TRUE(GetWindowRect(Observed.dialog, &box));
        const QRect frame = window.frameGeometry();
        EXPECT_EQ(box.left, frame.x());
        EXPECT_EQ(box.top, frame.y());
        EXPECT_EQ(box.right, frame.x() + frame.width());
        EXPECT_EQ(box.bottom, frame.y() + frame.height());

        EXPECT_FALSE(GetWindowRect(nullptr, &box));
        EXPECT_FALSE(GetWindowRect(Observed.dialog, nullptr));
    });
}
