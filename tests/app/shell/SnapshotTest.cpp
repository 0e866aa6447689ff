// The unattended snapshot: beside each window's bytes it writes the window's text as shown.
#include "MainFrameTestSupport.h"

#include "app/Snapshot.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/windows/TestHook.h"
#include "support/DialogPortDirectory.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempDir.h"
#include "view/CommView.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

TEST(Snapshot, WritesEachWindowsBytesAndItsTextAsShown) {
    DialogPortDirectory ports({9});
    PreferencesFromIni ini("[COM]\nPort=COM9\nBaudRate=115200\nByteSize=8\nParity=0\nStopBit=0\n"
                           "[TERM]\nTrapLF=0\nAutoSaveFrequency=0\n");
    GuiTestHook hook;
    hook.modalDialog = [](QDialog&) { return IDCANCEL; };
    hook.messageBox = MessageBoxAnswers(IDNO).Hook();
    CScopedGuiTestHook scoped(hook);
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    RegisterTerminalTemplate();
    gMainApp.CWinApp::OnFileNew();
    ASSERT_EQ(app.frame->GetChildFrames().size(), 1u);
    auto* view = dynamic_cast<CCommView*>(app.frame->MDIGetActive()->GetActiveView());
    ASSERT_NE(view, nullptr);

    const std::string bytes = "\x1b[0;32mI (1) temp=23.4 \xC2\xB0"
                              "C\x1b[0m\r\n\x1b[1;31mE \xE7\xBD\x91\x1b[0m";
    ASSERT_EQ(::write(ports.MasterOf(9), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    QElapsedTimer waited;
    waited.start();
    while (view->GetWindowTextLength() < static_cast<int>(bytes.size()) && waited.elapsed() < 5000)
        AfxPumpMessages();
    ASSERT_EQ(view->GetWindowTextLength(), static_cast<int>(bytes.size()));

    TempDir out;
    ::setenv("KESTRUNE_SNAPSHOT_DIR", out.path().c_str(), 1);
    ::setenv("KESTRUNE_SNAPSHOT_AFTER_MS", "10", 1);
    ArmSnapshot(gMainApp);
    ::unsetenv("KESTRUNE_SNAPSHOT_DIR");
    ::unsetenv("KESTRUNE_SNAPSHOT_AFTER_MS");
    const std::string shown = out.path() + "/window-1.shown.txt";
    waited.restart();
    while (!QFileInfo::exists(QString::fromStdString(shown)) && waited.elapsed() < 5000)
        AfxPumpMessages();
    EXPECT_EQ(ReadWholeFile(out.path() + "/window-1.txt"), bytes);
    EXPECT_EQ(ReadWholeFile(shown), "I (1) temp=23.4 \xC2\xB0"
                                    "C\nE \xE7\xBD\x91");
}
