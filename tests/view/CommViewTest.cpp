// Terminal windows on a pseudo-terminal: creation and the port they take, live updates, freeze, clear,
// font, titles and the lost-port caption. Each test runs a real reception thread.
#include "CommViewTestSupport.h"

#include "app/main.h"
#include "framework/core/LogFont.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/textview/TextView.h"
#include "framework/gui/windows/TestHook.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <QAction>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

bool Contains(const std::vector<CString>& texts, const CString& wanted) {
    return std::find(texts.begin(), texts.end(), wanted) != texts.end();
}

CString FailedToCreateText() {
    const char* text = AfxLoadString(61700);
    return text != nullptr ? text : "Failed to create empty document.";
}

} // namespace

TEST_F(TerminalWindowTest, FirstWindowTakesThePreferencePortTheNextAsksAndClosingFreesIt) {
    CCommView* first = OpenWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(m_dialogs, 0);
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 1);
    EXPECT_EQ(first->m_commThread->m_CommPort.GetCommPort(), m_device.path());
    EXPECT_TRUE(first->IsReadOnly());

    // The second window asks; cancelling leaves no window and the framework's creation message.
    EXPECT_EQ(OpenWindow(), nullptr);
    EXPECT_EQ(m_dialogs, 1);
    EXPECT_TRUE(Contains(m_boxes.Texts(), FailedToCreateText()));
    EXPECT_EQ(DocumentCount(), 1);

    CloseWindow(first);
    EXPECT_EQ(gMainApp.m_PrefApp->m_used, 0);
    CCommView* again = OpenWindow();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(m_dialogs, 1);
}

TEST_F(TerminalWindowTest, NewWindowsAreNumberedAndARefusedOneUsesNoNumber) {
    CString name;
    Template().GetDocString(name, CDocTemplate::docName);
    if (name.empty())
        name = "Untitled";
    const UINT before = Template().m_nUntitledCount;
    CCommView* first = OpenWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(DocumentOf(first)->GetTitle(), name + std::to_string(before + 1));
    EXPECT_EQ(OpenWindow(), nullptr); // asks, and is cancelled
    EXPECT_EQ(Template().m_nUntitledCount, before + 1);
}

TEST_F(TerminalWindowTest, ReceivedBytesShowAndAnUpdateReplacesTheSelectionByTheCaretAtTheEnd) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    m_device.Send(std::string("first line\r\nzero\0byte", 21));
    ASSERT_TRUE(WaitFor([&] { return TextOf(view).size() == 21; }));
    EXPECT_EQ(TextOf(view), std::string("first line\r\nzero\0byte", 21));
    EXPECT_EQ(DocumentOf(view)->m_strData, TextOf(view));
    EXPECT_TRUE(DocumentOf(view)->IsModified());

    view->SetSel(0, 5);
    m_device.Send("more");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view).size() == 25; }));
    int start = 0;
    int end = 0;
    view->GetSel(start, end);
    EXPECT_EQ(start, 25);
    EXPECT_EQ(end, 25);
}

TEST_F(TerminalWindowTest, EveryUpdateMarksTheDocumentModifiedEvenWithoutNewText) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    DocumentOf(view)->SetModifiedFlag(FALSE);
    view->PostMessage(WM_COMM_DATA_READY, 0, 0);
    AfxPumpMessages();
    EXPECT_TRUE(DocumentOf(view)->IsModified());
}

TEST_F(TerminalWindowTest, FreezeTwiceLogsFrozenThenUnfrozenAndTheMenuCheckFollows) {
    CPreference* preferences = gMainApp.m_PrefApp;
    preferences->m_logFilePath = m_dir.file("Kestrune.log");
    preferences->m_available |= PREF_LOG_FILE;
    preferences->m_logLevel = LEVELTWO;
    gMainApp.m_logEnable = gMainApp.SetLogFile();
    ASSERT_TRUE(gMainApp.m_logEnable);

    // A main menu whose "Setup" pop-up starts with the freeze item.
    auto* window = qobject_cast<QMainWindow*>(m_frame->GetWidget());
    auto* menuBar = new QMenuBar(window);
    window->setMenuBar(menuBar);
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&New"))->setData(201U);
    QMenu* setup = menuBar->addMenu(QStringLiteral("&Setup"));
    QAction* freeze = setup->addAction(QStringLiteral("Freeze &screen"));
    freeze->setData(static_cast<unsigned>(ID_SETUP_FREEZE_SCREEN));

    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->GetParentFrame()->HasCommandHandler(ID_SETUP_FREEZE_SCREEN));
    EXPECT_TRUE(m_frame->DispatchCommand(ID_SETUP_FREEZE_SCREEN));
    EXPECT_TRUE(view->m_commThread->m_Suspended);
    EXPECT_TRUE(freeze->isChecked());
    view->OnStopReception();
    EXPECT_FALSE(view->m_commThread->m_Suspended);
    EXPECT_FALSE(freeze->isChecked());

    const std::string log = ReadWholeFile(preferences->m_logFilePath);
    const auto frozen = log.find("The screen was 'freezed' by the user");
    const auto unfrozen = log.find("The screen was 'unfreezed' by the user");
    ASSERT_NE(frozen, std::string::npos);
    ASSERT_NE(unfrozen, std::string::npos);
    EXPECT_LT(frozen, unfrozen);
}

TEST_F(TerminalWindowTest, ClearScreenAsksAndOnlyYesEmptiesTheText) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    m_device.Send("old text");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "old text"; }));

    m_boxes.SetAnswer(IDNO);
    view->OnClearScreen();
    AfxPumpMessages();
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts().back(), "Do you really want to clear the screen ?");
    EXPECT_EQ(TextOf(view), "old text");

    m_boxes.SetAnswer(IDYES);
    DocumentOf(view)->SetModifiedFlag(FALSE);
    view->OnClearScreen();
    AfxPumpMessages();
    EXPECT_EQ(TextOf(view), "");
    EXPECT_EQ(DocumentOf(view)->m_strData, "");
    EXPECT_TRUE(DocumentOf(view)->IsModified());

    m_device.Send("new");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "new"; }));
}

TEST_F(TerminalWindowTest, ChosenFontAppliesToItsWindowOnly) {
    CCommView* first = OpenWindow();
    ASSERT_NE(first, nullptr);
    gMainApp.m_PrefApp->m_used = 0;
    CCommView* second = OpenWindow(); // the port is busy, but the window opens
    ASSERT_NE(second, nullptr);
    const QFont before = second->GetEditCtrl()->font();

    CScopedGuiTestHook fonts([&] {
        GuiTestHook hook = *AfxGetGuiTestHook();
        hook.fontDialog = [](LOGFONTA& font) {
            font.lfHeight = -23;
            return TRUE;
        };
        return hook;
    }());
    first->OnSetViewFont();
    EXPECT_EQ(first->GetEditCtrl()->font().pixelSize(), 23);
    EXPECT_EQ(second->GetEditCtrl()->font(), before);
}

TEST_F(TerminalWindowTest, AFontChosenLargerThanAScreenShowsIsBroughtDownTo512Points) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    CScopedGuiTestHook fonts([&] {
        GuiTestHook hook = *AfxGetGuiTestHook();
        hook.fontDialog = [](LOGFONTA& font) {
            font.lfHeight = -40000;
            return TRUE;
        };
        return hook;
    }());
    view->OnSetViewFont();
    const double largest = QGuiApplication::primaryScreen()->logicalDotsPerInchY() * 512 / 72;
    EXPECT_NEAR(view->GetEditCtrl()->font().pixelSize(), largest, 1);
}

TEST_F(TerminalWindowTest, TitleMessageRenamesTheDocument) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    view->PostMessage(WM_MSG_CHANGE_DOC_TITLE, reinterpret_cast<WPARAM>(new CString("KT_COM3")), 0);
    AfxPumpMessages();
    EXPECT_EQ(DocumentOf(view)->GetTitle(), "KT_COM3");
    CString caption;
    view->GetParentFrame()->GetWindowText(caption);
    EXPECT_EQ(caption, "KT_COM3");
}

TEST_F(TerminalWindowTest, LostPortIsToldInTheCaptionAndTheTextStays) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    m_device.Send("kept");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "kept"; }));
    const size_t boxes = m_boxes.Texts().size();
    view->PostMessage(WM_COMM_PORT_STATE, PORT_LOST, 0);
    AfxPumpMessages();
    CString caption;
    view->GetParentFrame()->GetWindowText(caption);
    EXPECT_NE(caption.find(view->GetPortStateText()), CString::npos);
    EXPECT_FALSE(view->GetPortStateText().empty());
    EXPECT_EQ(m_boxes.Texts().size(), boxes);
    EXPECT_EQ(TextOf(view), "kept");
    view->PostMessage(WM_COMM_PORT_STATE, PORT_BACK, 0);
    AfxPumpMessages();
    view->GetParentFrame()->GetWindowText(caption);
    EXPECT_EQ(caption, DocumentOf(view)->GetTitle());
}

TEST_F(TerminalWindowTest, CommandsOfTheViewAreDisabledWithoutAWindow) {
    EXPECT_FALSE(m_frame->HasCommandHandler(ID_SETUP_FREEZE_SCREEN));
    EXPECT_FALSE(m_frame->HasCommandHandler(ID_EDIT_CLEAR_SCREEN));
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(m_frame->HasCommandHandler(ID_EDIT_CLEAR_SCREEN));
    EXPECT_TRUE(m_frame->HasCommandHandler(ID_FILE_SAVE_AS));
}
