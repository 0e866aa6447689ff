#include "MainFrameTestSupport.h"

#include "app/resource.h"
#include "framework/core/CmdUI.h"
#include "view/CommView.h"

#include <QAction>
#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

CString Pane(CMainFrame* frame, UINT id) {
    return frame->m_statusBar.GetPaneText(frame->m_statusBar.CommandToIndex(id));
}

int PaneWidth(CMainFrame* frame, UINT id) {
    UINT nID = 0;
    UINT style = 0;
    int width = -1;
    frame->m_statusBar.GetPaneInfo(frame->m_statusBar.CommandToIndex(id), nID, style, width);
    return width;
}

} // namespace

TEST(MainFrame, StatusBarWithoutWindowShowsReadyEmptyPanesAndTheClock) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    gMainApp.OnIdle(0);
    CStatusBar& bar = app.frame->m_statusBar;
    ASSERT_EQ(bar.GetCount(), 7);
    const UINT order[] = {ID_SEPARATOR,        ID_INDICATOR_PORT, ID_INDICATOR_BAUD, ID_INDICATOR_DATA,
                          ID_INDICATOR_PARITY, ID_INDICATOR_STOP, ID_INDICATOR_CLOCK};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(bar.GetItemID(i), order[i]) << "pane " << i;
    EXPECT_EQ(bar.GetPaneText(0), "Ready");
    for (UINT id :
         {ID_INDICATOR_PORT, ID_INDICATOR_BAUD, ID_INDICATOR_DATA, ID_INDICATOR_PARITY, ID_INDICATOR_STOP}) {
        EXPECT_EQ(Pane(app.frame, id), "") << id;
        EXPECT_EQ(PaneWidth(app.frame, id), 0) << id;
    }
    const QString clock = QString::fromStdString(Pane(app.frame, ID_INDICATOR_CLOCK));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ \\d{1,2}:\\d\\d:\\d\\d$")).match(clock).hasMatch())
        << clock.toStdString();
    EXPECT_EQ(PaneWidth(app.frame, ID_INDICATOR_CLOCK), bar.GetTextWidth(clock.toStdString()));
    EXPECT_TRUE(app.frame->HasTimer(CLOCK_TIMER_ID));
    EXPECT_EQ(app.frame->GetTimerPeriod(CLOCK_TIMER_ID), 1000u);
}

TEST(MainFrame, PaneIsExactlyAsWideAsItsText) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    app.frame->UpdateStatusBar(ID_INDICATOR_BAUD, "115200 baud");
    EXPECT_EQ(Pane(app.frame, ID_INDICATOR_BAUD), "115200 baud");
    const int wide = PaneWidth(app.frame, ID_INDICATOR_BAUD);
    EXPECT_EQ(wide, app.frame->m_statusBar.GetTextWidth("115200 baud"));
    EXPECT_GT(wide, 0);
    app.frame->UpdateStatusBar(ID_INDICATOR_BAUD, "");
    EXPECT_EQ(PaneWidth(app.frame, ID_INDICATOR_BAUD), 0);
    EXPECT_FALSE(
        app.frame->m_statusBar.GetPaneLabel(app.frame->m_statusBar.CommandToIndex(ID_INDICATOR_BAUD))
            ->isVisibleTo(app.frame->m_statusBar.GetWidget()));
}

TEST(MainFrame, ToolBarHasElevenSlotsWithTheirCommandsAndImages) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    CToolBar& bar = app.frame->m_toolBar;
    EXPECT_EQ(bar.GetImageCount(), 9);
    EXPECT_EQ(bar.GetImage(8).size(), QSize(16, 15));
    struct Expected {
        UINT id;
        UINT style;
        int image;
    };
    const Expected expected[] = {{201, TBBS_BUTTON, 0},  {57604, TBBS_BUTTON, 1}, {204, TBBS_BUTTON, 2},
                                 {202, TBBS_BUTTON, 7},  {0, TBBS_SEPARATOR, 8},  {57634, TBBS_BUTTON, 3},
                                 {205, TBBS_BUTTON, 4},  {0, TBBS_SEPARATOR, 8},  {57607, TBBS_BUTTON, 5},
                                 {0, TBBS_SEPARATOR, 8}, {57664, TBBS_BUTTON, 6}};
    ASSERT_EQ(bar.GetCount(), 11);
    for (int i = 0; i < 11; ++i) {
        UINT id = 0;
        UINT style = 0;
        int image = 0;
        bar.GetButtonInfo(i, id, style, image);
        EXPECT_EQ(id, expected[i].id) << "slot " << i;
        EXPECT_EQ(style, expected[i].style) << "slot " << i;
        EXPECT_EQ(image, expected[i].image) << "slot " << i;
    }
    EXPECT_EQ(bar.GetButtonAction(0)->toolTip(), QStringLiteral("Connect"));
    EXPECT_EQ(bar.GetButtonAction(0)->statusTip(), QStringLiteral("Etablish a new connection"));
    EXPECT_EQ(bar.GetButtonAction(10)->toolTip(), QStringLiteral("About"));
}

TEST(MainFrame, WithoutWindowOnlyFrameAndApplicationCommandsAreEnabled) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    gMainApp.OnIdle(0);
    CToolBar& bar = app.frame->m_toolBar;
    // Clear, freeze, save as, serial settings, copy and print need a terminal window.
    for (int slot : {1, 2, 3, 5, 6, 8})
        EXPECT_FALSE(bar.GetButtonAction(slot)->isEnabled()) << "slot " << slot;
    // The freeze button keeps its image while no window is active.
    UINT id = 0;
    UINT style = 0;
    int image = 0;
    bar.GetButtonInfo(3, id, style, image);
    EXPECT_EQ(image, 7);
}

TEST(MainFrame, StatusBarToggleHidesAndShowsTheBarAndChecksTheItem) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    CCmdUI item(ID_VIEW_STATUS_BAR);
    item.DoUpdate(app.frame, TRUE);
    EXPECT_EQ(item.m_nCheck, 1);
    app.frame->OnCmdMsg(ID_VIEW_STATUS_BAR, CN_COMMAND, nullptr, FALSE);
    EXPECT_TRUE(app.frame->m_statusBar.GetWidget()->isHidden());
    item.DoUpdate(app.frame, TRUE);
    EXPECT_EQ(item.m_nCheck, 0);
    EXPECT_TRUE(item.m_bEnabled);
    // The clock still runs on the hidden bar.
    app.frame->m_statusBar.SetPaneText(app.frame->m_statusBar.CommandToIndex(ID_INDICATOR_CLOCK), "");
    CMainFrame::UpdateTime(app.frame->GetSafeHwnd(), 0, CLOCK_TIMER_ID, 0);
    EXPECT_NE(Pane(app.frame, ID_INDICATOR_CLOCK), "");
    app.frame->OnCmdMsg(ID_VIEW_STATUS_BAR, CN_COMMAND, nullptr, FALSE);
    EXPECT_FALSE(app.frame->m_statusBar.GetWidget()->isHidden());
}

TEST(MainFrame, PromptShowsOverTheMessagePaneUntilItEnds) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    gMainApp.OnIdle(0);
    app.frame->m_statusBar.ShowPrompt("Show or hide the status bar");
    gMainApp.OnIdle(0);
    EXPECT_EQ(app.frame->m_statusBar.GetPaneText(0), "Show or hide the status bar");
    app.frame->m_statusBar.ShowPrompt("");
    EXPECT_EQ(app.frame->m_statusBar.GetPaneText(0), "Ready");
}

TEST(MainFrame, ClosingStopsTheClockAndEndsTheMainWindow) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    app.frame->OnClose();
    EXPECT_EQ(gMainApp.m_pMainWnd, nullptr);
    app.frame = nullptr;
}
