// Terminal windows as they appear in the main window: where new ones open and how large, the two tilings,
// and the main window's caption while one is maximised.
#include "MainFrameTestSupport.h"

#include "framework/core/CmdUI.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/Menu.h"
#include "framework/gui/windows/TestHook.h"
#include "support/DialogPortDirectory.h"
#include "support/MessageBoxAnswers.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

namespace {

QRect GeometryOf(CMDIChildWnd* child) {
    return child->GetSubWindow()->geometry();
}

// The view inside a child frame shows at least 40 columns and a few lines of the fixed font.
void ExpectViewShowsEnoughText(CMDIChildWnd* child) {
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QSize view = child->GetActiveView()->GetWidget()->size();
    EXPECT_GE(view.width(), 40 * fixed.averageCharWidth()) << view.width();
    EXPECT_GE(view.height(), 4 * fixed.lineSpacing()) << view.height();
}

CString Caption(CWnd* window) {
    CString caption;
    window->GetWindowText(caption);
    return caption;
}

// A main frame with terminal windows on two pseudo-terminals: the first takes the INI's port, every other
// asks and takes what the dialog proposes.
class TerminalWindows : public ::testing::Test {
protected:
    TerminalWindows()
        : m_ports({8, 9}), m_ini("[COM]\nPort=COM9\nBaudRate=9600\n[TERM]\nAutoSaveFrequency=0\n") {
        GuiTestHook hook;
        hook.modalDialog = [](QDialog&) { return IDOK; };
        hook.messageBox = MessageBoxAnswers(IDNO).Hook();
        m_hook = std::make_unique<CScopedGuiTestHook>(hook);
        m_app = std::make_unique<MainFrameUnderTest>();
        RegisterTerminalTemplate();
    }
    ~TerminalWindows() override {
        if (frame() != nullptr)
            frame()->CloseAllDocuments();
        m_app.reset();
    }

    CMainFrame* frame() const { return m_app->frame; }
    QSize FreeArea() const { return frame()->GetMdiArea()->viewport()->size(); }
    void Settle() {
        gMainApp.OnIdle(0);
        AfxPumpMessages();
    }

private:
    DialogPortDirectory m_ports;
    PreferencesFromIni m_ini;
    std::unique_ptr<CScopedGuiTestHook> m_hook;
    std::unique_ptr<MainFrameUnderTest> m_app;
};

} // namespace

TEST_F(TerminalWindows, NewWindowsOpenCascadedAtThreeQuartersOfTheFreeArea) {
    ASSERT_NE(frame(), nullptr);
    // The first window comes before the main window shows, as at start-up.
    gMainApp.CWinApp::OnFileNew();
    frame()->GetWidget()->show();
    Settle();
    // The second comes from the framework's new document (as message 1027 does), the third from Ctrl+N.
    gMainApp.CWinApp::OnFileNew();
    Settle();
    ASSERT_TRUE(CFrameMenuBar::FromFrame(frame())->RunAccelerator(ID_FILE_NEW_CONNECTION));
    Settle();
    const std::vector<CMDIChildWnd*> children = frame()->GetChildFrames();
    ASSERT_EQ(children.size(), 3u);

    const QSize area = FreeArea();
    for (CMDIChildWnd* child : children) {
        const QRect place = GeometryOf(child);
        EXPECT_NEAR(place.width(), area.width() * 3 / 4, 2) << place.width() << " of " << area.width();
        EXPECT_NEAR(place.height(), area.height() * 3 / 4, 2) << place.height() << " of " << area.height();
        EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(place)) << place.x() << "," << place.y();
        ExpectViewShowsEnoughText(child);
    }
    // Each window opens one title bar further down and right, so every title stays in sight.
    const QPoint first = GeometryOf(children[0]).topLeft();
    const QPoint second = GeometryOf(children[1]).topLeft();
    const QPoint third = GeometryOf(children[2]).topLeft();
    EXPECT_EQ(first, QPoint(0, 0));
    EXPECT_GT(second.y() - first.y(), children[0]->GetSubWindow()->fontMetrics().height() - 1);
    EXPECT_EQ(second.x() - first.x(), second.y() - first.y());
    EXPECT_EQ(third - second, second - first);
}

TEST_F(TerminalWindows, WindowInASmallMainWindowStillShowsFortyColumnsAndSomeLines) {
    ASSERT_NE(frame(), nullptr);
    frame()->GetWidget()->resize(360, 260);
    frame()->GetWidget()->show();
    Settle();
    gMainApp.CWinApp::OnFileNew();
    Settle();
    ASSERT_EQ(frame()->GetChildFrames().size(), 1u);
    ExpectViewShowsEnoughText(frame()->GetChildFrames().front());
}

TEST_F(TerminalWindows, TileHorizontallyStacksTheWindowsAndTileVerticallyPutsThemSideBySide) {
    ASSERT_NE(frame(), nullptr);
    frame()->GetWidget()->show();
    gMainApp.CWinApp::OnFileNew();
    gMainApp.CWinApp::OnFileNew();
    Settle();
    const std::vector<CMDIChildWnd*> children = frame()->GetChildFrames();
    ASSERT_EQ(children.size(), 2u);
    const QSize area = FreeArea();

    frame()->OnCmdMsg(ID_WINDOW_TILE_HORZ, CN_COMMAND, nullptr, FALSE);
    Settle();
    QRect top = GeometryOf(children[0]);
    QRect bottom = GeometryOf(children[1]);
    EXPECT_EQ(top, QRect(0, 0, area.width(), area.height() / 2));
    EXPECT_EQ(bottom, QRect(0, area.height() / 2, area.width(), area.height() - area.height() / 2));

    frame()->OnCmdMsg(ID_WINDOW_TILE_VERT, CN_COMMAND, nullptr, FALSE);
    Settle();
    const QRect left = GeometryOf(children[0]);
    const QRect right = GeometryOf(children[1]);
    EXPECT_EQ(left, QRect(0, 0, area.width() / 2, area.height()));
    EXPECT_EQ(right, QRect(area.width() / 2, 0, area.width() - area.width() / 2, area.height()));

    // A maximised window is restored to take its tile.
    children[1]->MDIMaximize();
    Settle();
    frame()->OnCmdMsg(ID_WINDOW_TILE_HORZ, CN_COMMAND, nullptr, FALSE);
    Settle();
    EXPECT_FALSE(children[1]->GetSubWindow()->isMaximized());
    EXPECT_EQ(GeometryOf(children[0]), QRect(0, 0, area.width(), area.height() / 2));
    EXPECT_EQ(GeometryOf(children[1]).top(), area.height() / 2);
}

TEST_F(TerminalWindows, MaximisedWindowShowsItsTitleOnceInTheMainCaption) {
    ASSERT_NE(frame(), nullptr);
    frame()->GetWidget()->show();
    gMainApp.CWinApp::OnFileNew();
    Settle();
    ASSERT_EQ(frame()->GetChildFrames().size(), 1u);
    CMDIChildWnd* first = frame()->GetChildFrames().front();
    const CString title = Caption(first);
    ASSERT_FALSE(title.empty());
    EXPECT_EQ(Caption(frame()), "Kestrune - " + title);

    first->MDIMaximize();
    Settle();
    EXPECT_EQ(Caption(frame()), "Kestrune - [" + title + "]");

    // A window opened while one is maximised opens maximised and takes the caption.
    gMainApp.CWinApp::OnFileNew();
    Settle();
    ASSERT_EQ(frame()->GetChildFrames().size(), 2u);
    CMDIChildWnd* second = frame()->GetChildFrames().back();
    const CString secondTitle = Caption(second);
    EXPECT_EQ(Caption(frame()), "Kestrune - [" + secondTitle + "]");

    second->GetSubWindow()->showNormal();
    Settle();
    EXPECT_EQ(Caption(frame()), "Kestrune - " + secondTitle);
}

TEST_F(TerminalWindows, ClockRunsOnWhenTheUserCancelsTheExitQuestion) {
    ASSERT_NE(frame(), nullptr);
    gMainApp.CWinApp::OnFileNew();
    ASSERT_EQ(frame()->GetChildFrames().size(), 1u);
    frame()->GetChildFrames().front()->GetActiveDocument()->SetModifiedFlag(TRUE);
    GuiTestHook cancel;
    cancel.messageBox = MessageBoxAnswers(IDCANCEL).Hook();
    {
        CScopedGuiTestHook scoped(cancel);
        gMainApp.OnAppExit();
    }
    ASSERT_EQ(gMainApp.m_pMainWnd, frame());
    EXPECT_EQ(frame()->GetChildFrames().size(), 1u);
    EXPECT_TRUE(frame()->HasTimer(CLOCK_TIMER_ID));
    EXPECT_EQ(frame()->GetTimerPeriod(CLOCK_TIMER_ID), 1000u);
    frame()->GetChildFrames().front()->GetActiveDocument()->SetModifiedFlag(FALSE);
}
