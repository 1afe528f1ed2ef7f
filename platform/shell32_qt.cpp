// shell32 over Qt: files dropped on a dialog reach its procedure as WM_DROPFILES, once the
// program has asked for them with DragAcceptFiles. A drop that carries local files is taken
// as those files even when it also offers their addresses as text (file managers do), so
// the text "file:///..." never lands in an edit. A drop of text alone is taken as a paste
// into the edit under it, or into the dialog's first editable field.
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "win32.h"
#include "window_handle.h"

struct HDROP__ {
    std::vector<std::string> files;  // in the locale's encoding (UTF-8)
};

namespace {

std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    }
    return files;
}

// The edit a dropped text goes into: the editable one under the drop, else the first.
QPlainTextEdit* PasteTarget(HWND dialog, QObject* watched) {
    for (QObject* at = watched; at != nullptr; at = at->parent()) {
        auto* edit = qobject_cast<QPlainTextEdit*>(at);
        if (edit != nullptr) {
            if (!edit->isReadOnly()) return edit;
            break;
        }
    }
    for (QWidget* control : dialog->controls) {
        auto* edit = qobject_cast<QPlainTextEdit*>(control);
        if (edit != nullptr && !edit->isReadOnly()) return edit;
    }
    return nullptr;
}

}  // namespace

bool RouteDropEvent(HWND dialog, QObject* watched, QEvent* event) {
    if (!dialog->acceptsFiles) return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    const std::vector<std::string> files = LocalFiles(data);
    const bool text = data != nullptr && data->hasText() && files.empty();
    if (files.empty() && !text) return false;
    if (event->type() != QEvent::Drop) {
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (!files.empty()) {
        auto* handle = new HDROP__{files};  // released by the procedure's DragFinish
        if (SendToProcedure(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0) == 0) {
            // A procedure that ignores the message leaves it to the default handling,
            // which releases the drop.
        }
        return true;
    }
    if (QPlainTextEdit* edit = PasteTarget(dialog, watched)) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->insertPlainText(data->text());
    }
    return true;
}

void WINAPI DragAcceptFiles(HWND window, BOOL accept) {
    if (window == nullptr || window->window == nullptr) return;
    window->acceptsFiles = accept != FALSE;
    window->window->setAcceptDrops(window->acceptsFiles);
    for (QWidget* control : window->controls) {
        control->setAcceptDrops(window->acceptsFiles);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
            edit->viewport()->setAcceptDrops(window->acceptsFiles);
        }
    }
}

UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size) {
    if (drop == nullptr) return 0;
    if (index == 0xFFFFFFFF) return static_cast<UINT>(drop->files.size());
    if (index >= drop->files.size()) return 0;
    const std::string& path = drop->files[index];
    if (file == nullptr) return static_cast<UINT>(path.size());
    if (size == 0) return 0;
    const size_t count = std::min<size_t>(path.size(), size - 1);
    std::memcpy(file, path.data(), count);
    file[count] = '\0';
    return static_cast<UINT>(count);
}

void WINAPI DragFinish(HDROP drop) {
    delete drop;
}
