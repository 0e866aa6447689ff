// The flag that says the INI's port is taken, as windows open, move and close.
#include "MainFrameTestSupport.h"

#include "comm/comm.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/windows/TestHook.h"
#include "reception/CommThread.h"
#include "support/DialogPortDirectory.h"
#include "support/MessageBoxAnswers.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

CCommView* ViewOf(CDocument* document) {
    return dynamic_cast<CCommView*>(document->GetFirstView());
}

bool AWindowIsOn(CMainFrame* frame, const std::string& port) {
    for (CMDIChildWnd* child : frame->GetChildFrames()) {
        auto* view = dynamic_cast<CCommView*>(child->GetActiveView());
        if (view != nullptr && view->m_commThread != nullptr &&
            view->m_commThread->m_CommPort.GetCommPort() == port)
            return true;
    }
    return false;
}

} // namespace

TEST(DefaultPort, ClosingAnotherWindowOfTheSameNameKeepsTheDefaultPortTaken) {
    DialogPortDirectory ports({8, 9});
    PreferencesFromIni ini("[COM]\nPort=COM9\nBaudRate=9600\n[TERM]\nAutoSaveFrequency=0\n");
    GuiTestHook hook;
    hook.modalDialog = [](QDialog&) { return IDOK; };
    hook.messageBox = MessageBoxAnswers(IDNO).Hook();
    CScopedGuiTestHook scoped(hook);
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    RegisterTerminalTemplate();
    gMainApp.CWinApp::OnFileNew();
    gMainApp.CWinApp::OnFileNew();
    ASSERT_EQ(app.frame->GetChildFrames().size(), 2u);
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 1);
    // The second window is pointed at the default port's name too (its open fails: the first holds it).
    CDocument* second = app.frame->GetChildFrames().back()->GetActiveDocument();
    try {
        ViewOf(second)->m_commThread->SetParameters(9600, "COM9");
    } catch (const ECommError&) {
    }
    second->OnCloseDocument();
    ASSERT_EQ(app.frame->GetChildFrames().size(), 1u);
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 1);
    app.frame->CloseAllDocuments();
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 0);
}

TEST(DefaultPort, NewConnectionMarksTheDefaultPortOnlyWhenAWindowHoldsIt) {
    DialogPortDirectory ports({8, 9});
    PreferencesFromIni ini("[COM]\nPort=COM9\nBaudRate=9600\n[TERM]\nAutoSaveFrequency=0\n");
    const std::string backup = gMainApp.m_PrefApp->m_defaultBackupPath;
    ASSERT_FALSE(backup.empty());
    std::ofstream(backup) << "earlier text\r\n";
    GuiTestHook hook;
    hook.modalDialog = [](QDialog&) { return IDOK; };
    hook.messageBox = MessageBoxAnswers(IDNO).Hook();
    CScopedGuiTestHook scoped(hook);
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    RegisterTerminalTemplate();
    // The default port's window, then the backup file opened in a window that had to ask for its port.
    gMainApp.CWinApp::OnFileNew();
    ASSERT_NE(gMainApp.OpenDocumentFile(backup.c_str()), nullptr);
    ASSERT_EQ(app.frame->GetChildFrames().size(), 2u);
    CDocument* first = app.frame->GetChildFrames().front()->GetActiveDocument();
    first->OnCloseDocument();
    ASSERT_FALSE(AWindowIsOn(app.frame, "COM9"));
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 0);

    // Command 201 finds the backup file open elsewhere: a new window takes the default port.
    gMainApp.OnFileNew();
    EXPECT_EQ(app.frame->GetChildFrames().size(), 2u);
    EXPECT_TRUE(AWindowIsOn(app.frame, "COM9"));
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 1);
    app.frame->CloseAllDocuments();
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 0);
    std::remove(backup.c_str());
}
