// A terminal window's reading of its bytes: the start from the preferences, the View menu's commands and
// their check marks, per window, and the bytes kept whatever is shown.
#include "CommViewTestSupport.h"

#include "app/main.h"
#include "framework/core/CmdUI.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/textview/TextView.h"
#include "settings/Preference.h"
#include "view/CommView.h"

#include <QString>

namespace {

// The check mark the View menu gives a command while the frame's active window is asked.
int CheckOf(CMDIFrameWnd* frame, UINT id) {
    CCmdUI item(id);
    item.DoUpdate(frame, TRUE);
    return item.m_nCheck;
}

} // namespace

TEST_F(TerminalWindowTest, TheReadingStartsFromThePreferencesAndTheViewMenuChangesIt) {
    ViewReadingRec& preferred = gMainApp.m_PrefApp->m_viewReading;
    const ViewReadingRec saved = preferred;
    preferred.utf8 = false;
    preferred.escapes = ViewReadingRec::kHide;
    CCommView* view = OpenWindow();
    preferred = saved;
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetCharacterSet(), CharacterSet::Windows1252);
    EXPECT_EQ(view->GetEscapeSequences(), EscapeSequences::Hide);
    EXPECT_EQ(CheckOf(m_frame, ID_VIEW_CHARSET_WINDOWS1252), 1);
    EXPECT_EQ(CheckOf(m_frame, ID_VIEW_CHARSET_UTF8), 0);
    EXPECT_EQ(CheckOf(m_frame, ID_VIEW_ESCAPES_HIDE), 1);

    m_device.Send("\x1b[32m23 \xC2\xB0"
                  "C\x1b[0m\r\n");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view).find('\n') != CString::npos; }));
    EXPECT_EQ(view->GetEditCtrl()->LineText(0), QString::fromUtf8("23 \xC3\x82\xC2\xB0"
                                                                  "C"));

    EXPECT_TRUE(m_frame->DispatchCommand(ID_VIEW_CHARSET_UTF8));
    EXPECT_TRUE(m_frame->DispatchCommand(ID_VIEW_ESCAPES_COLOURS));
    EXPECT_EQ(CheckOf(m_frame, ID_VIEW_CHARSET_UTF8), 1);
    EXPECT_EQ(CheckOf(m_frame, ID_VIEW_CHARSET_WINDOWS1252), 0);
    EXPECT_EQ(CheckOf(m_frame, ID_VIEW_ESCAPES_COLOURS), 1);
    EXPECT_EQ(CheckOf(m_frame, ID_VIEW_ESCAPES_HIDE), 0);
    EXPECT_EQ(view->GetEditCtrl()->LineText(0), QString::fromUtf8("23 \xC2\xB0"
                                                                  "C"));
    EXPECT_EQ(view->GetShownText(), "23 \xC2\xB0"
                                    "C\n");

    // What the window keeps is the bytes, whatever it shows.
    EXPECT_EQ(TextOf(view).substr(0, 15), "\x1b[32m23 \xC2\xB0"
                                          "C\x1b[0m");
}
