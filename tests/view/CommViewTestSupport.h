#pragma once

#include "framework/core/WinTypes.h"
#include "framework/gui/windows/TestHook.h"
#include "settings/SettingRec.h"
#include "support/MessageBoxAnswers.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CCommView;
class CMainDoc;
class CMDIFrameWnd;
class CMultiDocTemplate;

// Terminal windows in an offscreen main window, on a pseudo-terminal as the preferences' serial port. The
// preferences are set per test and restored afterwards; dialogs and message boxes are answered here.
class TerminalWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new terminal window (the framework's new-document command); null when it was refused.
    CCommView* OpenWindow();
    // A window on a file; null when it was refused.
    CCommView* OpenFile(const CString& path);
    // Closes a window without the save question.
    void CloseWindow(CCommView* view);
    static CMainDoc* DocumentOf(CCommView* view);
    static CMultiDocTemplate& Template();
    // Pumps messages until the condition holds or the time is over.
    static bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000);
    static CString TextOf(CCommView* view);
    int DocumentCount() const;

    PseudoTerminal m_device;
    TempDir m_dir;
    CMDIFrameWnd* m_frame = nullptr;

    // What the simulated user answers, and what was shown.
    MessageBoxAnswers m_boxes; // answered with IDOK unless a test says otherwise
    CString m_fileAnswer;      // empty: cancel the file dialog
    std::vector<CString> m_proposedFiles;
    int m_dialogs = 0;

private:
    std::unique_ptr<CScopedGuiTestHook> m_hook;
    int m_savedAvailable = 0;
    int m_savedUsed = 0;
    int m_savedLogLevel = 0;
    CString m_savedLogPath;
    CommSettingRec m_savedComm;
    TermSettingRec m_savedTerm;
    CaptureSettingRec m_savedCapture;
};

// Numbered lines of varying length (about 20 bytes each), so that no piece of the stream occurs twice in it.
std::string NumberedLines(int count);
