#include "CommViewTestSupport.h"

#include "app/MDICommChild.h"
#include "app/main.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/windows/TestHook.h"
#include "settings/Preference.h"
#include "support/DialogTestSupport.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <chrono>
#include <cstdio>
#include <thread>

void TerminalWindowTest::SetUp() {
    EnsureDialogTestApplication();
    CPreference* preferences = gMainApp.m_PrefApp;
    m_savedAvailable = preferences->m_available;
    m_savedUsed = preferences->m_used;
    m_savedComm = preferences->m_commSetting;
    m_savedTerm = preferences->m_termSetting;
    m_savedCapture = preferences->m_captureSetting;
    m_savedLogLevel = preferences->m_logLevel;
    m_savedLogPath = preferences->m_logFilePath;
    preferences->m_available = PREF_INI_READ | PREF_COMM_SETTING;
    preferences->m_used = 0;
    preferences->m_commSetting.port = m_device.path();
    preferences->m_commSetting.baud = 115200;
    preferences->m_commSetting.byteSize = 8;
    preferences->m_commSetting.parity = 0;
    preferences->m_commSetting.stopBit = 0;

    GuiTestHook hook;
    hook.messageBox = m_boxes.Hook();
    hook.modalDialog = [this](QDialog&) {
        ++m_dialogs;
        return IDCANCEL;
    };
    hook.fileDialog = [this](BOOL, CString& path) {
        m_proposedFiles.push_back(path);
        if (m_fileAnswer.empty())
            return FALSE;
        path = m_fileAnswer;
        return TRUE;
    };
    m_hook = std::make_unique<CScopedGuiTestHook>(std::move(hook));

    m_frame = new CMDIFrameWnd;
    ASSERT_TRUE(m_frame->LoadFrame(2));
    gMainApp.m_pMainWnd = m_frame;
    m_frame->ShowWindow(SW_SHOW);
    Template();
}

void TerminalWindowTest::TearDown() {
    for (CDocument* document : std::vector<CDocument*>(Template().GetDocuments()))
        document->SetModifiedFlag(FALSE);
    if (m_frame != nullptr) {
        m_frame->CloseAllDocuments();
        gMainApp.m_pMainWnd = nullptr;
        m_frame->DestroyWindow();
        m_frame = nullptr;
    }
    AfxPumpMessages();
    CPreference* preferences = gMainApp.m_PrefApp;
    preferences->m_available = m_savedAvailable;
    preferences->m_used = m_savedUsed;
    preferences->m_commSetting = m_savedComm;
    preferences->m_termSetting = m_savedTerm;
    preferences->m_captureSetting = m_savedCapture;
    preferences->m_logLevel = m_savedLogLevel;
    preferences->m_logFilePath = m_savedLogPath;
    gMainApp.m_logEnable = FALSE;
    m_hook.reset();
}

CMultiDocTemplate& TerminalWindowTest::Template() {
    static std::shared_ptr<CMultiDocTemplate> documents = [] {
        auto made = std::make_shared<CMultiDocTemplate>(
            3, []() -> CDocument* { return new CMainDoc; },
            []() -> CFrameWnd* { return new CMDICommChildWnd; }, []() -> CView* { return new CCommView; });
        gMainApp.AddDocTemplate(made);
        return made;
    }();
    return *documents;
}

CCommView* TerminalWindowTest::OpenWindow() {
    auto* document = dynamic_cast<CMainDoc*>(Template().OpenDocumentFile(nullptr));
    AfxPumpMessages();
    return document != nullptr ? document->GetViewDocument() : nullptr;
}

CCommView* TerminalWindowTest::OpenFile(const CString& path) {
    auto* document = dynamic_cast<CMainDoc*>(Template().OpenDocumentFile(path.c_str()));
    AfxPumpMessages();
    return document != nullptr ? document->GetViewDocument() : nullptr;
}

void TerminalWindowTest::CloseWindow(CCommView* view) {
    DocumentOf(view)->SetModifiedFlag(FALSE);
    view->GetParentFrame()->OnClose();
    AfxPumpMessages();
}

CMainDoc* TerminalWindowTest::DocumentOf(CCommView* view) {
    return dynamic_cast<CMainDoc*>(view->GetDocument());
}

bool TerminalWindowTest::WaitFor(const std::function<bool()>& condition, int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        AfxPumpMessages();
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    AfxPumpMessages();
    return condition();
}

CString TerminalWindowTest::TextOf(CCommView* view) {
    CString text;
    view->GetWindowText(text);
    return text;
}

int TerminalWindowTest::DocumentCount() const {
    return static_cast<int>(Template().GetDocuments().size());
}

std::string NumberedLines(int count) {
    std::string stream;
    char line[64];
    for (int i = 0; i < count; ++i) {
        const int length =
            std::snprintf(line, sizeof line, "line %06d %.*s\r\n", i, i % 23, "abcdefghijklmnopqrstuvw");
        stream.append(line, static_cast<std::size_t>(length));
    }
    return stream;
}
