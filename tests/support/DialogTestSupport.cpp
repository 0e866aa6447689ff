#include "support/DialogTestSupport.h"

#include "framework/gui/Dialog.h"
#include "framework/gui/GuiServices.h"
#include "framework/gui/TestHook.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdlib>

void EnsureDialogTestApplication() {
    if (QApplication::instance() == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "kestrune-tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv); // lives for the rest of the test program
    }
    AfxInstallGuiServices();
}

DialogAnswerer::DialogAnswerer(Answer answer)
    : m_messages(std::make_shared<std::vector<CString>>()), m_dialogsShown(std::make_shared<int>(0)) {
    EnsureDialogTestApplication();
    GuiTestHook hook;
    auto shown = m_dialogsShown;
    hook.modalDialog = [answer, shown](QDialog& window) {
        ++*shown;
        CDialog* dialog = CDialog::FromDialogWindow(&window);
        return dialog != nullptr && answer ? answer(*dialog) : IDCANCEL;
    };
    auto messages = m_messages;
    hook.messageBox = [messages](const CString& text, UINT) {
        messages->push_back(text);
        return IDOK;
    };
    m_hook = std::make_unique<CScopedGuiTestHook>(std::move(hook));
}

DialogAnswerer::~DialogAnswerer() = default;

void TypeIntoEdit(CDialog& dialog, int nID, const CString& text) {
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

void SetItemText(CDialog& dialog, int nID, const CString& text) {
    if (CDialogItem* item = dialog.GetDlgItem(nID))
        item->SetWindowText(text);
}

CString GetItemText(CDialog& dialog, int nID) {
    CString text;
    if (CDialogItem* item = dialog.GetDlgItem(nID))
        item->GetWindowText(text);
    return text;
}
