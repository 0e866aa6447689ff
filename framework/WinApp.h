#pragma once

#include "framework/WinTypes.h"

// The application object's base. Constructing it is cheap and needs no display; the GUI services of the
// framework (document templates, the main window, the message loop) are added by the GUI half.
class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // The application's name; taken from string 57344 when none was given at construction.
    CString m_pszAppName;
};

// The one application object of the process, or null before it is constructed.
CWinApp* AfxGetApp();
