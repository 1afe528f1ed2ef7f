// user32 over Qt 6 Widgets: modal dialogs built from the compiled dialog templates, control
// texts, the message box and window placement. Keeps the Win32 behaviour the program relies
// on: dialog-unit geometry, template tab and Z order, WM_COMMAND for edit and button
// notifications, Enter and Escape as IDOK and IDCANCEL, closing as WM_CLOSE. Adds what a
// desktop expects of the window: the program icon, and every field named after its label for
// screen readers.
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTextDocument>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include "dialog_template.h"
#include "icon_resource.h"
#include "win32.h"
#include "window_handle.h"

namespace {

// Where Debian's fonts-wine keeps its fonts; fontconfig does not search this folder.
constexpr const char* kWineFontFolder = "/usr/share/wine/fonts/";
// Room a window manager's title bar and borders take around a dialog, at most.
const QSize kFrameAllowance(16, 40);
// Below this a dialog font is unreadable; a screen that small gets a clipped dialog.
constexpr int kSmallestFontPixels = 6;

}  // namespace

// A loaded icon: all its sizes in one QIcon.
struct HICON__ {
    QIcon icon;
};

INT_PTR SendToProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (dialog == nullptr || dialog->procedure == nullptr) return 0;
    return dialog->procedure(dialog, message, wParam, lParam);
}

QWidget* WidgetOf(HWND window) {
    if (window == nullptr) return nullptr;
    return window->control != nullptr ? window->control : window->window;
}

HWND HandleAt(HWND dialog, QWidget* widget) {
    for (QWidget* at = widget; at != nullptr && at != dialog->window; at = at->parentWidget()) {
        for (const auto& handle : dialog->controlHandles) {
            if (handle->control == at) return handle.get();
        }
    }
    return dialog;
}

namespace {

void SendCommand(HWND dialog, int id, int code) {
    SendToProcedure(dialog, WM_COMMAND, MAKEWPARAM(id, code), 0);
}

int ControlId(const QObject* control) {
    return control->property(kControlIdProperty).toInt();
}

// Rounds a * b / c to the nearest integer, halves away from zero, as Windows' MulDiv does.
int MulDiv(int a, int b, int c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

// The variable naming the display the platform plugin will try to reach.
const char* DisplayVariable() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform.startsWith("wayland") ? "WAYLAND_DISPLAY" : "DISPLAY";
}

QtMessageHandler OrdinaryMessageHandler = nullptr;

// While the application object is being made, Qt ends the process through qFatal (abort and a
// core dump, after advising to reinstall) when its platform plugin cannot reach a display.
// Without a display there is no window to show: say so in one line and exit with status 1.
// The plugin's own warnings on the way are left out; other messages pass on unchanged.
void ReportMissingDisplay(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (type != QtFatalMsg) {
        const bool platformNoise =
            context.category != nullptr && std::strncmp(context.category, "qt.qpa.", 7) == 0;
        if (!platformNoise && OrdinaryMessageHandler != nullptr) {
            OrdinaryMessageHandler(type, context, message);
        }
        return;
    }
    const char* variable = DisplayVariable();
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') {
        std::fprintf(stderr, "%s: no display could be opened (%s=%s)\n",
                     program_invocation_short_name, variable, value);
    } else {
        std::fprintf(stderr, "%s: no display could be opened (%s is not set)\n",
                     program_invocation_short_name, variable);
    }
    std::fflush(stderr);
    std::_Exit(1);
}

QApplication* EnsureApplication() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return existing;
    }
    // deliberate:
    // the application object lives as long as the process, like the Windows session does.
    static int argc = 1;
    static char* argv[] = {program_invocation_name, nullptr};
    OrdinaryMessageHandler = qInstallMessageHandler(ReportMissingDisplay);
    auto* application = new QApplication(argc, argv);
    qInstallMessageHandler(OrdinaryMessageHandler);
    // Desktops match the window to its desktop entry by this name (the program's own).
    QGuiApplication::setDesktopFileName(QString::fromLocal8Bit(program_invocation_short_name));
    return application;
}

// The template's font: the named face when installed (or found among fonts-wine's), else
// the desktop's sans-serif; sized from points at the screen's logical resolution as Windows
// sizes it (rounded em height in pixels).
QFont DialogFont(const DialogTemplate& dialog) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    int pointSize = 8;
    if ((dialog.style & DS_SETFONT) != 0) {
        QString family = QString::fromLatin1(dialog.fontFace);
        if (!QFontDatabase::hasFamily(family)) {
            const QString file = QString::fromLatin1(kWineFontFolder) + family.toLower() + ".ttf";
            if (QFile::exists(file)) {
                const int fontId = QFontDatabase::addApplicationFont(file);
                const QStringList added = QFontDatabase::applicationFontFamilies(fontId);
                if (!added.isEmpty()) family = added.first();
            }
        }
        if (QFontDatabase::hasFamily(family)) {
            font = QFont(family);
        } else {
            font.setStyleHint(QFont::SansSerif);
        }
        pointSize = dialog.pointSize;
        if (dialog.weight != 0) font.setWeight(static_cast<QFont::Weight>(dialog.weight));
        font.setItalic(dialog.italic != 0);
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96;
    font.setPixelSize(MulDiv(pointSize, dpi, 72));
    return font;
}

struct BaseUnits {
    int x;  // pixels per 4 horizontal dialog units
    int y;  // pixels per 8 vertical dialog units
};

int ReadBigEndian16(const QByteArray& table, int offset) {
    return (static_cast<unsigned char>(table[offset]) << 8) |
           static_cast<unsigned char>(table[offset + 1]);
}

// The font's cell height as Windows measures it: the OS/2 table's Windows ascent and descent,
// each scaled to the pixel size and rounded. Qt's own height may come from other metrics in
// the font (Wine's Tahoma reports 11 pixels where Windows has 13), which would squeeze every
// vertical dialog unit. Fonts without those tables fall back to Qt's height.
int CellHeight(const QFont& font) {
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray head = raw.fontTable("head");
    const QByteArray os2 = raw.fontTable("OS/2");
    constexpr int kUnitsPerEmOffset = 18, kWinAscentOffset = 74, kWinDescentOffset = 76;
    if (head.size() >= kUnitsPerEmOffset + 2 && os2.size() >= kWinDescentOffset + 2) {
        const int unitsPerEm = ReadBigEndian16(head, kUnitsPerEmOffset);
        const int pixels = font.pixelSize();
        if (unitsPerEm > 0 && pixels > 0) {
            return MulDiv(ReadBigEndian16(os2, kWinAscentOffset), pixels, unitsPerEm) +
                   MulDiv(ReadBigEndian16(os2, kWinDescentOffset), pixels, unitsPerEm);
        }
    }
    return QFontMetrics(font).height();
}

// Windows' dialog base units: the rounded average width of the Latin letters, and the cell
// height.
BaseUnits MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, CellHeight(font)};
}

QRect ToPixels(const BaseUnits& units, int x, int y, int cx, int cy) {
    return QRect(MulDiv(x, units.x, 4), MulDiv(y, units.y, 8), MulDiv(cx, units.x, 4),
                 MulDiv(cy, units.y, 8));
}

bool IsMultiLineEdit(const QObject* control) {
    return qobject_cast<const QPlainTextEdit*>(control) != nullptr;
}

bool IsEdit(const QObject* control) {
    return IsMultiLineEdit(control) || qobject_cast<const QLineEdit*>(control) != nullptr;
}

// WS_EX_STATICEDGE: a one-pixel sunken edge, shadow above and left, light below and right.
// Read-only edits show the dialog's background, as on Windows, which also keeps the light
// half of the edge visible.
QString StaticEdgeSheet(const char* className, bool readOnly) {
    return QStringLiteral(
               "%1 { border: 1px solid; padding: 0px 1px;"
               " border-color: palette(mid) palette(light) palette(light) palette(mid);"
               "%2 }")
        .arg(QLatin1String(className),
             readOnly ? QStringLiteral(" background: palette(window);") : QString());
}

// A Win32 edit's text is a NUL-terminated string, so it never holds a NUL; Qt's edits take
// one from pasted text. Cut such a text at its first NUL, so that the count GetDlgItemTextA
// returns and the bytes it copies always agree.
void EndAtFirstNul(QPlainTextEdit* edit) {
    const qsizetype nul = edit->document()->toRawText().indexOf(QChar(0));
    if (nul < 0) return;
    const QSignalBlocker quiet(edit);
    QTextCursor cursor(edit->document());
    cursor.setPosition(static_cast<int>(nul));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void EndAtFirstNul(QLineEdit* edit) {
    const qsizetype nul = edit->text().indexOf(QChar(0));
    if (nul < 0) return;
    const QSignalBlocker quiet(edit);
    edit->setText(edit->text().left(nul));
}

// A read-only edit shows what the program put there and nothing else. Qt's accessibility
// bridge lets an assistive technology write into one all the same (AT-SPI's SetTextContents
// reaches the edit's text without asking whether it is read-only), which would put a false
// digest in a result field; such a change is undone. The program's own texts come through
// SetDlgItemTextA, which records them here.
constexpr const char* kProgramTextProperty = "win32ProgramText";
constexpr const char* kProgramWritingProperty = "win32ProgramWriting";

void NoteProgramText(QWidget* edit, const QString& text) {
    edit->setProperty(kProgramTextProperty, text);
}

// True when the change was not the program's and has been undone.
bool UndoForeignChange(QLineEdit* edit) {
    if (!edit->isReadOnly() || edit->property(kProgramWritingProperty).toBool()) return false;
    const QString shown = edit->property(kProgramTextProperty).toString();
    if (edit->text() == shown) return false;
    const QSignalBlocker quiet(edit);
    edit->setText(shown);
    edit->setCursorPosition(0);
    return true;
}

// A multi-line edit notifies nothing for the program's own texts (SetDlgItemTextA blocks its
// signals), so any change to a read-only one is foreign. It is undone once the change in
// progress has finished: the document is not rewritten from inside its own notification.
bool UndoForeignChange(QPlainTextEdit* edit) {
    if (!edit->isReadOnly()) return false;
    QMetaObject::invokeMethod(
        edit,
        [edit] {
            const QString shown = edit->property(kProgramTextProperty).toString();
            if (edit->toPlainText() == shown) return;
            const QSignalBlocker quiet(edit);
            edit->setPlainText(shown);
        },
        Qt::QueuedConnection);
    return true;
}

QWidget* CreateEdit(const DialogItemTemplate& item, const QString& text, QWidget* parent,
                    HWND dialog) {
    const bool readOnly = (item.style & ES_READONLY) != 0;
    const bool staticEdge = (item.exStyle & WS_EX_STATICEDGE) != 0;
    const int id = item.id;
    if ((item.style & ES_MULTILINE) != 0) {
        auto* edit = new QPlainTextEdit(text, parent);
        edit->setTabChangesFocus(true);
        // Without horizontal auto-scroll a multi-line edit wraps at its right edge, at a word
        // boundary where there is one.
        edit->setLineWrapMode((item.style & ES_AUTOHSCROLL) != 0 ? QPlainTextEdit::NoWrap
                                                                 : QPlainTextEdit::WidgetWidth);
        edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        edit->setVerticalScrollBarPolicy((item.style & WS_VSCROLL) != 0 ? Qt::ScrollBarAlwaysOn
                                                                        : Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy((item.style & WS_HSCROLL) != 0 ? Qt::ScrollBarAlwaysOn
                                                                          : Qt::ScrollBarAlwaysOff);
        // An edit's text starts right at its edge: no room to spare in a two-line field.
        edit->document()->setDocumentMargin(1);
        if (staticEdge) {
            edit->setStyleSheet(StaticEdgeSheet("QPlainTextEdit", readOnly));
        } else {
            edit->setFrameStyle(QFrame::NoFrame);
        }
        if (readOnly) {
            edit->setReadOnly(true);
            edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        }
        NoteProgramText(edit, edit->toPlainText());
        QObject::connect(edit, &QPlainTextEdit::textChanged, [dialog, id, edit] {
            if (UndoForeignChange(edit)) return;
            EndAtFirstNul(edit);
            SendCommand(dialog, id, EN_CHANGE);
        });
        return edit;
    }
    auto* edit = new QLineEdit(text, parent);
    edit->setReadOnly(readOnly);
    if (staticEdge) {
        edit->setStyleSheet(StaticEdgeSheet("QLineEdit", readOnly));
    } else {
        edit->setFrame((item.style & WS_BORDER) != 0);
    }
    NoteProgramText(edit, edit->text());
    QObject::connect(edit, &QLineEdit::textChanged, [dialog, id, edit] {
        if (UndoForeignChange(edit)) return;
        EndAtFirstNul(edit);
        SendCommand(dialog, id, EN_CHANGE);
    });
    return edit;
}

// One control of the template, or null for a class this layer does not provide.
QWidget* CreateControl(const DialogItemTemplate& item, QWidget* parent, HWND dialog) {
    const QString className = QString::fromLatin1(item.className).toLower();
    const QString text = QString::fromUtf8(item.text);
    QWidget* control = nullptr;
    if (className == QLatin1String("static")) {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        control = label;
    } else if (className == QLatin1String("button")) {
        if ((item.style & 0xF) == BS_GROUPBOX) {
            // A frame only: clicks fall through to the controls it surrounds.
            auto* group = new QGroupBox(text, parent);
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            // As on Windows the frame's top line runs through the middle of the title.
            const QFontMetrics metrics(parent->font());
            group->setStyleSheet(
                QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: %1px; }"
                               "QGroupBox::title { subcontrol-origin: margin; left: %2px;"
                               " padding: 0px 2px; }")
                    .arg(metrics.height() / 2)
                    .arg(metrics.averageCharWidth()));
            control = group;
        } else {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);  // Enter belongs to the dialog procedure
            const int id = item.id;
            QObject::connect(button, &QPushButton::clicked,
                             [dialog, id] { SendCommand(dialog, id, BN_CLICKED); });
            control = button;
        }
    } else if (className == QLatin1String("edit")) {
        control = CreateEdit(item, text, parent, dialog);
    } else {
        return nullptr;
    }
    control->setProperty(kControlIdProperty, static_cast<int>(item.id));
    if ((item.style & WS_TABSTOP) != 0) {
        control->setFocusPolicy(Qt::StrongFocus);
    } else if (IsEdit(control) || qobject_cast<QPushButton*>(control) != nullptr) {
        control->setFocusPolicy(Qt::ClickFocus);
    } else {
        control->setFocusPolicy(Qt::NoFocus);
    }
    return control;
}

// Turns Qt's keyboard, focus and close events into the messages a dialog procedure expects,
// and keeps Qt's own handling of Enter, Escape and closing from ending the dialog.
class DialogEventRouter : public QObject {
public:
    explicit DialogEventRouter(HWND dialog) : dialog_(dialog) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Close:
                if (watched != dialog_->window) return false;
                event->ignore();
                SendToProcedure(dialog_, WM_CLOSE, 0, 0);
                return true;
            case QEvent::KeyPress: return RouteKey(watched, static_cast<QKeyEvent*>(event));
            case QEvent::FocusIn:
            case QEvent::FocusOut: {
                const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
                if (!IsEdit(watched) || reason == Qt::PopupFocusReason) return false;
                // A Windows edit reached with Tab selects its whole text, so that Ctrl+C copies
                // it; Qt's single-line edit does so already, its multi-line one does not.
                auto* multiLine = qobject_cast<QPlainTextEdit*>(watched);
                if (multiLine != nullptr && event->type() == QEvent::FocusIn &&
                    (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)) {
                    multiLine->selectAll();
                }
                SendCommand(dialog_, ControlId(watched),
                            event->type() == QEvent::FocusIn ? EN_SETFOCUS : EN_KILLFOCUS);
                return false;
            }
            case QEvent::ContextMenu: {
                // As on Windows the dialog procedure hears of the right click first, with the
                // control under it; when it takes no action, the control's own menu opens.
                // A menu asked for from the keyboard (the menu key, Shift+F10) is for the
                // focused control and has no position: -1 for both coordinates, as on Windows.
                auto* widget = qobject_cast<QWidget*>(watched);
                if (widget == nullptr) return false;
                const auto* request = static_cast<QContextMenuEvent*>(event);
                const QPoint at = request->globalPos();
                const LPARAM where = request->reason() == QContextMenuEvent::Keyboard
                                         ? static_cast<LPARAM>(-1)
                                         : MAKELPARAM(at.x(), at.y());
                const HWND target = HandleAt(dialog_, widget);
                return SendToProcedure(dialog_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target),
                                       where) != 0;
            }
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop: return RouteDropEvent(dialog_, watched, event);
            default: return false;
        }
    }

private:
    bool RouteKey(QObject* watched, QKeyEvent* key) {
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            // Shift+F10 asks for the focused control's context menu, as the menu key does.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget == nullptr) return false;
            const QPoint at = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
            QContextMenuEvent request(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at),
                                      key->modifiers());
            QCoreApplication::sendEvent(widget, &request);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            SendCommand(dialog_, IDCANCEL, BN_CLICKED);
            return true;
        }
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        // Ctrl+Enter starts a new line in a multi-line edit; plain Enter is the dialog's.
        auto* edit = qobject_cast<QPlainTextEdit*>(watched);
        if (edit != nullptr && !edit->isReadOnly() &&
            (key->modifiers() & Qt::ControlModifier) != 0) {
            edit->insertPlainText(QStringLiteral("\n"));
            return true;
        }
        // Enter on a focused push button presses that button, elsewhere the default IDOK.
        const bool onButton = qobject_cast<QPushButton*>(watched) != nullptr;
        SendCommand(dialog_, onButton ? ControlId(watched) : IDOK, BN_CLICKED);
        return true;
    }

    HWND dialog_;
};

bool IsClass(const DialogItemTemplate& item, const char* name) {
    return QString::fromLatin1(item.className).compare(QLatin1String(name), Qt::CaseInsensitive) ==
           0;
}

// The label of an edit, found as a reader of the form finds it: a static text on the same
// line to its left (the nearest one), else one just above it. -1 when there is none.
int LabelOf(const DialogTemplate& dialog, int editIndex) {
    const DialogItemTemplate& edit = dialog.items[editIndex];
    int left = -1;
    int above = -1;
    for (int i = 0; i < dialog.itemCount; ++i) {
        const DialogItemTemplate& label = dialog.items[i];
        if (!IsClass(label, "static") || label.text == nullptr || label.text[0] == '\0') continue;
        const bool sameLine = label.y < edit.y + edit.cy && edit.y < label.y + label.cy;
        const bool overColumn = label.x < edit.x + edit.cx && edit.x < label.x + label.cx;
        if (sameLine && label.x + label.cx <= edit.x) {
            if (left < 0 || label.x + label.cx > dialog.items[left].x + dialog.items[left].cx) {
                left = i;
            }
        } else if (overColumn && label.y + label.cy <= edit.y) {
            if (above < 0 || label.y + label.cy > dialog.items[above].y + dialog.items[above].cy) {
                above = i;
            }
        }
    }
    return left >= 0 ? left : above;
}

// A label's text as a name: without the trailing colon and the spaces around it.
QString NameFromLabel(const char* text) {
    QString name = QString::fromUtf8(text).trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QLatin1Char(' '))) name.chop(1);
    return name;
}

// Screen readers name an edit by its label: pairs every edit with its label from the template's
// geometry. Buttons and group boxes are named by their own texts already.
void NameEditsByTheirLabels(const DialogTemplate& dialog, const std::vector<QWidget*>& controls) {
    for (int i = 0; i < dialog.itemCount; ++i) {
        if (!IsClass(dialog.items[i], "edit")) continue;
        const int label = LabelOf(dialog, i);
        if (label < 0) continue;
        QWidget* edit = controls[static_cast<size_t>(i)];
        edit->setAccessibleName(NameFromLabel(dialog.items[label].text));
        if (auto* labelWidget = qobject_cast<QLabel*>(controls[static_cast<size_t>(label)])) {
            labelWidget->setBuddy(edit);
        }
    }
}

const DialogTemplate* FindTemplate(LPCSTR name) {
    const auto value = reinterpret_cast<UINT_PTR>(name);
    if (value > 0xFFFF) return nullptr;  // only numeric resource ids are compiled in
    for (int i = 0; i < DialogTemplateCount; ++i) {
        if (DialogTemplates[i].resourceId == value) return &DialogTemplates[i];
    }
    return nullptr;
}

QWidget* FindControl(HWND dialog, int id) {
    if (dialog == nullptr) return nullptr;
    for (QWidget* control : dialog->controls) {
        if (ControlId(control) == static_cast<WORD>(id)) return control;
    }
    return nullptr;
}

// A control's text as Windows holds it: multi-line edits separate lines with CR LF.
QString ControlText(const QWidget* control) {
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(control)) {
        QString text = edit->document()->toRawText();
        text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
        text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
        return text;
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
    if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (const auto* button = qobject_cast<const QPushButton*>(control)) return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
    return QString();
}

// Qt stacks a window's children in the order it hands them to accessibility clients, so the
// stacking order is the order a screen reader walks the window in: top to bottom, left to
// right, each label right before its field, and each frame before what it frames (frames
// lie below the controls inside them, which lets clicks and painting through).
void StackInReadingOrder(const DialogTemplate& dialog, const std::vector<QWidget*>& controls) {
    const int count = dialog.itemCount;
    std::vector<int> fieldOfLabel(static_cast<size_t>(count), -1);
    for (int i = 0; i < count; ++i) {
        if (!IsClass(dialog.items[i], "edit")) continue;
        const int label = LabelOf(dialog, i);
        if (label >= 0) fieldOfLabel[static_cast<size_t>(label)] = i;
    }
    // A label reads where its field does, just before it.
    auto place = [&](int i) {
        const int at =
            fieldOfLabel[static_cast<size_t>(i)] >= 0 ? fieldOfLabel[static_cast<size_t>(i)] : i;
        const DialogItemTemplate& item = dialog.items[at];
        return std::make_tuple(static_cast<int>(item.y), static_cast<int>(item.x), at == i ? 1 : 0);
    };
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return place(a) < place(b); });
    for (const int i : order) controls[static_cast<size_t>(i)]->raise();
}

// The dialogs running now, for PostMessageA from other threads.
std::mutex liveDialogsLock;
std::vector<HWND> liveDialogs;

// Termination signals (kill, Ctrl+C in a terminal, the end of a session) close the running
// dialog as its close box does. The handler only writes a byte to a pipe; the dialog's thread
// reads it and sends WM_CLOSE.
int signalPipe[2] = {-1, -1};

void NoteTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = saved;
}

void EndOnTerminationSignals(HWND dialog) {
    static QSocketNotifier* notifier = nullptr;
    static HWND target = nullptr;
    target = dialog;
    if (dialog == nullptr || notifier != nullptr) return;
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (target != nullptr) {
            SendToProcedure(target, WM_CLOSE, 0, 0);
        } else {
            std::_Exit(0);  // between dialogs there is no window to close
        }
    });
    struct sigaction action {};
    action.sa_handler = NoteTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                               LPARAM initParam) {
    const DialogTemplate* dialogTemplate = FindTemplate(templateName);
    if (dialogTemplate == nullptr || dialogProc == nullptr) return -1;
    EnsureApplication();

    HWND__ handle;
    auto window = std::make_unique<QDialog>(owner != nullptr ? owner->window : nullptr);
    handle.window = window.get();

    const DWORD style = dialogTemplate->style;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION) flags |= Qt::WindowTitleHint;
    if ((style & WS_SYSMENU) != 0) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((style & WS_MINIMIZEBOX) != 0) flags |= Qt::WindowMinimizeButtonHint;
    if ((style & WS_MAXIMIZEBOX) != 0) flags |= Qt::WindowMaximizeButtonHint;
    if ((style & WS_THICKFRAME) == 0) flags |= Qt::MSWindowsFixedSizeDialogHint;
    window->setWindowFlags(flags);
    window->setWindowTitle(QString::fromUtf8(dialogTemplate->caption));

    QFont font = DialogFont(*dialogTemplate);
    BaseUnits units = MeasureBaseUnits(font);
    QRect client = ToPixels(units, dialogTemplate->x, dialogTemplate->y, dialogTemplate->cx,
                            dialogTemplate->cy);
    // On a screen too small for the template at this scale (a high scale factor, a small
    // screen) the whole layout is drawn with a smaller font, so that every control stays
    // within reach: a fixed-size dialog can be neither resized nor scrolled.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() - kFrameAllowance;
        while (font.pixelSize() > kSmallestFontPixels &&
               (client.width() > room.width() || client.height() > room.height())) {
            font.setPixelSize(font.pixelSize() - 1);
            units = MeasureBaseUnits(font);
            client = ToPixels(units, dialogTemplate->x, dialogTemplate->y, dialogTemplate->cx,
                              dialogTemplate->cy);
        }
    }
    window->setFont(font);
    if ((style & WS_THICKFRAME) == 0) {
        window->setFixedSize(client.size());
    } else {
        window->resize(client.size());
    }

    DialogEventRouter router(&handle);
    window->installEventFilter(&router);
    for (int i = 0; i < dialogTemplate->itemCount; ++i) {
        const DialogItemTemplate& item = dialogTemplate->items[i];
        QWidget* control = CreateControl(item, window.get(), &handle);
        if (control == nullptr) return -1;
        control->setGeometry(ToPixels(units, item.x, item.y, item.cx, item.cy));
        control->installEventFilter(&router);
        // Right clicks and drops on a multi-line edit reach its viewport, not the edit.
        if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
            edit->viewport()->installEventFilter(&router);
        }
        handle.controls.push_back(control);
        auto controlHandle = std::make_unique<HWND__>();
        controlHandle->control = control;
        controlHandle->dialog = &handle;
        handle.controlHandles.push_back(std::move(controlHandle));
    }
    NameEditsByTheirLabels(*dialogTemplate, handle.controls);
    StackInReadingOrder(*dialogTemplate, handle.controls);
    QWidget* previousStop = nullptr;
    QWidget* firstStop = nullptr;
    for (int i = 0; i < dialogTemplate->itemCount; ++i) {
        if ((dialogTemplate->items[i].style & WS_TABSTOP) == 0) continue;
        QWidget* control = handle.controls[static_cast<size_t>(i)];
        if (previousStop != nullptr) QWidget::setTabOrder(previousStop, control);
        if (firstStop == nullptr) firstStop = control;
        previousStop = control;
    }

    handle.procedure = dialogProc;
    {
        const std::lock_guard hold(liveDialogsLock);
        liveDialogs.push_back(&handle);
    }
    if (SendToProcedure(&handle, WM_INITDIALOG, 0, initParam) != 0 && firstStop != nullptr) {
        firstStop->setFocus();
    }

    // The native window exists from here on, so its frame is known where the platform can tell.
    window->winId();
    const QScreen* screen = window->screen();
    if ((style & DS_CENTER) != 0 && screen != nullptr) {
        const QRect area = screen->availableGeometry();
        const QRect frame = window->frameGeometry();
        const int x = area.x() + (area.width() - frame.width()) / 2;
        const int y = area.y() + (area.height() - frame.height()) / 2;
        window->move(std::max(x, area.x()), std::max(y, area.y()));
    } else {
        window->move(client.topLeft());
    }

    EndOnTerminationSignals(&handle);
    const int result = window->exec();
    {
        const std::lock_guard hold(liveDialogsLock);
        liveDialogs.erase(std::find(liveDialogs.begin(), liveDialogs.end(), &handle));
    }
    EndOnTerminationSignals(nullptr);
    // The procedure hears nothing of the teardown.
    handle.procedure = nullptr;
    window->removeEventFilter(&router);
    for (QWidget* control : handle.controls) {
        control->removeEventFilter(&router);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
            edit->viewport()->removeEventFilter(&router);
        }
    }
    window.reset();
    return result;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int controlId, LPSTR text, int maxCount) {
    if (text == nullptr || maxCount <= 0) return 0;
    text[0] = '\0';
    const QWidget* control = FindControl(dialog, controlId);
    if (control == nullptr) return 0;
    const QByteArray bytes = ControlText(control).toUtf8();
    qsizetype count = std::min<qsizetype>(bytes.size(), maxCount - 1);
    // Never end inside a character: back up over UTF-8 continuation bytes.
    if (count < bytes.size()) {
        while (count > 0 && (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80) --count;
    }
    std::memcpy(text, bytes.constData(), static_cast<size_t>(count));
    text[count] = '\0';
    return static_cast<UINT>(count);
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text) {
    QWidget* control = FindControl(dialog, controlId);
    if (control == nullptr) return FALSE;
    const QString value = QString::fromUtf8(text != nullptr ? text : "");
    if (auto* multiLine = qobject_cast<QPlainTextEdit*>(control)) {
        // A multi-line edit sends no change notification for text set by the program.
        const QSignalBlocker quiet(multiLine);
        QString lines = value;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        multiLine->setPlainText(lines);
        NoteProgramText(multiLine, multiLine->toPlainText());
    } else if (auto* singleLine = qobject_cast<QLineEdit*>(control)) {
        singleLine->setProperty(kProgramWritingProperty, true);
        singleLine->setText(value);
        singleLine->setProperty(kProgramWritingProperty, false);
        NoteProgramText(singleLine, singleLine->text());
        singleLine->setCursorPosition(0);  // show the start of a text wider than the field
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
        button->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(value);
    }
    return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    EnsureApplication();
    QString body = QString::fromUtf8(text != nullptr ? text : "");
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QMessageBox::Icon icon =
        (type & 0xF0) == MB_ICONINFORMATION ? QMessageBox::Information : QMessageBox::NoIcon;
    // Only the OK button is provided; the program asks for nothing else.
    QMessageBox box(icon, QString::fromUtf8(caption != nullptr ? caption : "Error"), body,
                    QMessageBox::Ok, owner != nullptr ? owner->window : nullptr);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return IDOK;
}

BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (window == nullptr || window->window == nullptr) return FALSE;
    QWidget* widget = window->window;
    if ((flags & SWP_NOMOVE) == 0) widget->move(x, y);
    if ((flags & SWP_NOSIZE) == 0) widget->resize(cx, cy);
    if (insertAfter == HWND_TOP) widget->raise();
    if ((flags & SWP_NOACTIVATE) == 0) widget->activateWindow();
    return TRUE;
}

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR iconName) {
    const auto id = reinterpret_cast<UINT_PTR>(iconName);
    if (id > 0xFFFF) return nullptr;  // only numeric resource ids are embedded
    // Loaded icons are shared and live as long as the process, as on Windows.
    static std::map<UINT_PTR, std::unique_ptr<HICON__>> loaded;
    if (const auto found = loaded.find(id); found != loaded.end()) return found->second.get();
    EnsureApplication();
    QIcon icon;
    for (int i = 0; i < IconImageCount; ++i) {
        if (IconImages[i].resourceId != id) continue;
        const unsigned char* image = IconImages[i].png;
        const unsigned size =
            image[0] | (image[1] << 8) | (image[2] << 16) | (static_cast<unsigned>(image[3]) << 24);
        QPixmap pixmap;
        if (pixmap.loadFromData(image + 4, size, "PNG")) icon.addPixmap(pixmap);
    }
    if (icon.isNull()) return nullptr;
    auto handle = std::make_unique<HICON__>();
    handle->icon = icon;
    return loaded.emplace(id, std::move(handle)).first->second.get();
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) return 0;
    if (window->control != nullptr) {
        // EM_SETSEL: select from wParam to lParam; an end of -1 means the end of the text.
        if (message != EM_SETSEL) return 0;
        const int start = static_cast<int>(wParam);
        const int end = static_cast<int>(lParam);
        if (auto* multiLine = qobject_cast<QPlainTextEdit*>(window->control)) {
            QTextCursor cursor(multiLine->document());
            const int last = multiLine->document()->characterCount() - 1;
            cursor.setPosition(std::clamp(start, 0, last));
            cursor.setPosition(end < 0 ? last : std::clamp(end, 0, last), QTextCursor::KeepAnchor);
            multiLine->setTextCursor(cursor);
        } else if (auto* singleLine = qobject_cast<QLineEdit*>(window->control)) {
            const int last = static_cast<int>(singleLine->text().size());
            const int from = std::clamp(start, 0, last);
            singleLine->setSelection(from, (end < 0 ? last : std::clamp(end, 0, last)) - from);
        }
        return 0;
    }
    if (message != WM_SETICON) return SendToProcedure(window, message, wParam, lParam);
    // The title bar shows the small icon, task switchers the big one; Qt keeps all sizes in
    // one icon and picks, so the window gets the big one when there is one.
    if (wParam != ICON_SMALL && wParam != ICON_BIG) return 0;
    const HICON previous = window->icons[wParam];
    window->icons[wParam] = reinterpret_cast<HICON>(lParam);
    const HICON shown =
        window->icons[ICON_BIG] != nullptr ? window->icons[ICON_BIG] : window->icons[ICON_SMALL];
    if (window->window != nullptr) window->window->setWindowIcon(shown ? shown->icon : QIcon());
    return reinterpret_cast<LRESULT>(previous);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Another thread may post while the dialog ends: the handle is looked up under the lock
    // that its end takes too, and a message for a dialog gone is refused, as on Windows.
    const std::lock_guard hold(liveDialogsLock);
    if (std::find(liveDialogs.begin(), liveDialogs.end(), window) == liveDialogs.end()) {
        return FALSE;
    }
    // Delivered on the dialog's thread by its event loop; dropped if the dialog is gone by then.
    return QMetaObject::invokeMethod(
        window->window,
        [window, message, wParam, lParam] { SendToProcedure(window, message, wParam, lParam); },
        Qt::QueuedConnection);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (window == nullptr) return FALSE;
    if (window->control != nullptr) {
        return SetDlgItemTextA(window->dialog, ControlId(window->control), text);
    }
    if (window->window == nullptr) return FALSE;
    window->window->setWindowTitle(QString::fromUtf8(text != nullptr ? text : ""));
    return TRUE;
}

int WINAPI GetWindowTextA(HWND window, LPSTR text, int maxCount) {
    if (window != nullptr && window->control != nullptr) {
        return static_cast<int>(
            GetDlgItemTextA(window->dialog, ControlId(window->control), text, maxCount));
    }
    if (text == nullptr || maxCount <= 0) return 0;
    text[0] = '\0';
    if (window == nullptr || window->window == nullptr) return 0;
    const QByteArray bytes = window->window->windowTitle().toUtf8();
    const int count = std::min(static_cast<int>(bytes.size()), maxCount - 1);
    std::memcpy(text, bytes.constData(), static_cast<size_t>(count));
    text[count] = '\0';
    return count;
}

HWND WINAPI GetDlgItem(HWND dialog, int controlId) {
    if (dialog == nullptr) return nullptr;
    for (const auto& handle : dialog->controlHandles) {
        if (ControlId(handle->control) == static_cast<WORD>(controlId)) return handle.get();
    }
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND control) {
    return control != nullptr && control->control != nullptr ? ControlId(control->control) : 0;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    const QWidget* widget = WidgetOf(window);
    if (widget == nullptr || rect == nullptr) return FALSE;
    const QRect area = widget->isWindow()
                           ? widget->frameGeometry()
                           : QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    rect->left = area.x();
    rect->top = area.y();
    rect->right = area.x() + area.width();
    rect->bottom = area.y() + area.height();
    return TRUE;
}

HWND WINAPI SetFocus(HWND window) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) return nullptr;
    QWidget* previous = QApplication::focusWidget();
    widget->setFocus(Qt::OtherFocusReason);
    if (previous == nullptr) return nullptr;
    const HWND dialog = window->dialog != nullptr ? window->dialog : window;
    return HandleAt(dialog, previous);
}
