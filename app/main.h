#pragma once

#include "framework/core/WinApp.h"
#include "framework/core/WinTypes.h"
#include "log/LogFile.h"
#include "log/LogLevel.h"

#include <mutex>

class CPreference;

// The application object. Constructing it is cheap and display-free: it builds the log file object and
// loads the preferences from "./Kestrune.ini" of the current directory. Every part of the program reaches
// the preferences as gMainApp.m_PrefApp and logs with gMainApp.WriteToLog.
class CMainApp : public CWinApp {
public:
    CMainApp();
    // Writes the close record and frees the preferences, unsaved.
    ~CMainApp() override;

    // Start-up of the windows: the log, the document template, the main frame and the first terminal
    // window. It runs the windowed start-up the program installed (m_pfnShellStartup), and does nothing
    // otherwise, so that programs without windows can link the application object.
    BOOL InitInstance() override;
    // Command 201: the default port's window bound to the default backup file when that port is free, else
    // a new window that asks for its serial settings.
    void OnFileNew();
    // Command 57664: the About box.
    void OnAppAbout();
    // The windowed start-up itself, step by step (defined with the windows).
    BOOL InitShell();
    // The application's own command handlers: About, help, new connection, print setup, exit.
    void AddShellCommands();
    // The windowed start-up; installed by the program's entry (InstallMainAppShell), null without windows.
    BOOL (*m_pfnShellStartup)(CMainApp& app) = nullptr;
    // The end of the program after its windows are gone: runs the windowed shutdown installed with the
    // start-up (m_pfnShellExit).
    int ExitInstance() override;
    void (*m_pfnShellExit)(CMainApp& app) = nullptr;

    // Configures the log file from the preferences; TRUE when logging can go on. A log or archive path too
    // long for the log file's name fields is refused (not cut, which would name another file) and the
    // reason is shown once.
    BOOL SetLogFile();
    // Records an event when logging is on and level is within the configured one. An empty procedure name
    // keeps the previous record's. Safe from any thread: concurrent calls are written one after another,
    // each with its own procedure name. After a failed write the reason is shown once and logging stays
    // off for the rest of the run.
    BOOL WriteToLog(const CString& text, const CString& procName, LogLevel level);

    CPreference* m_PrefApp = nullptr;
    CLogFile m_logFile;
    BOOL m_logEnable = FALSE;

private:
    // Serialises WriteToLog: the procedure name and the append belong to one record.
    std::mutex m_logLock;
};

// The one application object of the process.
extern CMainApp gMainApp;
