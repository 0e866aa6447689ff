#pragma once

#include "app/AppResources.h"
#include "app/MDICommChild.h"
#include "app/MainAppShell.h"
#include "app/MainFrame.h"
#include "app/main.h"
#include "app/resource.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/DocTemplate.h"
#include "settings/Preference.h"
#include "support/TempDir.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <QApplication>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

// An offscreen application and a main frame made as start-up makes it, destroyed at the end of the test.
class MainFrameUnderTest {
public:
    MainFrameUnderTest() {
        if (QApplication::instance() == nullptr) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
            static int argc = 1;
            static char name[] = "kestrune-app-tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv); // lives for the rest of the test program
        }
        AfxInstallGuiServices();
        RegisterAppResources();
        InstallMainAppShell(gMainApp);
        gMainApp.AddShellCommands();
        frame = new CMainFrame;
        if (!frame->LoadFrame(IDR_MAINFRAME)) {
            frame = nullptr;
            return;
        }
        gMainApp.m_pMainWnd = frame;
    }
    ~MainFrameUnderTest() {
        if (frame != nullptr && gMainApp.m_pMainWnd == frame)
            frame->DestroyWindow();
        gMainApp.m_pMainWnd = nullptr;
    }
    MainFrameUnderTest(const MainFrameUnderTest&) = delete;
    MainFrameUnderTest& operator=(const MainFrameUnderTest&) = delete;

    CMainFrame* frame = nullptr;
};

// Start-up registers the one document template; when start-up has not run in this program, it is
// registered here.
inline void RegisterTerminalTemplate() {
    if (!gMainApp.GetDocTemplates().empty())
        return;
    gMainApp.AddDocTemplate(std::make_shared<CMultiDocTemplate>(
        IDR_TEXTTYPE, []() -> CDocument* { return new CMainDoc; },
        []() -> CFrameWnd* { return new CMDICommChildWnd; }, []() -> CView* { return new CCommView; }));
}

// Preferences from a temporary INI file for the duration of a test; the application's own come back after.
class PreferencesFromIni {
public:
    explicit PreferencesFromIni(const std::string& text) {
        const std::string path = m_dir.path() + "/Kestrune.ini";
        std::ofstream(path) << text;
        m_saved = gMainApp.m_PrefApp;
        gMainApp.m_PrefApp = new CPreference(path);
        InstallMainAppShell(gMainApp);
    }
    ~PreferencesFromIni() {
        delete gMainApp.m_PrefApp;
        gMainApp.m_PrefApp = m_saved;
    }
    PreferencesFromIni(const PreferencesFromIni&) = delete;
    PreferencesFromIni& operator=(const PreferencesFromIni&) = delete;

    const std::string& folder() const { return m_dir.path(); }

private:
    TempDir m_dir;
    CPreference* m_saved = nullptr;
};
