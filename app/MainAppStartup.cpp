#include "app/main.h"

BOOL CMainApp::InitInstance() {
    return m_pfnShellStartup != nullptr ? m_pfnShellStartup(*this) : CWinApp::InitInstance();
}
