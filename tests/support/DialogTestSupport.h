#pragma once

#include "framework/WinTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDialog;
class CScopedGuiTestHook;

// Makes sure an offscreen QApplication with the GUI services exists for dialog tests.
void EnsureDialogTestApplication();

// Answers the modal dialogs and message boxes of a test while it lives. The answerer receives the live
// dialog, with its controls filled by OnInitDialog, and returns what the user does (IDOK presses OK, any
// other value Cancel); it may also click the dialog's buttons itself. Message boxes are recorded and
// answered with IDOK.
class DialogAnswerer {
public:
    using Answer = std::function<int(CDialog& dialog)>;
    explicit DialogAnswerer(Answer answer);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // The texts of the message boxes shown so far.
    const std::vector<CString>& Messages() const { return *m_messages; }
    int DialogsShown() const { return *m_dialogsShown; }

private:
    std::shared_ptr<std::vector<CString>> m_messages;
    std::shared_ptr<int> m_dialogsShown;
    std::unique_ptr<CScopedGuiTestHook> m_hook;
};

// Types text into an edit box of a live dialog as a user would (the box may refuse what does not fit).
void TypeIntoEdit(CDialog& dialog, int nID, const CString& text);
// Replaces an edit box's text as the program would.
void SetItemText(CDialog& dialog, int nID, const CString& text);
CString GetItemText(CDialog& dialog, int nID);
