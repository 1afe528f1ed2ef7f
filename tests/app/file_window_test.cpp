// The window as a file hasher: files dropped, named at the start or chosen from the context
// menu are hashed on a thread of their own; the title says whose digests the fields show;
// typing cancels a file being read; problems are told and leave the fields alone. Also the
// context menu's compare, copy and music commands, and Tab then Ctrl+C on every field.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "digest.h"
#include "digest_stream.h"
#include "digest_table.h"
#include "file_hashing.h"
#include "resource.h"
#include "window_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

// A folder of its own for each test's files, removed with it.
struct Scratch {
    std::string folder;
    Scratch() {
        char pattern[] = "/tmp/hashcalc-window-XXXXXX";
        folder = mkdtemp(pattern);
    }
    ~Scratch() { std::system(("rm -rf '" + folder + "'").c_str()); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string path = folder + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }
    // A file of `size` zero bytes that takes no room on disk.
    std::string Sparse(const std::string& name, off_t size) const {
        std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
        return path;
    }
};

// The twelve texts for `bytes`, from one stream each fed in one piece: the window feeds
// files in pieces, so equal texts also show the pieces are joined right.
std::vector<std::string> TextsOf(const std::string& bytes) {
    std::vector<std::string> texts;
    for (int k = 0; k < kWindowDigestCount; ++k) {
        DigestStream stream;
        StartDigest(&stream, static_cast<DigestKind>(k));
        FeedDigest(&stream, bytes.data(), bytes.size());
        char text[kLongestTextBytes];
        FinishDigest(&stream, text);
        texts.push_back(text);
    }
    return texts;
}

std::vector<std::string> ShownTexts() {
    std::vector<std::string> texts;
    for (const int id : ResultFieldIds) texts.push_back(ReadItem(id));
    return texts;
}

// Drops `data` on `target` as a file manager does: enter, move, drop.
void Drop(QWidget* target, QMimeData* data) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted()) << "the drag is refused";
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted()) << "the drop is refused";
}

void DropFile(QDialog& window, const std::string& path, bool alsoAsText) {
    QMimeData data;
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
    data.setUrls({url});
    if (alsoAsText) data.setText(url.toString());
    Drop(MouseTarget(Control(window, IDC_INPUT)), &data);
}

// Clicks OK on the next message box and hands back its text.
void AnswerNextMessageBox(std::string* text) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        *text = box->text().toStdString();
        poll->deleteLater();
        box->button(QMessageBox::Ok)->click();
    });
    poll->start(10);
}

// Waits until the dialog has taken the end of a file's hashing.
bool WaitForFileEnd(int* ends, int wanted, int milliseconds = 120000) {
    return QTest::qWaitFor([&] { return *ends >= wanted; }, milliseconds);
}

}  // namespace

TEST(FileWindow, ADroppedFileShowsItsDigestsNotThoseOfItsAddress) {
    Scratch scratch;
    const std::string bytes = "The quick brown fox jumps over the lazy dog";
    const std::string path = scratch.Write("fox.txt", bytes);
    RunMainDialog([&](QDialog& window) {
        int ends = 0;
        Observed.onMessage = [&](UINT message) { ends += message == kFileHashEndedMessage; };
        // File managers offer a file also as its address in text; both forms, then the file
        // alone.
        for (const bool alsoAsText : {true, false}) {
            SCOPED_TRACE(alsoAsText ? "file and text" : "file alone");
            DropFile(window, path, alsoAsText);
            ASSERT_TRUE(WaitForFileEnd(&ends, alsoAsText ? 1 : 2));
            EXPECT_EQ(ShownTexts(), TextsOf(bytes));
            EXPECT_EQ(ReadItem(IDC_INPUT), "") << "the address landed in the input";
            EXPECT_EQ(window.windowTitle().toStdString(), "fox.txt - Vorlan's Hash Calculation");
        }

        // Focus moving through the input leaves the file's digests standing; typing shows the
        // text's and gives the title back.
        Control(window, IDC_INPUT)->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        EXPECT_EQ(ShownTexts(), TextsOf(bytes));
        QTest::keyClicks(Control(window, IDC_INPUT), "abc");
        EXPECT_EQ(ShownTexts(), TextsOf("abc"));
        EXPECT_EQ(window.windowTitle().toStdString(), " Vorlan's Hash Calculation");
    });
}

TEST(FileWindow, ADroppedTextIsTakenAsIfPasted) {
    RunMainDialog([](QDialog& window) {
        QMimeData data;
        data.setText(QStringLiteral("abc"));
        Drop(MouseTarget(Control(window, IDC_SHA1)), &data);
        EXPECT_EQ(ReadItem(IDC_INPUT), "abc");
        EXPECT_EQ(ShownTexts(), TextsOf("abc"));
    });
}

TEST(FileWindow, FoldersMissingAndUnreadableFilesAreToldAndLeaveTheFields) {
    Scratch scratch;
    const std::string locked = scratch.Write("locked", "secret");
    chmod(locked.c_str(), 0);
    const bool rootReadsAnyway = access(locked.c_str(), R_OK) == 0;
    struct Case {
        std::string path;
        const char* told;
    };
    std::vector<Case> cases = {{scratch.folder, "is a folder"},
                               {scratch.folder + "/gone", "does not exist"}};
    if (!rootReadsAnyway) cases.push_back({locked, "cannot be read"});
    RunMainDialog([&](QDialog& window) {
        QTest::keyClicks(Control(window, IDC_INPUT), "abc");
        for (const Case& c : cases) {
            SCOPED_TRACE(c.path);
            std::string told;
            AnswerNextMessageBox(&told);
            DropFile(window, c.path, false);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !told.empty(); }, 10000));
            EXPECT_NE(told.find(c.told), std::string::npos) << told;
            EXPECT_NE(told.find(c.path), std::string::npos) << told;
            EXPECT_EQ(ShownTexts(), TextsOf("abc"));
            EXPECT_EQ(window.windowTitle().toStdString(), " Vorlan's Hash Calculation");
        }
    });
}

TEST(FileWindow, AFileNamedAtTheStartIsHashed) {
    Scratch scratch;
    const std::string path = scratch.Write("start.bin", std::string(100000, 'x'));
    RunMainDialog(
        [&](QDialog& window) {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return window.windowTitle().startsWith(QStringLiteral("start.bin -")); },
                60000));
            EXPECT_EQ(ShownTexts(), TextsOf(std::string(100000, 'x')));
        },
        path.c_str());
}

TEST(FileWindow, TypingCancelsALargeFileQuicklyAndTheWindowKeepsRepainting) {
    Scratch scratch;
    const std::string path = scratch.Sparse("large.iso", off_t{1} << 30);
    RunMainDialog([&](QDialog& window) {
        int ends = 0;
        Clock::time_point ended;
        Observed.onMessage = [&](UINT message) {
            if (message != kFileHashEndedMessage) return;
            ++ends;
            ended = Clock::now();
        };
        // Repaints asked for every 10 ms; the longest pause between two says how long the
        // window's thread was busy.
        std::vector<Clock::time_point> paints;
        struct PaintWatch : QObject {
            std::vector<Clock::time_point>* paints;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint) paints->push_back(Clock::now());
                return false;
            }
        } watch;
        watch.paints = &paints;
        QWidget* painted = Control(window, IDC_ABOUT);
        painted->installEventFilter(&watch);
        QTimer repaint;
        QObject::connect(&repaint, &QTimer::timeout, [painted] { painted->repaint(); });
        repaint.start(10);

        DropFile(window, path, true);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window.windowTitle().contains(QStringLiteral("Hashing large.iso: 2")); },
            120000))
            << window.windowTitle().toStdString();
        EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("(showing the typed text)")));
        painted->removeEventFilter(&watch);
        repaint.stop();
        double longestGap = 0;
        for (size_t i = 1; i < paints.size(); ++i) {
            longestGap = std::max(
                longestGap,
                std::chrono::duration<double, std::milli>(paints[i] - paints[i - 1]).count());
        }
        std::printf("longest gap between repaints while hashing: %.1f ms over %zu repaints\n",
                    longestGap, paints.size());
        EXPECT_GT(paints.size(), 20u);
        EXPECT_LT(longestGap, 250.0);

        const Clock::time_point typed = Clock::now();
        QTest::keyClick(Control(window, IDC_INPUT), Qt::Key_A);
        ASSERT_TRUE(WaitForFileEnd(&ends, 1, 10000));
        const double cancelMs = std::chrono::duration<double, std::milli>(ended - typed).count();
        std::printf("typing cancelled the running file in %.1f ms\n", cancelMs);
        EXPECT_LT(cancelMs, 100.0);
        EXPECT_EQ(ShownTexts(), TextsOf("a"));
        EXPECT_EQ(window.windowTitle().toStdString(), " Vorlan's Hash Calculation");
    });
}

TEST(FileWindow, CompareWithClipboardFindsTheFieldInAnyFormAndCase) {
    const std::vector<std::string> abc = TextsOf("abc");
    struct Case {
        std::string pasted;
        int field;  // catalogue index, -1 for none
    };
    const std::vector<Case> cases = {
        {"  " + abc[5] + "\n", 5},  // SHA-256, trimmed
        {"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", 5},
        {abc[4] + "  abc.txt", 4},               // sha1sum line
        {"RIPEMD256 (abc.txt) = " + abc[8], 8},  // tagged line
        {"648CBB73", 11},                        // CRC32b
        {"0123456789abcdef0123456789abcdef", -1},
    };
    RunMainDialog([&](QDialog& window) {
        QTest::keyClicks(Control(window, IDC_INPUT), "abc");
        for (const Case& c : cases) {
            SCOPED_TRACE(c.pasted);
            QApplication::clipboard()->setText(QString::fromStdString(c.pasted));
            std::string told;
            AnswerNextMessageBox(&told);
            ChooseFromContextMenu(&window, QStringLiteral("Compare with clipboard"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return !told.empty(); }, 10000));
            if (c.field < 0) {
                EXPECT_NE(told.find("matches none"), std::string::npos) << told;
                continue;
            }
            EXPECT_NE(told.find(std::string(DigestTable[c.field].name) + "."), std::string::npos)
                << told;
            QWidget* field = Control(window, ResultFieldIds[c.field]);
            EXPECT_EQ(window.focusWidget(), field);
            QString selected;
            if (auto* line = qobject_cast<QLineEdit*>(field)) selected = line->selectedText();
            if (auto* edit = qobject_cast<QPlainTextEdit*>(field)) {
                selected = edit->textCursor().selectedText();
            }
            EXPECT_EQ(selected.toStdString(), abc[static_cast<size_t>(c.field)]);
        }
    });
}

// Qt's file chooser on the offscreen platform sometimes never comes up after other cases in
// the same process, and the case then waits for ever; it passes run alone
// (--gtest_also_run_disabled_tests --gtest_filter='*Chosen*').
TEST(FileWindow, DISABLED_HashAFileChosenFromTheMenu) {
    Scratch scratch;
    const std::string path = scratch.Write("chosen.dat", "chosen");
    RunMainDialog([&](QDialog& window) {
        int ends = 0;
        Observed.onMessage = [&](UINT message) { ends += message == kFileHashEndedMessage; };
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (chooser == nullptr) return;
            poll.stop();
            chooser->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
        });
        poll.start(20);
        ChooseFromContextMenu(&window, QStringLiteral("Hash a file..."));
        ASSERT_TRUE(WaitForFileEnd(&ends, 1));
        EXPECT_EQ(ShownTexts(), TextsOf("chosen"));
        EXPECT_EQ(window.windowTitle().toStdString(), "chosen.dat - Vorlan's Hash Calculation");
    });
}

TEST(FileWindow, TabThenCtrlCCopiesTheWholeTextOfEveryField) {
    RunMainDialog([](QDialog& window) {
        QWidget* input = Control(window, IDC_INPUT);
        input->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(input, "abc");
        const std::vector<std::string> abc = TextsOf("abc");
        for (int k = 0; k < kWindowDigestCount; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* field = QApplication::focusWidget();
            // Tab visits MD5, then About, then MD2 onwards.
            if (ControlIdOf(field) == IDC_ABOUT) {
                QTest::keyClick(field, Qt::Key_Tab);
                field = QApplication::focusWidget();
            }
            const int index =
                static_cast<int>(std::find(std::begin(ResultFieldIds), std::end(ResultFieldIds),
                                           ControlIdOf(field)) -
                                 std::begin(ResultFieldIds));
            ASSERT_LT(index, kWindowDigestCount) << ControlIdOf(field);
            SCOPED_TRACE(DigestTable[index].name);
            QApplication::clipboard()->setText(QStringLiteral("before"));
            QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
            EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
                      abc[static_cast<size_t>(index)]);
        }
        // The input keeps its own edit menu.
        const std::vector<std::string> inputItems =
            ChooseFromContextMenu(Control(window, IDC_INPUT), QStringLiteral("none"));
        EXPECT_FALSE(inputItems.empty()) << "the input shows no menu";
        EXPECT_EQ(std::count(inputItems.begin(), inputItems.end(), "Hash a file..."), 0);
    });
}

TEST(FileWindow, CopyAllGivesTaggedLinesAndCopyTheClickedField) {
    Scratch scratch;
    const std::string path = scratch.Write("a b.txt", "hello");
    RunMainDialog([&](QDialog& window) {
        QTest::keyClicks(Control(window, IDC_INPUT), "abc");
        ChooseFromContextMenu(&window, QStringLiteral("Copy all digests"));
        std::string expected;
        const std::vector<std::string> abc = TextsOf("abc");
        for (int k = 0; k < kWindowDigestCount; ++k) {
            expected += std::string(DigestTable[k].name) +
                        " (\"abc\") = " + abc[static_cast<std::size_t>(k)] + "\n";
        }
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected);

        int ends = 0;
        Observed.onMessage = [&](UINT message) { ends += message == kFileHashEndedMessage; };
        DropFile(window, path, false);
        ASSERT_TRUE(WaitForFileEnd(&ends, 1));
        ChooseFromContextMenu(&window, QStringLiteral("Copy all digests"));
        const std::vector<std::string> hello = TextsOf("hello");
        expected.clear();
        for (int k = 0; k < kWindowDigestCount; ++k) {
            expected += std::string(DigestTable[k].name) + " (" + path +
                        ") = " + hello[static_cast<std::size_t>(k)] + "\n";
        }
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected);

        // A right click on a field offers Copy for that field alone.
        const std::vector<std::string> items =
            ChooseFromContextMenu(Control(window, IDC_SHA256), QStringLiteral("Copy"));
        EXPECT_EQ(items.front(), "Copy");
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), hello[5]);
    });
}
