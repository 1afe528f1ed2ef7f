// The main window's behaviour: live digests of what is typed, focus notifications, Enter and
// Escape, the About box, closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <string>
#include <vector>

#include "digest_table.h"
#include "main_dialog.h"
#include "resource.h"
#include "window_harness.h"

namespace {

struct FieldText {
    int id;
    const char* empty;
    const char* abc;
};

const FieldText kKnownTexts[] = {
    {IDC_MD5, "d41d8cd98f00b204e9800998ecf8427e", "900150983cd24fb0d6963f7d28e17f72"},
    {IDC_MD2, "8350e5a3e24c153df2275c9f80692773", "da853b0d3f88d99b30283a69e6ded6bb"},
    {IDC_MD4, "31d6cfe0d16ae931b73c59d7e0c089c0", "a448017aaf21d8525fc10ae87aa6729d"},
    {IDC_SHA0, "f96cea198ad1dd5617ac084a3d92c6107708c0ef",
     "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"},
    {IDC_SHA1, "da39a3ee5e6b4b0d3255bfef95601890afd80709",
     "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {IDC_SHA256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {IDC_RIPEMD128, "cdf26213a150dc3ecb610f18f6b38b46", "c14a12199c66e4ba84636b0f69144c77"},
    {IDC_RIPEMD160, "9c1185a5c5e9fc54612808977ee8f548b2258d31",
     "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
    {IDC_RIPEMD256, "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d",
     "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
    {IDC_CRC16, "0000", "9738"},
    {IDC_CRC32, "00000000", "352441C2"},
    {IDC_CRC32B, "00000000", "648CBB73"},
};

QPlainTextEdit* Input(QDialog& window) {
    return qobject_cast<QPlainTextEdit*>(Control(window, IDC_INPUT));
}

// The twelve texts the routines give for `bytes`, each run on a buffer of its own with room
// for the padding, in field order.
std::vector<std::string> ExpectedTexts(const std::string& bytes) {
    std::vector<std::string> texts;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    for (int k = 0; k < kWindowDigestCount; ++k) {
        std::vector<char> buffer(PaddedLength(length) + 1, '\0');
        std::copy(bytes.begin(), bytes.end(), buffer.begin());
        unsigned char scratch[256];
        DigestTable[k].windowRoutine(buffer.data(), length, scratch);
        texts.emplace_back(buffer.data());
    }
    return texts;
}

void ExpectFieldsShow(QDialog& window, const std::vector<std::string>& texts) {
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(ShownText(window, ResultFieldIds[i]).toStdString(), texts[i])
            << "field " << ResultFieldIds[i];
    }
}

std::vector<std::string> ShownTexts(QDialog& window) {
    std::vector<std::string> texts;
    for (const int id : ResultFieldIds) texts.push_back(ShownText(window, id).toStdString());
    return texts;
}

// Types `text` character by character, as key presses carrying that character.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// A text of `length` characters that is not one repeated letter.
std::string Sample(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>('!' + (i * 7) % 94);
    return text;
}

}  // namespace

TEST(MainWindow, FieldsShowTheEmptyColumnOnceTheInputHasTheFocus) {
    RunMainDialog([](QDialog& window) {
        EXPECT_EQ(QApplication::focusWidget(), Input(window));
        EXPECT_TRUE(ReceivedCommand(IDC_INPUT, EN_SETFOCUS));
        for (const FieldText& field : kKnownTexts) {
            EXPECT_EQ(ShownText(window, field.id).toStdString(), field.empty);
        }
    });
}

TEST(MainWindow, TypingAbcShowsItsTwelveTextsAndDeletingItTheEmptyOnes) {
    RunMainDialog([](QDialog& window) {
        QTest::keyClicks(Input(window), "abc");
        EXPECT_TRUE(ReceivedCommand(IDC_INPUT, EN_CHANGE));
        for (const FieldText& field : kKnownTexts) {
            EXPECT_EQ(ShownText(window, field.id).toStdString(), field.abc) << field.id;
            EXPECT_EQ(ReadItem(field.id), field.abc) << field.id;
        }
        // For review of the window's looks: every text must be legible and whole.
        EXPECT_TRUE(window.grab().save(HASHCALC_SCREENSHOT_DIR "/hashcalc-abc.png"));

        QTest::keyClick(Input(window), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Input(window), Qt::Key_Delete);
        EXPECT_EQ(ReadItem(IDC_INPUT), "");
        for (const FieldText& field : kKnownTexts) {
            EXPECT_EQ(ShownText(window, field.id).toStdString(), field.empty) << field.id;
        }
    });
}

TEST(MainWindow, LongTextsAreHashedWholeUpTo767Bytes) {
    RunMainDialog([](QDialog& window) {
        // 247 bytes was the old limit of the copies; 248 and 767 need the larger buffers.
        for (const size_t length : {247u, 248u, 600u, 767u}) {
            const std::string text = Sample(length);
            Input(window)->clear();
            Input(window)->insertPlainText(QString::fromStdString(text));
            EXPECT_EQ(ReadItem(IDC_INPUT), text);
            ExpectFieldsShow(window, ExpectedTexts(text));
        }
        // Beyond 767 bytes only the first 767 count.
        const std::string longer = Sample(1000);
        Input(window)->clear();
        Input(window)->insertPlainText(QString::fromStdString(longer));
        ExpectFieldsShow(window, ExpectedTexts(longer.substr(0, 767)));
    });
}

TEST(MainWindow, LineBreaksAreHashedAsCrLfAndTextAsUtf8) {
    RunMainDialog([](QDialog& window) {
        QTest::keyClicks(Input(window), "one");
        QTest::keyClick(Input(window), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClicks(Input(window), "two");
        EXPECT_EQ(ReadItem(IDC_INPUT), "one\r\ntwo");
        ExpectFieldsShow(window, ExpectedTexts("one\r\ntwo"));

        Input(window)->clear();
        Type(Input(window), QString::fromUtf8("h\xC3\xA9 \xE2\x82\xAC"));  // "hé €"
        EXPECT_EQ(ReadItem(IDC_INPUT), "h\xC3\xA9 \xE2\x82\xAC");
        ExpectFieldsShow(window, ExpectedTexts("h\xC3\xA9 \xE2\x82\xAC"));
    });
}

TEST(MainWindow, APastedNulEndsTheTextForAllTwelveFields) {
    RunMainDialog([](QDialog& window) {
        // Pasted text may carry a NUL; every routine must see the same bytes: those before it.
        const QString withNul = QString::fromUtf8("ab\0cd", 5);
        Input(window)->insertPlainText(withNul);
        EXPECT_EQ(ReadItem(IDC_INPUT), "ab");
        EXPECT_EQ(Input(window)->toPlainText(), "ab");
        ExpectFieldsShow(window, ExpectedTexts("ab"));

        // The same in the middle of a longer text, and in a single-line edit (the window's are
        // all read-only, and a read-only edit keeps the program's text: this one is opened).
        Input(window)->clear();
        QTest::keyClicks(Input(window), "first line");
        Input(window)->moveCursor(QTextCursor::Start);
        Input(window)->insertPlainText(QString::fromUtf8("x\0y", 3));
        EXPECT_EQ(ReadItem(IDC_INPUT), "x");
        ExpectFieldsShow(window, ExpectedTexts("x"));

        auto* md2 = qobject_cast<QLineEdit*>(Control(window, IDC_MD2));
        ASSERT_NE(md2, nullptr);
        md2->setReadOnly(false);
        md2->setText(
            QString::fromUtf8("12\0"
                              "34",
                              5));
        EXPECT_EQ(ReadItem(IDC_MD2), "12");
    });
}

TEST(MainWindow, GainingAndLosingTheFocusRecomputes) {
    RunMainDialog([](QDialog& window) {
        QTest::keyClicks(Input(window), "abc");
        SetDlgItemTextA(Observed.dialog, IDC_MD5, "stale");
        SetDlgItemTextA(Observed.dialog, IDC_CRC32B, "stale");
        ASSERT_EQ(ShownText(window, IDC_MD5), "stale");

        QTest::keyClick(Input(window), Qt::Key_Tab);  // the input loses the focus
        EXPECT_EQ(QApplication::focusWidget(), Control(window, IDC_MD5));
        EXPECT_TRUE(ReceivedCommand(IDC_INPUT, EN_KILLFOCUS));
        EXPECT_EQ(ShownText(window, IDC_MD5), "900150983cd24fb0d6963f7d28e17f72");
        EXPECT_EQ(ShownText(window, IDC_CRC32B), "648CBB73");

        SetDlgItemTextA(Observed.dialog, IDC_MD5, "stale");
        Observed.commands.clear();
        Input(window)->setFocus();  // and gains it again
        EXPECT_TRUE(ReceivedCommand(IDC_INPUT, EN_SETFOCUS));
        EXPECT_TRUE(ReceivedCommand(IDC_MD5, EN_KILLFOCUS));
        EXPECT_EQ(ShownText(window, IDC_MD5), "900150983cd24fb0d6963f7d28e17f72");
    });
}

TEST(MainWindow, EnterAndEscapeReachTheProcedureAndChangeNothing) {
    RunMainDialog([](QDialog& window) {
        QTest::keyClicks(Input(window), "abc");
        const std::vector<std::string> before = ShownTexts(window);
        QTest::keyClick(Input(window), Qt::Key_Return);
        QTest::keyClick(Input(window), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(Input(window), Qt::Key_Escape);
        QWidget* md2 = Control(window, IDC_MD2);
        md2->setFocus();
        QTest::keyClick(md2, Qt::Key_Escape);
        QTest::keyClick(md2, Qt::Key_Return);
        QApplication::processEvents();

        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(ReceivedCommand(IDOK, BN_CLICKED));
        EXPECT_TRUE(ReceivedCommand(IDCANCEL, BN_CLICKED));
        EXPECT_EQ(ReadItem(IDC_INPUT), "abc");  // Enter did not start a new line
        EXPECT_EQ(ShownTexts(window), before);
        EXPECT_EQ(Observed.closeRequests, 0);
    });
}

TEST(MainWindow, AboutShowsTheInformationBoxAndFieldsKeepTheirValues) {
    RunMainDialog([](QDialog& window) {
        QTest::keyClicks(Input(window), "abc");
        const std::vector<std::string> before = ShownTexts(window);

        struct Seen {
            bool shown = false;
            QString title, text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QWidget* owner = nullptr;
            int buttons = 0;
        } seen;
        for (int round = 0; round < 2; ++round) {  // the box may be opened again and again
            seen = Seen{};
            QTimer::singleShot(0, [&seen] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr) return;
                seen = {true,        box->windowTitle(),  box->text(),
                        box->icon(), box->parentWidget(), static_cast<int>(box->buttons().size())};
                box->button(QMessageBox::Ok)->click();
            });
            QTest::mouseClick(Control(window, IDC_ABOUT), Qt::LeftButton);
            ASSERT_TRUE(seen.shown);
            EXPECT_EQ(seen.title, "About This Hash Calculation .....");
            EXPECT_EQ(seen.icon, QMessageBox::Information);
            EXPECT_EQ(seen.owner, &window);
            EXPECT_EQ(seen.buttons, 1);
        }
        const QStringList lines = seen.text.split('\n');
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines[0], "Vorlan's Hash Calculation");
        EXPECT_EQ(lines[1], "Support to MD2,MD4,MD5,SHA0,SHA1,SHA256,RIPEMD128,RIPEMD160");
        EXPECT_EQ(lines[2], "RIPEMD256,CRC16,CRC32,CRC32b");
        EXPECT_TRUE(QRegularExpression("^Compiled by (GCC|Clang) \\d+\\.\\d+\\.\\d+$")
                        .match(lines[3])
                        .hasMatch())
            << lines[3].toStdString();
        // The configured home page; without one, no address at all (and so nobody else's).
        const std::string homepage = HASHCALC_CONFIGURED_HOMEPAGE;
        if (!homepage.empty()) {
            EXPECT_EQ(lines[4].toStdString(), homepage);
        } else {
            EXPECT_FALSE(lines[4].contains("://") || lines[4].contains("www."))
                << lines[4].toStdString();
            EXPECT_FALSE(lines[4].isEmpty());
        }

        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(ReceivedCommand(IDC_ABOUT, BN_CLICKED));
        EXPECT_EQ(ShownTexts(window), before);
    });
}

TEST(MainWindow, AboutTextHasFiveLinesSeparatedByCrLf) {
    const std::string text = AboutText;
    size_t breaks = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
        ++breaks;
    }
    EXPECT_EQ(breaks, 4u);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    EXPECT_NE(text.back(), '\n');
}

TEST(MainWindow, TheWindowCarriesTheProgramIconInEverySize) {
    RunMainDialog([](QDialog& window) {
        const QIcon icon = window.windowIcon();
        ASSERT_FALSE(icon.isNull());
        QList<int> sizes;
        for (const QSize size : icon.availableSizes()) sizes.append(size.width());
        for (const int size : {16, 32, 48, 256}) EXPECT_TRUE(sizes.contains(size)) << size;
        // The 16-pixel image is the program's own drawing, not a blank square.
        const QImage small = icon.pixmap(16, 16).toImage();
        EXPECT_GT(small.pixelColor(8, 8).alpha(), 0);
        EXPECT_EQ(small.pixelColor(0, 0).alpha(), 0);
    });
}

TEST(MainWindow, ClosingAsksTheProcedureAndDoesNotCloseByItself) {
    RunMainDialog([](QDialog& window) {
        window.close();  // what the close box, Alt+F4 and the system menu do
        EXPECT_EQ(Observed.closeRequests, 1);
        EXPECT_TRUE(window.isVisible());
    });
}

namespace {

// The real procedure's close path: the process ends here with exit code 0.
void RunDialogAndCloseIt() {
    QTimer::singleShot(0, [] {
        if (QWidget* window = QApplication::activeModalWidget()) window->close();
    });
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                    0);
}

}  // namespace

TEST(MainWindowDeathTest, ClosingTheWindowEndsTheProcessWithExitCode0) {
    EXPECT_EXIT(RunDialogAndCloseIt(), testing::ExitedWithCode(0), "");
}

TEST(MainWindow, TabVisitsTheControlsInTemplateOrder) {
    RunMainDialog([](QDialog& window) {
        Input(window)->setFocus();
        std::vector<int> visited;
        for (int step = 0; step < 15; ++step) {
            QWidget* focus = QApplication::focusWidget();
            visited.push_back(ControlIdOf(focus));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        const std::vector<int> expected = {IDC_INPUT,     IDC_MD5,       IDC_ABOUT,     IDC_MD2,
                                           IDC_MD4,       IDC_SHA0,      IDC_SHA1,      IDC_SHA256,
                                           IDC_RIPEMD128, IDC_RIPEMD160, IDC_RIPEMD256, IDC_CRC16,
                                           IDC_CRC32,     IDC_CRC32B,    IDC_INPUT};
        EXPECT_EQ(visited, expected);
    });
}
