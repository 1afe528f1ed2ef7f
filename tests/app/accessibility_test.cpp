// What a screen reader hears: every field named after its label, buttons and frames by their
// own texts, each label announced as the label of its field; and what an assistive technology
// may write: the input, not the result fields.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>

#include <algorithm>
#include <string>
#include <vector>

#include "resource.h"
#include "window_harness.h"

namespace {

QAccessibleInterface* Accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

std::string NameOf(QWidget* widget) {
    QAccessibleInterface* accessible = Accessible(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name).toStdString() : "<none>";
}

struct NamedField {
    int id;
    const char* name;
};

// As the labels on screen read, without their colons.
const NamedField kFieldNames[] = {
    {IDC_INPUT, "Input your String"},
    {IDC_MD5, "MD5"},
    {IDC_MD2, "MD2"},
    {IDC_MD4, "MD4"},
    {IDC_SHA0, "SHA0"},
    {IDC_SHA1, "SHA1"},
    {IDC_SHA256, "SHA256"},
    {IDC_RIPEMD128, "RiPEMd128"},
    {IDC_RIPEMD160, "RiPEMd160"},
    {IDC_RIPEMD256, "RiPEMd256"},
    {IDC_CRC16, "CRC16"},
    {IDC_CRC32, "CRC32"},
    {IDC_CRC32B, "CRC32b"},
};

}  // namespace

TEST(Accessibility, EveryFieldIsNamedAfterItsLabelAndAnnouncedWithIt) {
    RunMainDialog([](QDialog& window) {
        for (const NamedField& field : kFieldNames) {
            SCOPED_TRACE(field.name);
            QWidget* edit = Control(window, field.id);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(NameOf(edit), field.name);
            EXPECT_EQ(Accessible(edit)->role(), QAccessible::EditableText);

            // The label on screen is the one a reader names as this field's label.
            const auto labelledBy = Accessible(edit)->relations(QAccessible::Label);
            ASSERT_EQ(labelledBy.size(), 1);
            auto* label = qobject_cast<QLabel*>(labelledBy.first().first->object());
            ASSERT_NE(label, nullptr);
            EXPECT_TRUE(label->text().startsWith(field.name)) << label->text().toStdString();
        }
    });
}

TEST(Accessibility, ButtonsFramesAndLabelsKeepTheirOwnTexts) {
    RunMainDialog([](QDialog& window) {
        EXPECT_EQ(NameOf(Control(window, IDC_ABOUT)), "About");
        EXPECT_EQ(Accessible(Control(window, IDC_ABOUT))->role(), QAccessible::Button);

        std::vector<std::string> frames;
        for (QGroupBox* group : window.findChildren<QGroupBox*>()) {
            frames.push_back(NameOf(group));
        }
        std::sort(frames.begin(), frames.end());
        EXPECT_EQ(frames, (std::vector<std::string>{"", "CRC", "MDx ", "RiPE-MD", "SHAx"}));

        for (QLabel* label : window.findChildren<QLabel*>()) {
            EXPECT_EQ(NameOf(label), label->text().toStdString());
        }
    });
}

TEST(Accessibility, AReaderWalkingTheWindowFindsEveryFieldByName) {
    RunMainDialog([](QDialog& window) {
        QAccessibleInterface* dialog = Accessible(&window);
        ASSERT_NE(dialog, nullptr);
        std::vector<std::string> fields;
        for (int i = 0; i < dialog->childCount(); ++i) {
            QAccessibleInterface* child = dialog->child(i);
            if (child != nullptr && child->role() == QAccessible::EditableText) {
                fields.push_back(child->text(QAccessible::Name).toStdString());
            }
        }
        std::vector<std::string> expected;
        for (const NamedField& field : kFieldNames) expected.push_back(field.name);
        std::sort(fields.begin(), fields.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(fields, expected);
    });
}

TEST(Accessibility, AReaderMeetsTheControlsInTheOrderTheWindowReads) {
    RunMainDialog([](QDialog& window) {
        QAccessibleInterface* dialog = Accessible(&window);
        ASSERT_NE(dialog, nullptr);
        std::vector<std::string> met;
        for (int i = 0; i < dialog->childCount(); ++i) {
            QAccessibleInterface* child = dialog->child(i);
            if (child == nullptr) continue;
            const QAccessible::Role role = child->role();
            if (role == QAccessible::EditableText || role == QAccessible::Button) {
                met.push_back(child->text(QAccessible::Name).toStdString());
            }
        }
        // Top to bottom: the input, the groups' fields as they stand on screen (MD5 below
        // MD4), About last; each label just before its field.
        EXPECT_EQ(
            met, (std::vector<std::string>{"Input your String", "MD2", "MD4", "MD5", "SHA0", "SHA1",
                                           "SHA256", "RiPEMd128", "RiPEMd160", "RiPEMd256", "CRC16",
                                           "CRC32", "CRC32b", "About"}));
        std::vector<std::string> labels;
        for (int i = 0; i + 1 < dialog->childCount(); ++i) {
            if (dialog->child(i)->role() == QAccessible::StaticText &&
                dialog->child(i + 1)->role() == QAccessible::EditableText) {
                labels.push_back(dialog->child(i + 1)->text(QAccessible::Name).toStdString());
            }
        }
        EXPECT_EQ(labels.size(), 13u) << "a label is not right before its field";
    });
}

namespace {

// Writes `text` over the whole of a control's text, as AT-SPI's SetTextContents does.
void WriteThroughAccessibility(QWidget* control, const QString& text) {
    QAccessibleInterface* accessible = Accessible(control);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->textInterface(), nullptr);
    if (QAccessibleEditableTextInterface* editable = accessible->editableTextInterface()) {
        editable->replaceText(0, accessible->textInterface()->characterCount(), text);
    }
    // Undoing a foreign change to a multi-line edit waits for the event loop.
    QCoreApplication::processEvents();
}

}  // namespace

// Qt's bridge offers every edit's text for writing, the read-only ones too. The input takes
// what an assistive technology writes and the fields follow it; a result field keeps the
// digest the program put there, whichever way the write comes.
TEST(Accessibility, WritesThroughTheBridgeReachTheInputAndNotTheResultFields) {
    RunMainDialog([](QDialog& window) {
        WriteThroughAccessibility(Control(window, IDC_INPUT), QStringLiteral("abc"));
        EXPECT_EQ(ShownText(window, IDC_INPUT), "abc");
        EXPECT_EQ(ShownText(window, IDC_MD5), "900150983cd24fb0d6963f7d28e17f72");
        EXPECT_EQ(ShownText(window, IDC_CRC32), "352441C2");

        std::vector<std::string> before;
        for (const int id : ResultFieldIds) before.push_back(ReadItem(id));
        Observed.commands.clear();
        for (size_t k = 0; k < std::size(ResultFieldIds); ++k) {
            const int id = ResultFieldIds[k];
            SCOPED_TRACE(id);
            QWidget* field = Control(window, id);
            WriteThroughAccessibility(field, QStringLiteral("0123"));
            EXPECT_EQ(ReadItem(id), before[k]);
            EXPECT_EQ(ShownText(window, id).toStdString(), before[k]);
            // The other ways in: inserting, deleting, the value.
            QAccessibleInterface* accessible = Accessible(field);
            if (QAccessibleEditableTextInterface* editable = accessible->editableTextInterface()) {
                editable->insertText(0, QStringLiteral("x"));
                editable->deleteText(0, 4);
            }
            accessible->setText(QAccessible::Value, QStringLiteral("0123"));
            QCoreApplication::processEvents();
            EXPECT_EQ(ReadItem(id), before[k]);
        }
        // The procedure heard of none of it.
        EXPECT_TRUE(Observed.commands.empty());

        // The fields still follow the input, and the program still writes them.
        WriteThroughAccessibility(Control(window, IDC_INPUT), QString());
        EXPECT_EQ(ShownText(window, IDC_MD5), "d41d8cd98f00b204e9800998ecf8427e");
        SetDlgItemTextA(Observed.dialog, IDC_MD2, "set by the program");
        EXPECT_EQ(ReadItem(IDC_MD2), "set by the program");
        WriteThroughAccessibility(Control(window, IDC_MD2), QStringLiteral("0123"));
        EXPECT_EQ(ReadItem(IDC_MD2), "set by the program");
    });
}
