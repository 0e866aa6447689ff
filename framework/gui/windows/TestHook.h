#pragma once

#include "framework/core/WinTypes.h"

#include <functional>

class QDialog;
struct LOGFONTA;

// Answers what would otherwise wait for a user: modal dialogs, message boxes, the font dialog and the file
// dialogs. Tests install one with CScopedGuiTestHook; a member left empty lets the real dialog run.
struct GuiTestHook {
    // A modal dialog, shown (not modal) with its controls live: the answerer may read and change them, and
    // returns the result DoModal gives (IDOK, IDCANCEL); it may also end the dialog through its own buttons.
    std::function<int(QDialog& dialog)> modalDialog;
    // A message box on the user-interface thread: its text and style; returns the button (IDYES, IDOK...).
    std::function<int(const CString& text, UINT type)> messageBox;
    // The font dialog, given its initial font: fills the chosen one and returns TRUE, or FALSE to cancel.
    std::function<BOOL(LOGFONTA& font)> fontDialog;
    // A file dialog: bOpen tells open from save; path comes with the proposed name and goes back with the
    // chosen one. FALSE cancels.
    std::function<BOOL(BOOL bOpen, CString& path)> fileDialog;
};

// The installed hook, or null.
GuiTestHook* AfxGetGuiTestHook();

// Installs a hook for its lifetime and restores the previous one afterwards.
class CScopedGuiTestHook {
public:
    explicit CScopedGuiTestHook(GuiTestHook hook);
    ~CScopedGuiTestHook();
    CScopedGuiTestHook(const CScopedGuiTestHook&) = delete;
    CScopedGuiTestHook& operator=(const CScopedGuiTestHook&) = delete;

    GuiTestHook& hook() { return m_hook; }

private:
    GuiTestHook m_hook;
    GuiTestHook* m_previous;
};

// Runs a dialog modally, or lets the installed hook answer it. Every modal dialog of the program goes
// through here, so tests never block.
int AfxRunModalDialog(QDialog& dialog);
