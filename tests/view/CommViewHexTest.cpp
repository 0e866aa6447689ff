// A terminal window shown as a hex dump: offsets that stay true when the buffer loop cuts the front and
// start again after a clear, the start value from the preferences, the menu command with its check mark,
// and bytes that stay what was received whichever way they are shown.
#include "CommViewTestSupport.h"

#include "app/main.h"
#include "framework/core/CmdUI.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/textview/HexView.h"
#include "settings/Preference.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> LinesOf(const CString& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// 1500 bytes of every value in turn, so that each offset can be told from its byte.
std::string EveryByteValue(std::size_t count) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes += static_cast<char>(i & 0xFF);
    return bytes;
}

class HexWindowTest : public TerminalWindowTest {
protected:
    void SetUp() override {
        TerminalWindowTest::SetUp();
        CPreference* preferences = gMainApp.m_PrefApp;
        m_savedHex = preferences->m_bHexView;
        // A buffer loop of 1 KB and no shaping: what the device sends is what the window keeps.
        TermSettingRec& term = preferences->m_termSetting;
        term = TermSettingRec{};
        term.nbMaxiByte = 1;
        preferences->m_available |= PREF_TERM_SETTING;
    }
    void TearDown() override {
        gMainApp.m_PrefApp->m_bHexView = m_savedHex;
        TerminalWindowTest::TearDown();
    }
    bool m_savedHex = false;
};

} // namespace

TEST_F(HexWindowTest, OffsetsCountFromTheFirstByteThroughFrontCutsAndStartAgainAfterAClear) {
    gMainApp.m_PrefApp->m_bHexView = true;
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->IsHexView());
    const std::string sent = EveryByteValue(1500);
    m_device.Send(sent);
    ASSERT_TRUE(WaitFor([&] { return TextOf(view).size() == 1024; }));
    // The loop kept the last 1024 bytes: offsets 0x1dc to 0x5db.
    EXPECT_EQ(TextOf(view), sent.substr(1500 - 1024));
    std::vector<std::string> lines = LinesOf(view->GetShownText());
    ASSERT_EQ(lines.size(), 65u);
    EXPECT_EQ(lines.front(),
              "000001d0                                       dc dd de df  |            ....|");
    EXPECT_EQ(lines[1].substr(0, 60), "000001e0  e0 e1 e2 e3 e4 e5 e6 e7  e8 e9 ea eb ec ed ee ef  ");
    EXPECT_EQ(lines.back(), "000005d0  d0 d1 d2 d3 d4 d5 d6 d7  d8 d9 da db              |............|");

    m_boxes.SetAnswer(IDYES);
    view->OnClearScreen();
    AfxPumpMessages();
    EXPECT_EQ(view->GetShownText(), "");
    m_device.Send("new bytes");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "new bytes"; }));
    EXPECT_EQ(view->GetShownText(),
              "00000000  6e 65 77 20 62 79 74 65  73                       |new bytes|");
}

TEST_F(HexWindowTest, TheMenuCommandSwitchesOnlyTheActiveWindowAndNeverTheBytes) {
    CCommView* first = OpenWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->IsHexView());
    const char frame[] = "boot\r\n\x1b[0;32mI (10) ok\x1b[0m\r\n\x7e\x01\x03\0\x10\x02";
    const std::string sent(frame, sizeof frame - 1);
    m_device.Send(sent);
    ASSERT_TRUE(WaitFor([&] { return TextOf(first) == sent; }));

    CCmdUI before(ID_VIEW_HEX);
    before.DoUpdate(first, TRUE);
    EXPECT_TRUE(before.m_bEnabled);
    EXPECT_EQ(before.m_nCheck, 0);
    EXPECT_TRUE(m_frame->DispatchCommand(ID_VIEW_HEX));
    EXPECT_TRUE(first->IsHexView());
    CCmdUI after(ID_VIEW_HEX);
    after.DoUpdate(first, TRUE);
    EXPECT_EQ(after.m_nCheck, 1);
    EXPECT_EQ(TextOf(first), sent);
    EXPECT_EQ(DocumentOf(first)->m_strData, sent);
    EXPECT_EQ(LinesOf(first->GetShownText()).front(),
              "00000000  62 6f 6f 74 0d 0a 1b 5b  30 3b 33 32 6d 49 20 28  |boot...[0;32mI (|");
    // The selection goes along both ways, byte for byte.
    first->SetSel(6, 13);
    EXPECT_EQ(first->GetSelectedText(), "\x1b[0;32m");
    first->SetHexView(FALSE);
    EXPECT_EQ(first->GetSelectedText(), "\x1b[0;32m");
    first->SetHexView(TRUE);
    EXPECT_EQ(first->GetSelectedText(), "\x1b[0;32m");

    // Another window keeps its own choice. It takes the preference port again (busy: it says so in a box
    // and opens all the same), so that no settings dialog is needed.
    gMainApp.m_PrefApp->m_used = 0;
    CCommView* second = OpenWindow();
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->IsHexView());
    EXPECT_TRUE(first->IsHexView());
}
