// comdlg32 over Qt: the file chooser for opening one existing file.
#include <QFileDialog>

#include <cstring>

#include "win32.h"
#include "window_handle.h"

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA dialog) {
    if (dialog == nullptr || dialog->lpstrFile == nullptr || dialog->nMaxFile == 0) return FALSE;
    const QString title =
        QString::fromUtf8(dialog->lpstrTitle != nullptr ? dialog->lpstrTitle : "");
    const QString folder =
        QString::fromUtf8(dialog->lpstrInitialDir != nullptr ? dialog->lpstrInitialDir : "");
    // Qt's own chooser rather than the desktop's: it runs inside this event loop, so the
    // program's modal state and its tests behave alike everywhere.
    const QString chosen =
        QFileDialog::getOpenFileName(WidgetOf(dialog->hwndOwner), title, folder, QString(), nullptr,
                                     QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) return FALSE;
    const QByteArray path = chosen.toUtf8();
    if (static_cast<DWORD>(path.size()) + 1 > dialog->nMaxFile) return FALSE;
    std::memcpy(dialog->lpstrFile, path.constData(), static_cast<size_t>(path.size()) + 1);
    const qsizetype slash = path.lastIndexOf('/');
    dialog->nFileOffset = static_cast<WORD>(slash + 1);
    return TRUE;
}
