// Saving and loading terminal documents, and automatic saving, with real windows and reception threads.
#include "CommViewTestSupport.h"

#include "app/main.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <sys/stat.h>

namespace {

std::string EveryByte() {
    std::string bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<char>(b));
    }
    return bytes;
}

} // namespace

TEST_F(TerminalWindowTest, SaveThenLoadKeepsEveryByteValue) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    view->SetWindowText(EveryByte());
    const CString path = m_dir.file("all.txt");
    ASSERT_TRUE(DocumentOf(view)->DoSave(path.c_str()));
    EXPECT_EQ(ReadWholeFile(path), EveryByte());
    EXPECT_EQ(DocumentOf(view)->GetTitle(), "all.txt");
    EXPECT_FALSE(DocumentOf(view)->IsModified());
    CloseWindow(view);

    CCommView* loaded = OpenFile(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(TextOf(loaded), EveryByte());
    EXPECT_EQ(DocumentOf(loaded)->GetPathName(), path);
}

TEST_F(TerminalWindowTest, SavingAnEmptyWindowWritesAnEmptyFile) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    const CString path = m_dir.file("empty.txt");
    WriteWholeFile(path, "previous content");
    ASSERT_TRUE(DocumentOf(view)->DoSave(path.c_str()));
    EXPECT_EQ(ReadWholeFile(path), "");
}

TEST_F(TerminalWindowTest, SaveAsProposesTheTitleWithTheTextExtension) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    DocumentOf(view)->SetTitle("KT_COM3");
    m_fileAnswer = m_dir.file("chosen");
    ASSERT_TRUE(m_frame->DispatchCommand(ID_FILE_SAVE_AS));
    ASSERT_EQ(m_proposedFiles.size(), 1u);
    CString extension;
    Template().GetDocString(extension, CDocTemplate::filterExt);
    EXPECT_EQ(m_proposedFiles.front(), "KT_COM3" + extension);
    EXPECT_FALSE(DocumentOf(view)->GetPathName().empty());
}

TEST_F(TerminalWindowTest, AFileAtTheTextLimitLoadsAndOneByteMoreIsRefused) {
    const CString fits = m_dir.file("fits.txt");
    WriteWholeFile(fits, std::string(1048575, 'x'));
    CCommView* view = OpenFile(fits);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(TextOf(view).size(), 1048575u);
    CloseWindow(view);

    const CString tooLong = m_dir.file("long.txt");
    WriteWholeFile(tooLong, std::string(1048576, 'x'));
    const size_t boxes = m_boxes.Texts().size();
    EXPECT_EQ(OpenFile(tooLong), nullptr);
    EXPECT_EQ(DocumentCount(), 0);
    EXPECT_EQ(m_boxes.Texts().size(), boxes + 1);
}

// A loaded text goes to the reception thread, which keeps its buffer loop: a file up to the loop is shown
// and saved again whole, a longer one is refused as a file too large for the window is, not cut.
TEST_F(TerminalWindowTest, AFileLongerThanTheBufferLoopIsRefusedNotCut) {
    gMainApp.m_PrefApp->m_available |= PREF_TERM_SETTING;
    gMainApp.m_PrefApp->m_termSetting = TermSettingRec{};
    gMainApp.m_PrefApp->m_termSetting.nbMaxiByte = kLargestBufferLoop;
    const size_t loop = kLargestBufferLoop * 1024u;
    std::string text(loop, 'x');
    text.front() = 'F';
    const CString fits = m_dir.file("fits.txt");
    WriteWholeFile(fits, text);
    CCommView* view = OpenFile(fits);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(TextOf(view), text);
    CString threadText;
    view->m_commThread->GetData(threadText);
    EXPECT_EQ(threadText.size(), loop);
    const CString copy = m_dir.file("copy.txt");
    ASSERT_TRUE(DocumentOf(view)->DoSave(copy.c_str()));
    EXPECT_EQ(ReadWholeFile(copy), text);
    CloseWindow(view);

    const CString longer = m_dir.file("longer.txt");
    WriteWholeFile(longer, text + "y");
    const size_t boxes = m_boxes.Texts().size();
    EXPECT_EQ(OpenFile(longer), nullptr);
    EXPECT_EQ(DocumentCount(), 0);
    ASSERT_EQ(m_boxes.Texts().size(), boxes + 1);
    EXPECT_EQ(ReadWholeFile(longer), text + "y");
}

TEST_F(TerminalWindowTest, LoadedTextGoesToTheReceptionThreadOnlyWithTerminalSettingsFromTheIni) {
    const CString path = m_dir.file("log.txt");
    WriteWholeFile(path, "loaded\r\n");

    CCommView* plain = OpenFile(path);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(TextOf(plain), "loaded\r\n");
    CString threadText;
    plain->m_commThread->GetData(threadText);
    EXPECT_EQ(threadText, "");
    m_device.Send("x");
    // The next update shows the thread's own text: the loaded text is gone.
    ASSERT_TRUE(WaitFor([&] { return TextOf(plain) == "x"; }));
    CloseWindow(plain);

    gMainApp.m_PrefApp->m_available |= PREF_TERM_SETTING;
    gMainApp.m_PrefApp->m_termSetting = TermSettingRec{};
    gMainApp.m_PrefApp->m_termSetting.nbMaxiByte = 1023;
    CCommView* kept = OpenFile(path);
    ASSERT_NE(kept, nullptr);
    kept->m_commThread->GetData(threadText);
    EXPECT_EQ(threadText, "loaded\r\n");
    EXPECT_EQ(DocumentOf(kept)->m_strData, "loaded\r\n");
    m_device.Send("y");
    ASSERT_TRUE(WaitFor([&] { return TextOf(kept) == "loaded\r\ny"; }));
}

TEST_F(TerminalWindowTest, AutoSaveDelayZeroSetsNoTimer) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->m_commThread->GetTermSetting().autoSaveDelay, 0u);
    EXPECT_FALSE(view->HasTimer(AUTOSAVE_TIMER_ID));
    EXPECT_TRUE(view->CreateAutoSaveTimer());
    EXPECT_FALSE(view->HasTimer(AUTOSAVE_TIMER_ID));
}

TEST_F(TerminalWindowTest, AutoSaveTickSavesOnlyAChangedDocument) {
    CPreference* preferences = gMainApp.m_PrefApp;
    preferences->m_available |= PREF_TERM_SETTING | PREF_AUTOSAVE;
    preferences->m_termSetting = TermSettingRec{};
    preferences->m_termSetting.nbMaxiByte = 1023;
    preferences->m_termSetting.autoSaveDelay = 60;
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetTimerPeriod(AUTOSAVE_TIMER_ID), 60000u);
    EXPECT_TRUE(m_proposedFiles.empty()); // the backup file is usable: no immediate save

    const CString path = m_dir.file("backup.txt");
    DocumentOf(view)->SetPathName(path.c_str());
    DocumentOf(view)->SetModifiedFlag(FALSE);
    CCommView::AutoSaveTimerProc(view->m_hWnd, WM_TIMER, AUTOSAVE_TIMER_ID, 0);
    struct stat info {};
    EXPECT_NE(::stat(path.c_str(), &info), 0); // unchanged: nothing written

    m_device.Send("changed");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "changed"; }));
    CCommView::AutoSaveTimerProc(view->m_hWnd, WM_TIMER, AUTOSAVE_TIMER_ID, 0);
    EXPECT_EQ(ReadWholeFile(path), "changed");
    EXPECT_FALSE(DocumentOf(view)->IsModified());
    EXPECT_TRUE(m_proposedFiles.empty());

    view->OnClose();
    EXPECT_FALSE(view->HasTimer(AUTOSAVE_TIMER_ID));
}

TEST_F(TerminalWindowTest, AutoSaveWithoutUsableBackupSavesAtOnceAskingForAName) {
    CPreference* preferences = gMainApp.m_PrefApp;
    preferences->m_available |= PREF_TERM_SETTING;
    preferences->m_termSetting = TermSettingRec{};
    preferences->m_termSetting.nbMaxiByte = 1023;
    preferences->m_termSetting.autoSaveDelay = 60;
    m_fileAnswer = m_dir.file("first.txt");
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    AfxPumpMessages();
    ASSERT_EQ(m_proposedFiles.size(), 1u);
    // The question comes once the window has its title, and proposes it.
    CString extension;
    Template().GetDocString(extension, CDocTemplate::filterExt);
    CString name;
    Template().GetDocString(name, CDocTemplate::docName);
    EXPECT_EQ(m_proposedFiles.front(), (name.empty() ? CString("Untitled") : name) +
                                           std::to_string(Template().m_nUntitledCount) + extension);
    EXPECT_EQ(DocumentOf(view)->GetPathName(), m_fileAnswer);
    EXPECT_EQ(ReadWholeFile(m_fileAnswer), "");
}

TEST_F(TerminalWindowTest, AutoSaveWithoutATimerLeavesTheWindowWorking) {
    gMainApp.m_PrefApp->m_available |= PREF_TERM_SETTING | PREF_AUTOSAVE;
    gMainApp.m_PrefApp->m_termSetting = TermSettingRec{};
    gMainApp.m_PrefApp->m_termSetting.autoSaveDelay = 5;
    AfxSetTimersFail(true);
    CCommView* view = OpenWindow();
    AfxSetTimersFail(false);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->HasTimer(AUTOSAVE_TIMER_ID));
    AfxSetTimersFail(true);
    EXPECT_FALSE(view->CreateAutoSaveTimer());
    AfxSetTimersFail(false);
    EXPECT_TRUE(view->CreateAutoSaveTimer());
    EXPECT_TRUE(view->HasTimer(AUTOSAVE_TIMER_ID));
}

// The device keeps sending while a file is loaded into its window: the loaded text comes first, then
// everything received, in arrival order, with nothing lost.
TEST_F(TerminalWindowTest, BytesReceivedWhileAFileLoadsFollowTheLoadedText) {
    gMainApp.m_PrefApp->m_available |= PREF_TERM_SETTING;
    gMainApp.m_PrefApp->m_termSetting = TermSettingRec{};
    gMainApp.m_PrefApp->m_termSetting.nbMaxiByte = 1023;
    const CString path = m_dir.file("backup.txt");
    WriteWholeFile(path, "loaded\r\n");
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    m_device.Send("during the load\r\n");
    CString threadText;
    ASSERT_TRUE(WaitFor([&] {
        view->m_commThread->GetData(threadText);
        return threadText == "during the load\r\n";
    }));
    ASSERT_TRUE(DocumentOf(view)->OnOpenDocument(path.c_str()));
    view->m_commThread->GetData(threadText);
    EXPECT_EQ(threadText, "loaded\r\nduring the load\r\n");
    m_device.Send("after");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "loaded\r\nduring the load\r\nafter"; }))
        << TextOf(view);
}

TEST_F(TerminalWindowTest, ALoadedTextAndWhatArrivedKeepWithinTheBufferLoop) {
    gMainApp.m_PrefApp->m_available |= PREF_TERM_SETTING;
    gMainApp.m_PrefApp->m_termSetting = TermSettingRec{};
    gMainApp.m_PrefApp->m_termSetting.nbMaxiByte = 1;
    const CString path = m_dir.file("backup.txt");
    WriteWholeFile(path, std::string(1000, 'o'));
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    m_device.Send(std::string(100, 'n'));
    CString threadText;
    ASSERT_TRUE(WaitFor([&] {
        view->m_commThread->GetData(threadText);
        return threadText.size() == 100u;
    }));
    ASSERT_TRUE(DocumentOf(view)->OnOpenDocument(path.c_str()));
    view->m_commThread->GetData(threadText);
    EXPECT_EQ(threadText, std::string(924, 'o') + std::string(100, 'n'));
}
