#include "MainFrameTestSupport.h"

#include "app/resource.h"
#include "comm/comm.h"
#include "framework/core/CmdUI.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/Menu.h"
#include "framework/gui/windows/TestHook.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "support/DialogPortDirectory.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempDir.h"
#include "view/CommView.h"

#include "app/MDICommChild.h"
#include "framework/gui/docview/DocTemplate.h"
#include "view/MainDoc.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <cstdlib>

#include <gtest/gtest.h>

#include <fstream>

namespace {

CString Pane(CMainFrame* frame, UINT id) {
    return frame->m_statusBar.GetPaneText(frame->m_statusBar.CommandToIndex(id));
}

} // namespace

// A terminal window on a pseudo-terminal: the panes show its port, the tool bar its freeze state.
TEST(MainFrameLiveWindow, PanesAndFreezeButtonFollowTheActiveWindow) {
    DialogPortDirectory ports({9});
    PreferencesFromIni ini(
        "[COM]\nPort=COM9\nBaudRate=19200\nByteSize=7\nParity=2\nStopBit=2\n[TERM]\nAutoSaveFrequency=0\n");
    GuiTestHook hook;
    hook.modalDialog = [](QDialog&) { return IDCANCEL; };
    hook.messageBox = MessageBoxAnswers(IDYES).Hook();
    CScopedGuiTestHook scoped(hook);
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    RegisterTerminalTemplate();
    gMainApp.CWinApp::OnFileNew();
    ASSERT_EQ(app.frame->GetChildFrames().size(), 1u);
    gMainApp.OnIdle(0);
    EXPECT_EQ(Pane(app.frame, ID_INDICATOR_PORT), "Port: COM9");
    EXPECT_EQ(Pane(app.frame, ID_INDICATOR_BAUD), "19200 baud");
    // A pseudo-terminal keeps only some settings: the panes show what the port reports.
    TCommPort& port =
        dynamic_cast<CCommView*>(app.frame->MDIGetActive()->GetActiveView())->m_commThread->m_CommPort;
    EXPECT_EQ(Pane(app.frame, ID_INDICATOR_DATA), std::to_string(port.GetByteSize()) + " bit");
    const char* parityWords[] = {"none", "odd", "even"};
    if (port.GetParity() <= 2) {
        EXPECT_EQ(Pane(app.frame, ID_INDICATOR_PARITY), parityWords[port.GetParity()]);
    }
    const char* stopWords[] = {"Stop: 1 bit", "Stop: 1.5 bit", "Stop: 2 bit"};
    if (port.GetStopBits() <= 2) {
        EXPECT_EQ(Pane(app.frame, ID_INDICATOR_STOP), stopWords[port.GetStopBits()]);
    }
    EXPECT_EQ(app.frame->m_statusBar.GetPaneText(0), port.m_CommOpen ? "Connected" : "Deconnected");
    EXPECT_EQ(CFrameMenuBar::FromFrame(app.frame)->GetCurrentMenuId(), IDR_TEXTTYPE);

    auto* view = dynamic_cast<CCommView*>(app.frame->MDIGetActive()->GetActiveView());
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->m_commThread, nullptr);
    // Mark parity has no word of its own.
    view->m_commThread->m_CommPort.SetParity(3);
    gMainApp.OnIdle(0);
    if (view->m_commThread->m_CommPort.GetParity() == 3) {
        EXPECT_EQ(Pane(app.frame, ID_INDICATOR_PARITY), "");
    }

    app.frame->OnCmdMsg(ID_SETUP_FREEZE_SCREEN, CN_COMMAND, nullptr, FALSE);
    gMainApp.OnIdle(0);
    UINT id = 0;
    UINT style = 0;
    int image = 0;
    app.frame->m_toolBar.GetButtonInfo(3, id, style, image);
    EXPECT_EQ(image, view->m_commThread->m_Suspended ? 8 : 7);
    EXPECT_EQ(image, 8);
    app.frame->OnCmdMsg(ID_SETUP_FREEZE_SCREEN, CN_COMMAND, nullptr, FALSE);
    gMainApp.OnIdle(0);
    app.frame->m_toolBar.GetButtonInfo(3, id, style, image);
    EXPECT_EQ(image, 7);

    // An empty window cannot be cleared; Ctrl+S reaches the view's freeze command.
    EXPECT_FALSE(app.frame->m_toolBar.GetButtonAction(6)->isEnabled());
    EXPECT_TRUE(CFrameMenuBar::FromFrame(app.frame)->RunAccelerator(ID_SETUP_FREEZE_SCREEN));
    EXPECT_TRUE(CFrameMenuBar::FromFrame(app.frame)->RunAccelerator(ID_SETUP_FREEZE_SCREEN));

    app.frame->CloseAllDocuments();
    gMainApp.OnIdle(0);
    EXPECT_EQ(Pane(app.frame, ID_INDICATOR_PORT), "");
    EXPECT_EQ(app.frame->m_statusBar.GetPaneText(0), "Ready");
    EXPECT_EQ(CFrameMenuBar::FromFrame(app.frame)->GetCurrentMenuId(), IDR_MAINFRAME);
}

// Two terminal windows: the second asks for its port (the dialog's proposal is taken), both are listed in
// the Window menu with the active one checked, and tiling shows them side by side.
TEST(MainFrameLiveWindow, TwoWindowsAreListedAndTiled) {
    DialogPortDirectory ports({8, 9});
    PreferencesFromIni ini("[COM]\nPort=COM9\nBaudRate=9600\n[TERM]\nAutoSaveFrequency=0\n");
    int dialogs = 0;
    GuiTestHook hook;
    hook.modalDialog = [&dialogs](QDialog&) {
        ++dialogs;
        return IDOK;
    };
    hook.messageBox = MessageBoxAnswers(IDNO).Hook();
    CScopedGuiTestHook scoped(hook);
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    RegisterTerminalTemplate();
    app.frame->GetWidget()->show();
    gMainApp.CWinApp::OnFileNew();
    gMainApp.CWinApp::OnFileNew();
    ASSERT_EQ(app.frame->GetChildFrames().size(), 2u);
    EXPECT_EQ(dialogs, 1);
    app.frame->OnCmdMsg(ID_WINDOW_TILE_VERT, CN_COMMAND, nullptr, FALSE);
    gMainApp.OnIdle(0);
    AfxPumpMessages();

    CFrameMenuBar* menu = CFrameMenuBar::FromFrame(app.frame);
    QMenu* window = nullptr;
    for (QAction* action : menu->GetMenuBarWidget()->actions()) {
        if (action->text() == QStringLiteral("&Window"))
            window = action->menu();
    }
    ASSERT_NE(window, nullptr);
    menu->UpdatePopup(window);
    int listed = 0;
    int checked = 0;
    for (QAction* action : window->actions()) {
        if (action->text().startsWith(QStringLiteral("&1 ")) ||
            action->text().startsWith(QStringLiteral("&2 "))) {
            ++listed;
            checked += action->isChecked() ? 1 : 0;
        }
    }
    EXPECT_EQ(listed, 2);
    EXPECT_EQ(checked, 1);
    if (const char* dir = std::getenv("KESTRUNE_SCREENSHOT_DIR"))
        app.frame->GetWidget()->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/two-windows.png"));
    app.frame->CloseAllDocuments();
}
