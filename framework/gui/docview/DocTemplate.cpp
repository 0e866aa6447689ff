#include "framework/gui/docview/DocTemplate.h"

#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/core/WinApp.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/View.h"

#include <algorithm>
#include <utility>

CDocTemplate::CDocTemplate(UINT nIDResource, DocumentFactory makeDocument, FrameFactory makeFrame,
                           ViewFactory makeView)
    : m_nIDResource(nIDResource), m_makeDocument(std::move(makeDocument)), m_makeFrame(std::move(makeFrame)),
      m_makeView(std::move(makeView)) {}

CDocTemplate::~CDocTemplate() {
    for (CDocument* document : m_docList)
        document->m_pDocTemplate = nullptr;
}

BOOL CDocTemplate::GetDocString(CString& rString, DocStringIndex index) const {
    rString.clear();
    const char* text = AfxLoadString(m_nIDResource);
    if (text == nullptr)
        return FALSE;
    const CString all = text;
    std::size_t start = 0;
    for (int field = 0; field < index; ++field) {
        start = all.find('\n', start);
        if (start == CString::npos)
            return FALSE;
        ++start;
    }
    const std::size_t end = all.find('\n', start);
    rString = all.substr(start, end == CString::npos ? CString::npos : end - start);
    return TRUE;
}

void CDocTemplate::AddDocument(CDocument* pDoc) {
    m_docList.push_back(pDoc);
    pDoc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc) {
    m_docList.erase(std::remove(m_docList.begin(), m_docList.end(), pDoc), m_docList.end());
    pDoc->m_pDocTemplate = nullptr;
}

CDocument* CDocTemplate::CreateNewDocument() {
    CDocument* document = m_makeDocument ? m_makeDocument() : nullptr;
    if (document != nullptr)
        AddDocument(document);
    return document;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd*) {
    CCreateContext context;
    context.m_pCurrentDoc = pDoc;
    context.m_pNewDocTemplate = this;
    context.m_pNewView = m_makeView ? m_makeView() : nullptr;
    CFrameWnd* frame = m_makeFrame ? m_makeFrame() : nullptr;
    if (frame == nullptr) {
        delete context.m_pNewView;
        return nullptr;
    }
    CWinApp* app = AfxGetApp();
    CWnd* parent = app != nullptr ? app->m_pMainWnd : nullptr;
    // A frame that refuses its creation has already destroyed itself.
    if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, parent, &context)) {
        delete context.m_pNewView; // null unless the frame never reached its view
        return nullptr;
    }
    return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible) {
    pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
    if (auto* child = dynamic_cast<CMDIChildWnd*>(pFrame); child != nullptr && bMakeVisible)
        child->MDIActivate();
}

void CMultiDocTemplate::SetDefaultTitle(CDocument* pDocument) {
    CString name;
    if (!GetDocString(name, docName) || name.empty())
        name = "Untitled";
    pDocument->SetTitle((name + std::to_string(m_nUntitledCount + 1)).c_str());
}

CDocument* CMultiDocTemplate::OpenDocumentFile(const char* lpszPathName, BOOL bMakeVisible) {
    CDocument* document = CreateNewDocument();
    if (document == nullptr) {
        AfxMessageBox(AfxLoadString(AFX_IDP_FAILED_TO_CREATE_DOC) != nullptr
                          ? AfxLoadString(AFX_IDP_FAILED_TO_CREATE_DOC)
                          : "Failed to create empty document.");
        return nullptr;
    }
    CFrameWnd* frame = CreateNewFrame(document, nullptr);
    if (frame == nullptr) {
        const char* text = AfxLoadString(AFX_IDP_FAILED_TO_CREATE_DOC);
        AfxMessageBox(text != nullptr ? text : "Failed to create empty document.");
        delete document;
        return nullptr;
    }
    if (lpszPathName == nullptr) {
        SetDefaultTitle(document);
        if (!document->OnNewDocument()) {
            frame->DestroyWindow();
            delete document;
            return nullptr;
        }
        // Only a document that was made uses up a number.
        ++m_nUntitledCount;
    } else {
        if (!document->OnOpenDocument(lpszPathName)) {
            // The frame goes with its view; the document goes last.
            frame->DestroyWindow();
            delete document;
            return nullptr;
        }
        document->SetPathName(lpszPathName);
    }
    InitialUpdateFrame(frame, document, bMakeVisible);
    return document;
}
