// Boxes posted by the program: shown from the event loop after the code that posted them has returned,
// one at a time in the order posted, also when one is posted from another thread or while another is open.
#include "support/DialogTestSupport.h"

#include "framework/core/MessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

class PostedMessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureDialogTestApplication();
        AfxPumpMessages();
        GuiTestHook hook;
        hook.messageBox = [this](const CString& text, UINT type) {
            m_shown.push_back(text);
            m_types.push_back(type);
            ++m_open;
            m_mostOpen = std::max(m_mostOpen, m_open);
            if (m_whileOpen) {
                auto whileOpen = std::move(m_whileOpen);
                whileOpen();
            }
            // The user reads the box; the event loop runs meanwhile, as inside a real box.
            RunEventLoopFor(100);
            --m_open;
            return IDOK;
        };
        m_hook = std::make_unique<CScopedGuiTestHook>(std::move(hook));
    }

    std::vector<CString> m_shown;
    std::vector<UINT> m_types;
    int m_open = 0;
    int m_mostOpen = 0;
    // Runs once, inside the next box shown.
    std::function<void()> m_whileOpen;

private:
    std::unique_ptr<CScopedGuiTestHook> m_hook;
};

} // namespace

TEST_F(PostedMessageBoxTest, PostedBoxesWaitForTheEventLoopAndShowOneAtATimeInOrder) {
    AfxPostMessageBox("first", MB_OK | MB_ICONSTOP);
    AfxPostMessageBox("second");
    // Inside the first box the program posts a third: it waits behind the second.
    m_whileOpen = [] { AfxPostMessageBox("third"); };
    EXPECT_TRUE(m_shown.empty());

    AfxPumpMessages();
    EXPECT_EQ(m_shown, (std::vector<CString>{"first", "second", "third"}));
    EXPECT_EQ(m_types[0], MB_OK | MB_ICONSTOP);
    EXPECT_EQ(m_mostOpen, 1);
}

TEST_F(PostedMessageBoxTest, BoxesFromAnotherThreadJoinTheQueueWhileOneIsOpen) {
    AfxPostMessageBox("posted here");
    m_whileOpen = [] {
        std::thread worker([] {
            AfxMessageBox("from a worker");
            AfxPostMessageBox("posted by a worker");
        });
        worker.join();
    };
    AfxPumpMessages();
    EXPECT_EQ(m_shown, (std::vector<CString>{"posted here", "from a worker", "posted by a worker"}));
    EXPECT_EQ(m_mostOpen, 1);
}

TEST_F(PostedMessageBoxTest, ABoxTheUserAskedForStillOpensAtOnce) {
    AfxPostMessageBox("posted");
    EXPECT_EQ(AfxMessageBox("asked", MB_YESNO), IDOK);
    AfxPumpMessages();
    EXPECT_EQ(m_shown, (std::vector<CString>{"asked", "posted"}));
}
