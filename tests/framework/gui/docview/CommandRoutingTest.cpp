// Commands go to the active view, its document, the child frame, the main frame and the application, in
// that order; the first handler wins; an update handler that leaves the enabled state alone lets the
// presence of a command handler decide.
#include "framework/core/CmdUI.h"
#include "framework/core/WinApp.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/docview/View.h"
#include "support/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string calls;

class RoutedView : public CView {
public:
    RoutedView() {
        AddCommandHandler(1, [] { calls += "view1 "; });
        AddCommandHandler(9, [] { calls += "view9 "; });
    }
};

class RoutedDocument : public CDocument {
public:
    RoutedDocument() {
        AddCommandHandler(1, [] { calls += "doc1 "; });
        AddCommandHandler(2, [] { calls += "doc2 "; });
    }
};

class RoutedChild : public CMDIChildWnd {
public:
    RoutedChild() {
        AddCommandHandler(2, [] { calls += "child2 "; });
        AddCommandHandler(3, [] { calls += "child3 "; });
    }
};

class RoutedFrame : public CMDIFrameWnd {
public:
    RoutedFrame() {
        AddCommandHandler(3, [] { calls += "frame3 "; });
        AddCommandHandler(4, [] { calls += "frame4 "; });
        // An update handler that only sets a check mark: enabled state follows the handlers.
        AddUpdateHandler(9, [](CCmdUI* ui) { ui->SetCheck(1); });
        AddUpdateHandler(10, [](CCmdUI* ui) { ui->SetCheck(1); });
    }
};

class CommandRouting : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureDialogTestApplication();
        // These tests need an application object at the end of the route; the program has none linked.
        static CWinApp* application = AfxGetApp() != nullptr ? AfxGetApp() : new CWinApp("framework tests");
        (void)application;
        m_previousMain = AfxGetApp()->m_pMainWnd;
        calls.clear();
        m_frame = new RoutedFrame;
        ASSERT_TRUE(m_frame->LoadFrame(0));
        AfxGetApp()->m_pMainWnd = m_frame;
        m_template = std::make_unique<CMultiDocTemplate>(
            0, [] { return static_cast<CDocument*>(new RoutedDocument); },
            [] { return static_cast<CFrameWnd*>(new RoutedChild); },
            [] { return static_cast<CView*>(new RoutedView); });
    }
    void TearDown() override {
        m_frame->CloseAllDocuments();
        for (CDocument* document : std::vector<CDocument*>(m_template->GetDocuments()))
            document->OnCloseDocument();
        AfxGetApp()->m_pMainWnd = nullptr;
        m_frame->DestroyWindow();
        AfxGetApp()->m_pMainWnd = m_previousMain;
        AfxPumpMessages();
    }
    RoutedFrame* m_frame = nullptr;
    std::unique_ptr<CMultiDocTemplate> m_template;
    CWnd* m_previousMain = nullptr;
};

} // namespace

TEST_F(CommandRouting, FirstHandlerOnTheRouteWins) {
    ASSERT_NE(m_template->OpenDocumentFile(nullptr), nullptr);
    for (UINT id = 1; id <= 4; ++id)
        EXPECT_TRUE(m_frame->DispatchCommand(id));
    EXPECT_EQ(calls, "view1 doc2 child3 frame4 ");
}

TEST_F(CommandRouting, WithoutAWindowOnlyTheFrameAndTheApplicationAreAsked) {
    EXPECT_FALSE(m_frame->DispatchCommand(1));
    EXPECT_FALSE(m_frame->DispatchCommand(2));
    EXPECT_TRUE(m_frame->DispatchCommand(3));
    EXPECT_EQ(calls, "frame3 ");
}

TEST_F(CommandRouting, UpdateEnablesExactlyWhenAHandlerCanBeReached) {
    CCmdUI noWindow(9);
    noWindow.DoUpdate(m_frame, TRUE);
    EXPECT_FALSE(noWindow.m_bEnabled);
    EXPECT_EQ(noWindow.m_nCheck, 1);

    ASSERT_NE(m_template->OpenDocumentFile(nullptr), nullptr);
    CCmdUI withWindow(9);
    withWindow.DoUpdate(m_frame, TRUE);
    EXPECT_TRUE(withWindow.m_bEnabled);

    CCmdUI nobody(10);
    nobody.DoUpdate(m_frame, TRUE);
    EXPECT_FALSE(nobody.m_bEnabled);
    EXPECT_TRUE(calls.empty()); // probing runs no command
}

TEST_F(CommandRouting, ClosingTheWindowTakesItsHandlersOffTheRoute) {
    CDocument* document = m_template->OpenDocumentFile(nullptr);
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(m_frame->HasCommandHandler(1));
    document->GetFirstView()->GetParentFrame()->OnClose();
    AfxPumpMessages();
    EXPECT_FALSE(m_frame->HasCommandHandler(1));
    EXPECT_EQ(m_frame->MDIGetActive(), nullptr);
}
