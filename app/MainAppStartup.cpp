#include "app/main.h"

// The windows' part of the program sets this as it is linked in; without it the application object is a
// plain, display-free one.
BOOL (*CMainApp::s_pfnShellStartup)(CMainApp& app) = nullptr;

BOOL CMainApp::InitInstance() {
    return s_pfnShellStartup != nullptr ? s_pfnShellStartup(*this) : CWinApp::InitInstance();
}
