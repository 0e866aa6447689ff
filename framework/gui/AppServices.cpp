// The application's main-window services: the idle pass, the message loop, the command line and its shell
// command, help and exit.
#include "framework/WinApp.h"

#include "framework/CmdUI.h"
#include "framework/MessageBox.h"
#include "framework/gui/CommandLineInfo.h"
#include "framework/gui/ControlBar.h"
#include "framework/gui/Document.h"
#include "framework/gui/MDIFrameWnd.h"
#include "framework/gui/Menu.h"
#include "framework/gui/View.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <cctype>
#include <utility>

namespace {

std::vector<CString>& Arguments() {
    static std::vector<CString> arguments;
    return arguments;
}

// How often the message loop runs an idle pass when nothing else happens; the pass is cheap and only
// changes what differs.
constexpr int kIdlePeriodMs = 100;

CString Lower(CString text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
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

void CWinApp::SetCommandLineArguments(std::vector<CString> arguments) { Arguments() = std::move(arguments); }

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
    case CCommandLineInfo::FilePrintTo: {
        // Print the document and end: the program was started only for that.
        CDocument* document = OpenDocumentFile(rCmdInfo.m_strFileName.c_str());
        if (document == nullptr)
            return FALSE;
        if (CView* view = document->GetFirstView())
            view->OnCmdMsg(ID_FILE_PRINT_DIRECT, CN_COMMAND, nullptr, FALSE);
        document->OnCloseDocument();
        return FALSE;
    }
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
        QTimer idle;
        QObject::connect(&idle, &QTimer::timeout, [this]() { OnIdle(0); });
        idle.start(kIdlePeriodMs);
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
