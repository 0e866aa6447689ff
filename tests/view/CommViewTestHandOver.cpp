// The terminal view takes from its reception thread only what changed: bytes the buffer loop cut at the
// front and bytes added at the end. Through many loops, a clear and a replaced text, the view and the
// document must hold exactly the thread's buffer.
#include "CommViewTestSupport.h"
#include "framework/gui/app/GuiServices.h"
#include "reception/CommThread.h"
#include "settings/SettingRec.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CString ThreadText(CCommView* view) {
    CString text;
    view->m_commThread->GetData(text);
    return text;
}

} // namespace

TEST_F(TerminalWindowTest, TheViewAndTheDocumentFollowTheLoopingBufferByteForByte) {
    // A 1 KB loop, so that most updates cut the front, sometimes between a CR and its LF.
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    TermSettingRec setting = view->m_commThread->GetTermSetting();
    setting.nbMaxiByte = 1;
    view->m_commThread->SetTermSetting(setting);
    std::string sent;
    for (int round = 0; round < 25; ++round) {
        std::string chunk;
        for (int i = 0; i < 1 + round % 7; ++i)
            chunk +=
                "round " + std::to_string(round) + " item " + std::to_string(i) + (i % 2 ? "\r\n" : "\r");
        chunk += std::string(static_cast<std::size_t>(round * 13 % 50), static_cast<char>(0x80 + round));
        sent += chunk;
        m_device.Send(chunk);
        const std::string expected = sent.size() > 1024 ? sent.substr(sent.size() - 1024) : sent;
        ASSERT_TRUE(WaitFor([&] { return TextOf(view) == expected; })) << "round " << round;
        EXPECT_EQ(ThreadText(view), expected);
        EXPECT_EQ(DocumentOf(view)->m_strData, expected) << "round " << round;
    }

    // Cleared, then new data: only the new data shows.
    view->m_commThread->ClearData();
    view->PostMessage(WM_COMM_DATA_READY, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return TextOf(view).empty(); }));
    m_device.Send("after clear");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "after clear"; }));
    EXPECT_EQ(DocumentOf(view)->m_strData, "after clear");

    // Text set on the view from outside (a loaded file) gives way to the thread's whole text at the next
    // update, as before.
    view->SetWindowText("loaded text");
    view->PostMessage(WM_COMM_DATA_READY, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "after clear"; }));
    view->m_commThread->SetData("replaced");
    m_device.Send("!");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "replaced!"; }));
    EXPECT_EQ(DocumentOf(view)->m_strData, "replaced!");
}
