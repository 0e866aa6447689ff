#pragma once

#include "framework/core/CmdTarget.h"
#include "framework/core/WinTypes.h"

#include <memory>
#include <vector>

class CCommandLineInfo;
class CDocTemplate;
class CDocument;
class CWnd;

// The application object's base. Constructing it is cheap and needs no display; the GUI services of the
// framework (document templates, the main window, the message loop) are added by the GUI half.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // The GUI services of the framework. They are defined in the GUI half (framework/gui), so only programs
    // that call them link it.
    // Registers a document template; the application shares its ownership.
    void AddDocTemplate(std::shared_ptr<CDocTemplate> pTemplate);
    // The framework's new-document command: a new empty document of the (first) template.
    void OnFileNew();
    // Opens a file as a document, or activates the window of a document that already shows it. Null when
    // the file cannot be opened as a document (the user has been told why).
    CDocument* OpenDocumentFile(const char* lpszFileName);
    const std::vector<std::shared_ptr<CDocTemplate>>& GetDocTemplates() const { return m_templates; }
    // The standard print setup command.
    void OnFilePrintSetup();
    // The main window's services, also in the GUI half. One idle pass refreshes the command-UI state of the
    // main window's bars and menu; lCount -1 asks for a full pass at once. FALSE: nothing more to do.
    BOOL OnIdle(long lCount);
    // The message loop with its idle passes, until the main window is gone; the result of ExitInstance.
    int Run();
    // The command line given to the process (without the program name); the entry point stores it.
    static void SetCommandLineArguments(std::vector<CString> arguments);
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    // Runs the shell command of the command line; FALSE ends the program.
    BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);
    // Opens the help page (m_pszHelpFilePath) in the desktop's browser.
    void OnHelpIndex();
    // Closes the main window, which asks about unsaved documents first.
    void OnAppExit();

    // The show state for the main window at start-up.
    int m_nCmdShow = 10;
    // The program's help page.
    CString m_pszHelpFilePath;

    // The main window, set by the application once it has created it.
    CWnd* m_pMainWnd = nullptr;

    // The application's name; taken from string 57344 when none was given at construction.
    CString m_pszAppName;

private:
    std::vector<std::shared_ptr<CDocTemplate>> m_templates;
};

// The one application object of the process, or null before it is constructed.
CWinApp* AfxGetApp();
