#include "MainFrameTestSupport.h"

#include "app/MainAppShell.h"
#include "app/resource.h"
#include "framework/core/CmdUI.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/docview/CommandLineInfo.h"
#include "framework/gui/docview/Menu.h"
#include "framework/gui/windows/TestHook.h"
#include "settings/Preference.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(MainAppShell, CommandLineGivesTheStandardShellCommands) {
    struct Case {
        std::vector<CString> arguments;
        int command;
        CString file;
    };
    const Case cases[] = {
        {{}, CCommandLineInfo::FileNew, ""},
        {{"capture.txt"}, CCommandLineInfo::FileOpen, "capture.txt"},
        {{"/p", "capture.txt"}, CCommandLineInfo::FilePrint, "capture.txt"},
        {{"-P", "capture.txt"}, CCommandLineInfo::FilePrint, "capture.txt"},
        {{"/dde"}, CCommandLineInfo::FileDDE, ""},
        {{"/Embedding"}, CCommandLineInfo::FileNothing, ""},
        {{"/unregserver"}, CCommandLineInfo::AppUnregister, ""},
        {{"-"}, CCommandLineInfo::FileOpen, "-"},
        // A path that begins with "/" is a file, and so is anything that is not one of the switches.
        {{"/home/me/capture.txt"}, CCommandLineInfo::FileOpen, "/home/me/capture.txt"},
        {{"/p"}, CCommandLineInfo::FilePrint, ""},
        {{"/P", "/home/me/capture.txt"}, CCommandLineInfo::FilePrint, "/home/me/capture.txt"},
        {{"-DDE"}, CCommandLineInfo::FileDDE, ""},
        {{"/AUTOMATION"}, CCommandLineInfo::FileNothing, ""},
        {{"-Unregister"}, CCommandLineInfo::AppUnregister, ""},
        {{"/tmp"}, CCommandLineInfo::FileOpen, "/tmp"},
        {{"-log.txt"}, CCommandLineInfo::FileOpen, "-log.txt"},
        {{"/pages.txt"}, CCommandLineInfo::FileOpen, "/pages.txt"},
    };
    for (const Case& each : cases) {
        CWinApp::SetCommandLineArguments(each.arguments);
        CCommandLineInfo info;
        gMainApp.ParseCommandLine(info);
        EXPECT_EQ(info.m_nShellCommand, each.command) << (each.arguments.empty() ? "" : each.arguments[0]);
        EXPECT_EQ(info.m_strFileName, each.file);
    }
    CWinApp::SetCommandLineArguments({"/pt", "a.txt", "printer", "driver", "port"});
    CCommandLineInfo printTo;
    gMainApp.ParseCommandLine(printTo);
    EXPECT_EQ(printTo.m_nShellCommand, CCommandLineInfo::FilePrintTo);
    EXPECT_EQ(printTo.m_strPrinterName, "printer");
    EXPECT_EQ(printTo.m_strPortName, "port");
    CWinApp::SetCommandLineArguments({"-PT", "/srv/logs/a.txt", "/printers/lab"});
    CCommandLineInfo absolute;
    gMainApp.ParseCommandLine(absolute);
    EXPECT_EQ(absolute.m_nShellCommand, CCommandLineInfo::FilePrintTo);
    EXPECT_EQ(absolute.m_strFileName, "/srv/logs/a.txt");
    EXPECT_EQ(absolute.m_strPrinterName, "/printers/lab");
    CWinApp::SetCommandLineArguments({});
}

// Without an INI file (the test's folder has none) start-up uses the defaults, logs nothing, and the first
// window asks for its serial settings; cancelling leaves the main window without terminal windows.
TEST(MainAppShell, StartUpWithoutIniAsksForTheFirstWindowsSettings) {
    ASSERT_FALSE(std::filesystem::exists("Kestrune.ini"));
    InstallMainAppShell(gMainApp);
    MainFrameUnderTest guiReady; // the offscreen application; its own frame is not the one tested
    guiReady.frame->DestroyWindow();
    guiReady.frame = nullptr;

    int dialogs = 0;
    GuiTestHook hook;
    hook.modalDialog = [&dialogs](QDialog&) {
        ++dialogs;
        return IDCANCEL;
    };
    hook.messageBox = MessageBoxAnswers(IDOK).Hook();
    CScopedGuiTestHook scoped(hook);
    CWinApp::SetCommandLineArguments({});
    // Other tests of this program may have registered the template already; start-up adds its own.
    const size_t templatesBefore = gMainApp.GetDocTemplates().size();
    ASSERT_TRUE(gMainApp.InitInstance());
    auto* frame = dynamic_cast<CMainFrame*>(gMainApp.m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(gMainApp.m_logEnable);
    EXPECT_FALSE(std::filesystem::exists("Kestrune.log"));
    EXPECT_TRUE(frame->GetChildFrames().empty());
    EXPECT_EQ(gMainApp.GetDocTemplates().size(), templatesBefore + 1);
    CString caption;
    frame->GetWindowText(caption);
    EXPECT_EQ(caption, "Kestrune");

    // Command 201 without INI serial settings: a new window that asks again.
    EXPECT_TRUE(frame->OnCmdMsg(ID_FILE_NEW_CONNECTION, CN_COMMAND, nullptr, FALSE));
    EXPECT_EQ(dialogs, 2);
    // Message 1027 from any sender opens one as well.
    frame->SendMessage(WM_MSG_OPEN_DEFAULT_DOC, 0, 0);
    EXPECT_EQ(dialogs, 3);

    // Help opens the program's own page in the desktop's browser.
    EXPECT_TRUE(std::filesystem::exists(gMainApp.m_pszHelpFilePath)) << gMainApp.m_pszHelpFilePath;

    gMainApp.OnAppExit();
    EXPECT_EQ(gMainApp.m_pMainWnd, nullptr);
    EXPECT_FALSE(std::filesystem::exists("Kestrune.ini"));
}
