// The window's layout: the compiled template, dialog-unit geometry, window decorations, and
// digests that fit their fields.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <cstring>
#include <vector>

#include "dialog_template.h"
#include "main_dialog_expectations.h"
#include "resource.h"
#include "window_harness.h"

namespace {

const DialogTemplate* MainTemplate() {
    for (int i = 0; i < DialogTemplateCount; ++i) {
        if (DialogTemplates[i].resourceId == IDD_MAIN) return &DialogTemplates[i];
    }
    return nullptr;
}

int MulDivRounded(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

}  // namespace

TEST(DialogTemplate, HeaderHasTheDialogsCaptionFontAndStyles) {
    const DialogTemplate* dialog = MainTemplate();
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->caption, " Vorlan's Hash Calculation");
    EXPECT_EQ(dialog->style, 0x00CA0840u);
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->cx, 290);
    EXPECT_EQ(dialog->cy, 362);
    EXPECT_STREQ(dialog->fontFace, "Tahoma");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->weight, 0);
    EXPECT_EQ(dialog->italic, 0);
    EXPECT_EQ(dialog->charset, 0);
}

TEST(DialogTemplate, ControlsCarryTheirIdsAndStyleValuesInTemplateOrder) {
    const DialogTemplate* dialog = MainTemplate();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->itemCount, 32);
    for (int i = 0; i < dialog->itemCount; ++i) {
        const DialogItemTemplate& item = dialog->items[i];
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(item.id, test_support::kMainDialogIds[i]);
        const test_support::ControlLook look =
            test_support::ExpectedControlLook(item.id, item.className);
        const DWORD style = look.style, exStyle = look.exStyle;
        const char* className = look.className;
        EXPECT_EQ(item.style, style);
        EXPECT_EQ(item.exStyle, exStyle);
        EXPECT_STREQ(item.className, className);
    }
    EXPECT_STREQ(dialog->items[0].text, "Input your String :");
    EXPECT_STREQ(dialog->items[6].text, "MDx ");  // with its trailing space
    EXPECT_STREQ(dialog->items[3].text, "About");
    EXPECT_STREQ(dialog->items[31].text, "");
}

TEST(MainWindow, GeometryFollowsTheDialogUnitsOfItsFont) {
    RunMainDialog([](QDialog& window) {
        // Base units from the dialog size, then every control checked against them.
        int unitX = 0, unitY = 0;
        for (int u = 1; u < 40; ++u) {
            if (MulDivRounded(290, u, 4) == window.width()) unitX = u;
            if (MulDivRounded(362, u, 8) == window.height()) unitY = u;
        }
        ASSERT_NE(unitX, 0) << window.width();
        ASSERT_NE(unitY, 0) << window.height();
        const QFontMetrics metrics(window.font());
        const int letters =
            metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        EXPECT_EQ(unitX, (letters / 26 + 1) / 2);
        if (QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) {
            EXPECT_EQ(QFontInfo(window.font()).family(), "Tahoma");
            if (window.logicalDpiY() == 96) {
                // Tahoma 8 pt at 96 dpi: Windows' base units are 6 by 13 pixels.
                EXPECT_EQ(window.font().pixelSize(), 11);
                EXPECT_EQ(unitX, 6);
                EXPECT_EQ(unitY, 13);
            }
        }
        EXPECT_GE(unitY, metrics.height() - 2);

        const auto expect = [&](int id, int x, int y, int cx, int cy) {
            const QRect shown = Control(window, id)->geometry();
            EXPECT_EQ(shown, QRect(MulDivRounded(x, unitX, 4), MulDivRounded(y, unitY, 8),
                                   MulDivRounded(cx, unitX, 4), MulDivRounded(cy, unitY, 8)))
                << "control " << id;
        };
        expect(IDC_INPUT, 13, 30, 264, 32);
        expect(IDC_MD5, 43, 109, 228, 12);
        expect(IDC_SHA256, 45, 178, 228, 17);
        expect(IDC_RIPEMD160, 61, 239, 211, 12);
        expect(IDC_ABOUT, 250, 350, 27, 10);

        // Fixed size, minimize and close boxes, no maximize box, centred.
        EXPECT_EQ(window.minimumSize(), window.maximumSize());
        const Qt::WindowFlags flags = window.windowFlags();
        EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(window.windowTitle(), " Vorlan's Hash Calculation");
        const QRect area = window.screen()->availableGeometry();
        const QRect frame = window.frameGeometry();
        EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
        if (frame.height() <= area.height()) {
            EXPECT_LE(std::abs(frame.center().y() - area.center().y()), 1);
        }
    });
}

TEST(MainWindow, EveryDigestIsWhollyVisibleInItsField) {
    RunMainDialog([](QDialog& window) {
        QTest::keyClicks(Control(window, IDC_INPUT), "abc");
        for (const int id : ResultFieldIds) {
            SCOPED_TRACE(id);
            QWidget* control = Control(window, id);
            if (auto* line = qobject_cast<QLineEdit*>(control)) {
                const int needed = line->fontMetrics().horizontalAdvance(line->text());
                EXPECT_LE(needed, line->contentsRect().width() - 2 * 2);
                EXPECT_LE(line->fontMetrics().height(), line->contentsRect().height());
            } else if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
                // 64 digits wrap onto a second line, 32 stay on one; nothing lies below.
                const QTextLayout* layout = edit->document()->firstBlock().layout();
                const int expectedLines = edit->toPlainText().size() > 40 ? 2 : 1;
                EXPECT_EQ(layout->lineCount(), expectedLines);
                QTextCursor start(edit->document());
                QTextCursor end(edit->document());
                end.movePosition(QTextCursor::End);
                EXPECT_GE(edit->cursorRect(start).top(), 0);
                EXPECT_LE(edit->cursorRect(end).bottom(), edit->viewport()->height());
                EXPECT_EQ(edit->verticalScrollBar()->maximum(), 0);
            } else {
                ADD_FAILURE() << "not an edit";
            }
        }
    });
}

TEST(MainWindow, StackingFollowsReadingOrderAndFramesLetClicksThrough) {
    RunMainDialog([](QDialog& window) {
        // Qt keeps children bottom first, and hands them to screen readers in that order: top
        // to bottom as the window reads, whatever the template's order.
        std::vector<int> stacking;
        for (QObject* child : window.children()) {
            const int id = ControlIdOf(qobject_cast<QWidget*>(child));
            if (id == IDC_INPUT || id == IDC_MD5 || id == IDC_ABOUT || id == IDC_MD2) {
                stacking.push_back(id);
            }
        }
        EXPECT_EQ(stacking, (std::vector<int>{IDC_INPUT, IDC_MD2, IDC_MD5, IDC_ABOUT}));

        // Fields lie inside group boxes; a click still reaches the field.
        for (const int id : {IDC_MD2, IDC_SHA256, IDC_CRC32B, IDC_INPUT}) {
            QWidget* field = Control(window, id);
            const QPoint centre = field->geometry().center();
            QWidget* target = window.childAt(centre);
            ASSERT_NE(target, nullptr) << id;
            QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier,
                              target->mapFrom(&window, centre));
            EXPECT_EQ(QApplication::focusWidget(), field) << id;
        }
    });
}
