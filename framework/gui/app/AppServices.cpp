// The application's main-window services: the idle pass, the message loop, the command line and its shell
// command, help and exit.
#include "framework/core/WinApp.h"

#include "framework/core/CmdUI.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/app/IdleScheduler.h"
#include "framework/gui/docview/CommandLineInfo.h"
#include "framework/gui/docview/ControlBar.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/docview/Menu.h"
#include "framework/gui/docview/View.h"
#include "framework/gui/printing/PrintSequence.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <cctype>
#include <utility>

namespace {

std::vector<CString>& Arguments() {
    static std::vector<CString> arguments;
    return arguments;
}

CString Lower(CString text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Closes the main window for good, so that the program ends once start-up is over.
void EndWithoutMainWindow(CWinApp* app) {
    if (auto* frame = dynamic_cast<CMDIFrameWnd*>(app->m_pMainWnd)) {
        frame->CloseAllDocuments();
        frame->DestroyWindow();
    } else if (app->m_pMainWnd != nullptr) {
        app->m_pMainWnd->DestroyWindow();
    }
    app->m_pMainWnd = nullptr;
}

// The program was started only to print the file: it prints on the default printer (for "/pt", the
// named one) without the print dialog, shows no window and ends. TRUE when the whole job was delivered;
// every failure has been told to the user by then.
BOOL PrintFromShell(CWinApp* app, const CCommandLineInfo& info) {
    app->m_nCmdShow = SW_HIDE;
    BOOL printed = FALSE;
    if (info.m_nShellCommand == CCommandLineInfo::FilePrintTo && !AfxSelectPrinter(info.m_strPrinterName)) {
        const CString name = info.m_strPrinterName.empty() ? CString("(none given)") : info.m_strPrinterName;
        AfxMessageBox("There is no printer named " + name + ": " + info.m_strFileName + " was not printed.",
                      MB_OK | MB_ICONEXCLAMATION);
    } else if (CDocument* document = app->OpenDocumentFile(info.m_strFileName.c_str())) {
        // The new window takes its font and text from posted messages, as it would before a user prints.
        AfxPumpMessages();
        if (CView* view = document->GetFirstView())
            view->OnCmdMsg(ID_FILE_PRINT_DIRECT, CN_COMMAND, nullptr, FALSE);
        printed = AfxLastPrintJobSucceeded();
        document->OnCloseDocument();
    }
    EndWithoutMainWindow(app);
    return printed;
}

// Only the standard switches are switches, in any case, after "/" or "-": every other argument is a file,
// so that an absolute path ("/home/me/capture.txt") opens like any other name.
bool IsSwitch(const CString& argument) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-'))
        return false;
    const CString name = Lower(argument.substr(1));
    for (const char* known : {"p", "pt", "dde", "embedding", "automation", "unregserver", "unregister"}) {
        if (name == known)
            return true;
    }
    return false;
}

} // namespace

void CCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL) {
    const CString param = pszParam != nullptr ? pszParam : "";
    if (bFlag) {
        const CString flag = Lower(param);
        if (flag == "p") {
            m_nShellCommand = FilePrint;
        } else if (flag == "pt") {
            m_nShellCommand = FilePrintTo;
            m_nPrintToParam = 0;
        } else if (flag == "dde") {
            m_nShellCommand = FileDDE;
        } else if (flag == "embedding" || flag == "automation") {
            m_bRunEmbedded = flag == "embedding";
            m_bRunAutomated = flag == "automation";
            m_nShellCommand = FileNothing;
        } else if (flag == "unregserver" || flag == "unregister") {
            m_nShellCommand = AppUnregister;
        }
        return;
    }
    if (m_strFileName.empty()) {
        m_strFileName = param;
        if (m_nShellCommand == FileNew)
            m_nShellCommand = FileOpen;
        return;
    }
    if (m_nShellCommand == FilePrintTo) {
        CString* fields[] = {&m_strPrinterName, &m_strDriverName, &m_strPortName};
        if (m_nPrintToParam < 3)
            *fields[m_nPrintToParam++] = param;
    }
}

void CWinApp::SetCommandLineArguments(std::vector<CString> arguments) {
    Arguments() = std::move(arguments);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
    const std::vector<CString>& arguments = Arguments();
    for (size_t i = 0; i < arguments.size(); ++i) {
        const CString& argument = arguments[i];
        const bool flag = IsSwitch(argument);
        rCmdInfo.ParseParam(flag ? argument.c_str() + 1 : argument.c_str(), flag ? TRUE : FALSE,
                            i + 1 == arguments.size() ? TRUE : FALSE);
    }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
    switch (rCmdInfo.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        // The framework's own new document; a refused window does not end the program.
        CWinApp::OnFileNew();
        return m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen:
        return OpenDocumentFile(rCmdInfo.m_strFileName.c_str()) != nullptr;
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo:
        return PrintFromShell(this, rCmdInfo);
    case CCommandLineInfo::AppUnregister:
        // Nothing is registered with the desktop, so there is nothing to undo.
        return FALSE;
    case CCommandLineInfo::FileDDE:
    case CCommandLineInfo::FileNothing:
    default:
        return TRUE;
    }
}

BOOL CWinApp::OnIdle(long) {
    if (auto* mdiFrame = dynamic_cast<CMDIFrameWnd*>(m_pMainWnd)) {
        if (CFrameMenuBar* menu = CFrameMenuBar::FromFrame(mdiFrame))
            menu->Refresh();
    }
    // Copy: an update handler may create or remove a bar.
    const std::vector<CControlBar*> bars = CControlBar::AllBars();
    for (CControlBar* bar : bars) {
        if (bar->GetOwnerFrame() != nullptr && bar->GetWidget() != nullptr)
            bar->OnUpdateCmdUI(bar->GetOwnerFrame(), TRUE);
    }
    return FALSE;
}

int CWinApp::Run() {
    if (m_pMainWnd != nullptr) {
        CIdleScheduler idle([this]() { OnIdle(0); });
        OnIdle(0);
        QApplication::exec();
    }
    return ExitInstance();
}

void CWinApp::OnHelpIndex() {
    const QString path = QString::fromLocal8Bit(m_pszHelpFilePath.c_str());
    if (m_pszHelpFilePath.empty() || !QFileInfo::exists(path)) {
        AfxMessageBox("The help page " + m_pszHelpFilePath + " cannot be found.", MB_OK | MB_ICONSTOP);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        AfxMessageBox("No browser could show the help page " + m_pszHelpFilePath + ".", MB_OK | MB_ICONSTOP);
}

void CWinApp::OnAppExit() {
    if (auto* frame = dynamic_cast<CFrameWnd*>(m_pMainWnd))
        frame->OnClose();
}
