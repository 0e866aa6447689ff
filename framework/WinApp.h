#pragma once

#include "framework/CmdTarget.h"
#include "framework/WinTypes.h"

#include <memory>
#include <vector>

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

    // The main window, set by the application once it has created it.
    CWnd* m_pMainWnd = nullptr;

    // The application's name; taken from string 57344 when none was given at construction.
    CString m_pszAppName;

private:
    std::vector<std::shared_ptr<CDocTemplate>> m_templates;
};

// The one application object of the process, or null before it is constructed.
CWinApp* AfxGetApp();
