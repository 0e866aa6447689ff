#include "framework/gui/windows/TestHook.h"

#include "framework/core/MessageBox.h"

#include <QDialog>

#include <utility>

namespace {
GuiTestHook* installedHook = nullptr;
}

GuiTestHook* AfxGetGuiTestHook() {
    return installedHook;
}

CScopedGuiTestHook::CScopedGuiTestHook(GuiTestHook hook)
    : m_hook(std::move(hook)), m_previous(installedHook) {
    installedHook = &m_hook;
}

CScopedGuiTestHook::~CScopedGuiTestHook() {
    installedHook = m_previous;
}

int AfxRunModalDialog(QDialog& dialog) {
    if (installedHook != nullptr && installedHook->modalDialog) {
        dialog.show();
        const int answer = installedHook->modalDialog(dialog);
        dialog.hide();
        return answer;
    }
    const int result = dialog.exec();
    // QDialog reports a rejection as 0; the framework's callers expect IDCANCEL.
    return result == QDialog::Rejected ? IDCANCEL : result;
}
