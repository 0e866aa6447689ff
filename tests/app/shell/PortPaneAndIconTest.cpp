#include "MainFrameTestSupport.h"

#include "app/AboutDlg.h"
#include "app/MDICommChild.h"
#include "app/resource.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/windows/TestHook.h"
#include "settings/Preference.h"
#include "support/DialogPortDirectory.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempDir.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>

#include <fstream>

#include <gtest/gtest.h>

// A terminal window on the simulated kind of port (a pseudo-terminal linked as COM9): the status bar's
// port pane keeps the COM name as its text and tells in its tool tip what the port is.
TEST(PortPaneTip, PortPaneToolTipSaysWhatTheActiveWindowsPortIs) {
    DialogPortDirectory ports({9});
    TempDir dir;
    std::ofstream(dir.file("Kestrune.ini")) << "[COM]\nPort=COM9\n[TERM]\nAutoSaveFrequency=0\n";
    CPreference* saved = gMainApp.m_PrefApp;
    gMainApp.m_PrefApp = new CPreference(dir.file("Kestrune.ini"));
    GuiTestHook hook;
    hook.modalDialog = [](QDialog&) { return IDCANCEL; };
    hook.messageBox = MessageBoxAnswers(IDYES).Hook();
    CScopedGuiTestHook scoped(hook);
    {
        MainFrameUnderTest app;
        ASSERT_NE(app.frame, nullptr);
        if (gMainApp.GetDocTemplates().empty())
            gMainApp.AddDocTemplate(std::make_shared<CMultiDocTemplate>(
                IDR_TEXTTYPE, []() -> CDocument* { return new CMainDoc; },
                []() -> CFrameWnd* { return new CMDICommChildWnd; },
                []() -> CView* { return new CCommView; }));
        gMainApp.CWinApp::OnFileNew();
        gMainApp.OnIdle(0);
        QLabel* pane =
            app.frame->m_statusBar.GetPaneLabel(app.frame->m_statusBar.CommandToIndex(ID_INDICATOR_PORT));
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(pane->text().toStdString(), "Port: COM9");
        const std::string tip = pane->toolTip().toStdString();
        EXPECT_EQ(tip.rfind("COM9: /dev/pts/", 0), 0u) << tip;
        EXPECT_NE(tip.find(": pseudo terminal (simulator)"), std::string::npos) << tip;
        // Closing the document takes its window with it; a window destroyed alone would leave the document.
        app.frame->CloseAllDocuments();
        gMainApp.OnIdle(0);
        EXPECT_EQ(pane->toolTip().toStdString(), "");
    }
    delete gMainApp.m_PrefApp;
    gMainApp.m_PrefApp = saved;
}

// The windows carry the icon the desktop shows for the program, at each size it is drawn in, and the About
// box shows it too.
TEST(ProgramIcon, WindowsAndTheAboutBoxShowTheProgramsOwnIcon) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    for (int size : {16, 32, 48, 64, 128, 256})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    QSize shown;
    GuiTestHook hook;
    hook.modalDialog = [&shown](QDialog& dialog) {
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull())
                shown = label->pixmap().size();
        }
        return IDOK;
    };
    CScopedGuiTestHook scoped(hook);
    CAboutDlg about;
    about.DoModal();
    EXPECT_EQ(shown, QSize(64, 64));
}
