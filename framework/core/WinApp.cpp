#include "framework/core/WinApp.h"

#include "framework/core/Resource.h"

namespace {
CWinApp* theApp = nullptr;
}

CWinApp::CWinApp(const char* appName) {
    if (appName != nullptr) {
        m_pszAppName = appName;
    } else {
        const char* title = AfxLoadString(AFX_IDS_APP_TITLE);
        m_pszAppName = title != nullptr ? title : "";
    }
    theApp = this;
}

CWinApp::~CWinApp() {
    if (theApp == this)
        theApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

CWinApp* AfxGetApp() {
    return theApp;
}
