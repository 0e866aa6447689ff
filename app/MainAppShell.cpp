// The windowed half of the application object: start-up, the new-connection command and the About box.
#include "app/MainAppShell.h"

#include "app/main.h"

#include "app/AboutDlg.h"
#include "app/AppResources.h"
#include "app/MDICommChild.h"
#include "app/MainFrame.h"
#include "app/resource.h"
#include "comm/comm.h"
#include "framework/core/HelpPage.h"
#include "framework/core/Resource.h"
#include "framework/gui/docview/CommandLineInfo.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/Document.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The help page beside the program (build tree) or in the installed data folder; from a build tree
// whose copy is missing, the project's own page.
CString HelpPagePath() {
    const std::string found =
        FindHelpPage(QCoreApplication::applicationDirPath().toLocal8Bit().toStdString(), "kestrune");
    return !found.empty() ? CString(found) : CString(KESTRUNE_HELP_PAGE);
}

BOOL ShellStartup(CMainApp& app) {
    return app.CMainApp::InitShell();
}

// Captures whose windows are gone may still be writing out: what reached the program is not dropped at a
// normal end, but a stalled disk does not hold the end up for ever.
void ShellExit(CMainApp&) {
    CCommView::AwaitFinishingCaptures(CCommView::kCaptureExitWait);
}

// Whether a terminal window other than the one of except has a port of that name, open or trying to open.
bool PortHeldByAWindow(const std::string& portName, const TCommPort* except) {
    for (const auto& docTemplate : gMainApp.GetDocTemplates()) {
        for (CDocument* document : docTemplate->GetDocuments()) {
            for (CView* view : document->GetViews()) {
                auto* commView = dynamic_cast<CCommView*>(view);
                if (commView == nullptr || commView->m_commThread == nullptr)
                    continue;
                TCommPort& port = commView->m_commThread->m_CommPort;
                if (&port != except && port.GetCommPort() == portName)
                    return true;
            }
        }
    }
    return false;
}

} // namespace

void InstallMainAppShell(CMainApp& app) {
    app.m_pfnShellStartup = &ShellStartup;
    app.m_pfnShellExit = &ShellExit;
    if (app.m_PrefApp != nullptr)
        app.m_PrefApp->m_pfnPortHeld = &PortHeldByAWindow;
}

BOOL CMainApp::InitShell() {
    std::setlocale(LC_ALL, "");
    // The desktop draws controls in its own style and the program lists no recent files, so there is no
    // control-style or profile set-up to do before the windows.
    RegisterAppResources();
    m_pszHelpFilePath = HelpPagePath();
    AddShellCommands();

    m_logEnable = SetLogFile();
    char opening[128];
    std::snprintf(opening, sizeof opening, AfxLoadText(IDS_LOG_OPEN_APPLICATION).c_str(),
                  m_PrefApp->m_logLevel);
    WriteToLog(opening, "InitInstance", LEVELONE);
    const bool iniRead = (m_PrefApp->m_available & PREF_INI_READ) != 0;
    WriteToLog(AfxLoadText(iniRead ? IDS_LOG_INI_FOUND : IDS_LOG_INI_NOT_FOUND), "InitInstance", LEVELONE);
    if (m_PrefApp->m_iniDiscardedAtLine != 0) {
        char discarded[128];
        std::snprintf(discarded, sizeof discarded, AfxLoadText(IDS_LOG_INI_DISCARDED).c_str(),
                      m_PrefApp->m_iniDiscardedAtLine);
        WriteToLog(discarded, "InitInstance", LEVELONE);
    }

    AddDocTemplate(std::make_shared<CMultiDocTemplate>(
        IDR_TEXTTYPE, []() -> CDocument* { return new CMainDoc; },
        []() -> CFrameWnd* { return new CMDICommChildWnd; }, []() -> CView* { return new CCommView; }));

    auto* frame = new CMainFrame;
    // A refused frame has destroyed itself.
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr))
        return FALSE;
    m_pMainWnd = frame;

    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    const bool printing = cmdInfo.m_nShellCommand == CCommandLineInfo::FilePrint ||
                          cmdInfo.m_nShellCommand == CCommandLineInfo::FilePrintTo;
    if ((m_PrefApp->m_available & PREF_AUTOSAVE) != 0 && !printing) {
        // With auto-save the first window is the backup file, whatever the command line says; a request to
        // print a file still prints it, as the program then opens no window at all.
        cmdInfo.m_nShellCommand = CCommandLineInfo::FileOpen;
        cmdInfo.m_strFileName = m_PrefApp->m_defaultBackupPath;
    }
    if (!ProcessShellCommand(cmdInfo)) {
        WriteToLog(AfxLoadText(IDS_LOG_SHELL_COMMAND_FAILED), "InitInstance", LEVELONE);
        return FALSE;
    }
    WriteToLog(AfxLoadText(IDS_LOG_SHELL_COMMAND_DONE), "InitInstance", LEVELTWO);

    if (m_pMainWnd != nullptr) {
        m_pMainWnd->ShowWindow(m_nCmdShow);
        m_pMainWnd->UpdateWindow();
    }
    return TRUE;
}

void CMainApp::AddShellCommands() {
    AddCommandHandler(ID_APP_ABOUT, [this]() { OnAppAbout(); });
    AddCommandHandler(ID_HELP_INDEX, [this]() { OnHelpIndex(); });
    AddCommandHandler(ID_FILE_NEW_CONNECTION, [this]() { OnFileNew(); });
    AddCommandHandler(ID_FILE_PRINT_SETUP, [this]() { OnFilePrintSetup(); });
    // Exit is the framework's standard command.
    AddCommandHandler(ID_APP_EXIT, [this]() { OnAppExit(); });
}

void CMainApp::OnFileNew() {
    // The default port counts as taken exactly while a window holds it (a window may have moved away).
    const std::string& defaultPort = m_PrefApp->m_commSetting.port;
    m_PrefApp->m_used = PortHeldByAWindow(defaultPort, nullptr) ? 1 : 0;
    if (m_PrefApp->m_used == 0 && (m_PrefApp->m_available & PREF_COMM_SETTING) != 0) {
        // Without a backup file there is nothing to open: a new window takes the default port itself, where
        // a failed open would leave the user with an error and no window at all.
        if (!QFileInfo::exists(QString::fromLocal8Bit(m_PrefApp->m_defaultBackupPath.c_str()))) {
            CWinApp::OnFileNew();
            return;
        }
        std::vector<CDocument*> open;
        for (const auto& docTemplate : GetDocTemplates())
            open.insert(open.end(), docTemplate->GetDocuments().begin(), docTemplate->GetDocuments().end());
        CDocument* document = OpenDocumentFile(m_PrefApp->m_defaultBackupPath.c_str());
        if (document != nullptr && std::find(open.begin(), open.end(), document) != open.end()) {
            // The backup file shows already, in a window on another port: that window only came to the
            // front, and the new connection the user asked for is a new window on the default port.
            CWinApp::OnFileNew();
            return;
        }
        m_PrefApp->m_used = PortHeldByAWindow(defaultPort, nullptr) ? 1 : 0;
        return;
    }
    CWinApp::OnFileNew();
}

void CMainApp::OnAppAbout() {
    CAboutDlg about;
    about.DoModal();
}
