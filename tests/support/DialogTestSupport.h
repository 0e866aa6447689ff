#pragma once

#include "framework/core/WinTypes.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/dialogs/Dialog.h"
#include "framework/gui/windows/TestHook.h"
#include "support/MessageBoxAnswers.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Defined here rather than in the support library: they use the GUI half of the platform layer, which
// only the programs that include this header link.

// Makes sure an offscreen QApplication with the GUI services exists for dialog tests.
void EnsureDialogTestApplication();

// Answers the modal dialogs and message boxes of a test while it lives. The answerer receives the live
// dialog, with its controls filled by OnInitDialog, and returns what the user does (IDOK presses OK, any
// other value Cancel); it may also click the dialog's buttons itself. Message boxes are recorded and
// answered with IDOK; file dialogs are cancelled.
class DialogAnswerer {
public:
    using Answer = std::function<int(CDialog& dialog)>;
    explicit DialogAnswerer(Answer answer);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // The texts of the message boxes shown so far.
    const std::vector<CString>& Messages() const { return m_boxes.Texts(); }
    int DialogsShown() const { return *m_dialogsShown; }

private:
    MessageBoxAnswers m_boxes;
    std::shared_ptr<int> m_dialogsShown;
    std::unique_ptr<CScopedGuiTestHook> m_hook;
};

// Keeps a box open as a user who reads it would: the event loop runs for the time given, as it runs inside
// a real box, so whatever arrives meanwhile is handled before the answer. A message box hook calls it
// before answering.
void RunEventLoopFor(int milliseconds);

// Types text into an edit box of a live dialog as a user would (the box may refuse what does not fit).
void TypeIntoEdit(CDialog& dialog, int nID, const CString& text);
// Replaces an edit box's text as the program would.
void SetItemText(CDialog& dialog, int nID, const CString& text);
CString GetItemText(CDialog& dialog, int nID);

inline void EnsureDialogTestApplication() {
    if (QApplication::instance() == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "kestrune-tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv); // lives for the rest of the test program
    }
    AfxInstallGuiServices();
}

inline DialogAnswerer::DialogAnswerer(Answer answer) : m_dialogsShown(std::make_shared<int>(0)) {
    EnsureDialogTestApplication();
    GuiTestHook hook;
    auto shown = m_dialogsShown;
    hook.modalDialog = [answer, shown](QDialog& window) {
        ++*shown;
        CDialog* dialog = CDialog::FromDialogWindow(&window);
        return dialog != nullptr && answer ? answer(*dialog) : IDCANCEL;
    };
    hook.messageBox = m_boxes.Hook();
    // A file question (an automatic save of a document without a file) is declined.
    hook.fileDialog = [](BOOL, CString&) { return FALSE; };
    m_hook = std::make_unique<CScopedGuiTestHook>(std::move(hook));
}

inline DialogAnswerer::~DialogAnswerer() = default;

inline void RunEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

inline void TypeIntoEdit(CDialog& dialog, int nID, const CString& text) {
    CDialogItem* item = dialog.GetDlgItem(nID);
    auto* edit = item != nullptr ? qobject_cast<QLineEdit*>(item->GetWidget()) : nullptr;
    if (edit == nullptr)
        return;
    edit->setFocus();
    edit->selectAll();
    edit->del();
    for (char c : text)
        edit->insert(QString(QChar::fromLatin1(c)));
}

inline void SetItemText(CDialog& dialog, int nID, const CString& text) {
    if (CDialogItem* item = dialog.GetDlgItem(nID))
        item->SetWindowText(text);
}

inline CString GetItemText(CDialog& dialog, int nID) {
    CString text;
    if (CDialogItem* item = dialog.GetDlgItem(nID))
        item->GetWindowText(text);
    return text;
}
