#pragma once

#include "app/AppResources.h"
#include "app/MainFrame.h"
#include "app/main.h"
#include "app/resource.h"
#include "framework/gui/GuiServices.h"

#include <QApplication>

#include <cstdlib>

// An offscreen application and a main frame made as start-up makes it, destroyed at the end of the test.
class MainFrameUnderTest {
public:
    MainFrameUnderTest() {
        if (QApplication::instance() == nullptr) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
            static int argc = 1;
            static char name[] = "kestrune-app-tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);  // lives for the rest of the test program
        }
        AfxInstallGuiServices();
        RegisterAppResources();
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
