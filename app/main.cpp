#include "app/main.h"

#include "app/resource.h"
#include "comm/PortDirectory.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/serial/PortTable.h"
#include "settings/Preference.h"

#include <cstdio>
#include <cstring>
#include <vector>

CMainApp gMainApp;

namespace {

// The log's name fields hold 260 characters and a NUL.
bool FitsNameField(const std::string& path) {
    return path.size() < static_cast<size_t>(kLogPathSize);
}

void CopyNameField(char* field, const std::string& path) {
    std::memset(field, 0, kLogPathSize);
    std::memcpy(field, path.data(), path.size());
}

CString FormatWithPath(const CString& format, const std::string& path) {
    std::vector<char> text(format.size() + path.size() + 1);
    std::snprintf(text.data(), text.size(), format.c_str(), path.c_str());
    return text.data();
}

} // namespace

CMainApp::CMainApp() {
    // First: the preferences and every window after them look ports up in the table.
    SetPortDirectory(KestrunePortDirectory());
    // The log file object is built (no file opened) before the preferences, whose loading already logs.
    m_PrefApp = new CPreference("./Kestrune.ini");
}

CMainApp::~CMainApp() {
    WriteToLog(AfxLoadText(IDS_LOG_CLOSE_APPLICATION), "--------------------", LEVELONE);
    std::lock_guard<std::mutex> guard(m_logLock);
    delete m_PrefApp;
    m_PrefApp = nullptr;
}

BOOL CMainApp::SetLogFile() {
    if (m_PrefApp == nullptr || (m_PrefApp->m_available & PREF_LOG_FILE) == 0)
        return FALSE;
    const std::string& logPath = m_PrefApp->m_logFilePath;
    const std::string& archivePath = m_PrefApp->m_logArchiveFilePath;
    for (const std::string* path : {&logPath, &archivePath}) {
        if (!FitsNameField(*path)) {
            AfxPostMessageBox(FormatWithPath(AfxLoadText(IDS_LOG_PATH_TOO_LONG), *path), MB_OK);
            return FALSE;
        }
    }
    std::lock_guard<std::mutex> guard(m_logLock);
    CopyNameField(m_logFile.cFileName, logPath);
    CopyNameField(m_logFile.cArchiveName, archivePath);
    if (!archivePath.empty())
        m_logFile.bArchiveIfMaxReached = TRUE;
    CopyLogField(m_logFile.cModuleName, sizeof m_logFile.cModuleName, m_pszAppName.c_str());
    return TRUE;
}

BOOL CMainApp::WriteToLog(const CString& text, const CString& procName, LogLevel level) {
    CString failure;
    CString notice;
    {
        std::lock_guard<std::mutex> guard(m_logLock);
        if (!m_logEnable || m_PrefApp == nullptr)
            return FALSE;
        const int configured = m_PrefApp->m_logLevel;
        if (configured == NOLOG)
            return FALSE;
        if (static_cast<int>(level) > configured)
            return FALSE;
        if (!procName.empty())
            CopyLogField(m_logFile.cProcName, sizeof m_logFile.cProcName, procName.c_str());
        try {
            if (m_logFile.AddRecord(text.c_str())) {
                notice = m_logFile.TakeNotice();
                if (notice.empty())
                    return TRUE;
            } else {
                failure = m_logFile.m_error;
                if (failure.empty())
                    failure = FormatWithPath(AfxLoadText(IDS_LOG_DID_NOT_GROW), m_logFile.cFileName);
            }
        } catch (const std::exception& error) {
            // A failing write on an open log would otherwise end the thread that logged.
            failure = AfxLoadText(IDS_LOG_WRITE_FAILED) + error.what();
        }
        if (notice.empty())
            m_logEnable = FALSE;
    }
    // Whoever logged may be halfway through a change, on any thread: the box is posted, never shown here.
    if (!notice.empty()) {
        // Logging goes on; the user hears once of what keeps it from working as configured.
        AfxPostMessageBox(notice, MB_OK);
        return TRUE;
    }
    AfxPostMessageBox(failure, MB_OK);
    return FALSE;
}
