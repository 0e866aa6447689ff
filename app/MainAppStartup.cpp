#include "app/main.h"

BOOL CMainApp::InitInstance() {
    return m_pfnShellStartup != nullptr ? m_pfnShellStartup(*this) : CWinApp::InitInstance();
}

int CMainApp::ExitInstance() {
    if (m_pfnShellExit != nullptr)
        m_pfnShellExit(*this);
    return CWinApp::ExitInstance();
}
