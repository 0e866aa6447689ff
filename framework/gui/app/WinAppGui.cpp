// The GUI services of the application object: document templates, new documents and opening files.
#include "framework/core/WinApp.h"

#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/View.h"

#include <filesystem>
#include <utility>

namespace {

// Two names of one file compare equal when they lead to the same file.
bool SameFile(const CString& left, const CString& right) {
    std::error_code error;
    if (std::filesystem::equivalent(left, right, error))
        return true;
    return left == right;
}

} // namespace

void CWinApp::AddDocTemplate(std::shared_ptr<CDocTemplate> pTemplate) {
    if (pTemplate)
        m_templates.push_back(std::move(pTemplate));
}

void CWinApp::OnFileNew() {
    if (m_templates.empty())
        return;
    m_templates.front()->OpenDocumentFile(nullptr);
}

CDocument* CWinApp::OpenDocumentFile(const char* lpszFileName) {
    if (m_templates.empty() || lpszFileName == nullptr || *lpszFileName == '\0')
        return nullptr;
    // A file already open as a document is not opened twice: its window comes to the front.
    for (const auto& docTemplate : m_templates) {
        for (CDocument* document : docTemplate->GetDocuments()) {
            if (document->GetPathName().empty() || !SameFile(document->GetPathName(), lpszFileName))
                continue;
            if (CView* view = document->GetFirstView()) {
                if (auto* child = dynamic_cast<CMDIChildWnd*>(view->GetParentFrame()))
                    child->MDIActivate();
            }
            return document;
        }
    }
    return m_templates.front()->OpenDocumentFile(lpszFileName);
}
