#include "framework/gui/docview/Document.h"

#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/files/File.h"
#include "framework/gui/dialogs/FileDialog.h"
#include "framework/gui/docview/Archive.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/gui/docview/SafeSave.h"
#include "framework/gui/docview/View.h"

#include <algorithm>

namespace {

// The file name part of a path.
CString FileTitle(const CString& path) {
    const auto slash = path.find_last_of('/');
    return slash == CString::npos ? path : path.substr(slash + 1);
}

} // namespace

CDocument::CDocument() {
    AddCommandHandler(ID_FILE_SAVE, [this]() { OnFileSave(); });
    AddCommandHandler(ID_FILE_SAVE_AS, [this]() { OnFileSaveAs(); });
}

CDocument::~CDocument() {
    for (CView* view : m_viewList)
        view->m_pDocument = nullptr;
    if (m_pDocTemplate != nullptr)
        m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(const char* lpszTitle) {
    m_strTitle = lpszTitle != nullptr ? lpszTitle : "";
    UpdateFrameTitles();
}

void CDocument::SetPathName(const char* lpszPathName, BOOL) {
    m_strPathName = lpszPathName != nullptr ? lpszPathName : "";
    SetTitle(FileTitle(m_strPathName).c_str());
}

void CDocument::AddView(CView* pView) {
    if (pView == nullptr || std::find(m_viewList.begin(), m_viewList.end(), pView) != m_viewList.end())
        return;
    m_viewList.push_back(pView);
    pView->m_pDocument = this;
}

void CDocument::RemoveView(CView* pView) {
    auto found = std::find(m_viewList.begin(), m_viewList.end(), pView);
    if (found == m_viewList.end())
        return;
    m_viewList.erase(found);
    pView->m_pDocument = nullptr;
}

void CDocument::UpdateFrameTitles() {
    for (CView* view : m_viewList) {
        if (CFrameWnd* frame = view->GetParentFrame())
            frame->OnUpdateFrameTitle(TRUE);
    }
}

BOOL CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(const char* lpszPathName) {
    CFile file;
    CFileException error;
    if (!file.Open(lpszPathName, CFile::modeRead | CFile::shareDenyWrite, &error)) {
        ReportSaveLoadException(lpszPathName, &error, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    DeleteContents();
    SetModifiedFlag(TRUE);
    try {
        CArchive archive(&file, CArchive::load | CArchive::bNoFlushOnDelete);
        archive.m_pDocument = this;
        // An empty file has nothing to read: the document stays empty without serialising.
        if (file.GetLength() != 0)
            Serialize(archive);
        archive.Close();
        file.Close();
    } catch (const std::exception& e) {
        file.Abort();
        DeleteContents();
        ReportSaveLoadException(lpszPathName, &e, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(const char* lpszPathName) {
    try {
        // The text goes to a new file beside the old one, which replaces the old one only once it is
        // complete on disk.
        CSafeSave save(lpszPathName);
        CArchive archive(&save.File(), CArchive::store | CArchive::bNoFlushOnDelete);
        archive.m_pDocument = this;
        Serialize(archive);
        archive.Close();
        save.Commit();
    } catch (const std::exception& e) {
        ReportSaveLoadException(lpszPathName, &e, TRUE, AFX_IDP_FAILED_TO_SAVE_DOC);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CDocument::OnCloseDocument() {
    // Destroying a frame destroys its views, which leave the view list.
    while (!m_viewList.empty()) {
        CView* view = m_viewList.front();
        CFrameWnd* frame = view->GetParentFrame();
        if (frame != nullptr)
            frame->DestroyWindow();
        else
            view->DestroyWindow();
    }
    delete this;
}

void CDocument::Serialize(CArchive&) {}

BOOL CDocument::SaveModified() {
    if (!IsModified())
        return TRUE;
    const CString name = m_strPathName.empty() ? m_strTitle : FileTitle(m_strPathName);
    CString prompt = AfxLoadText(AFX_IDP_ASK_TO_SAVE, "Save changes to %1?");
    const auto mark = prompt.find("%1");
    if (mark != CString::npos)
        prompt.replace(mark, 2, name);
    switch (AfxMessageBox(prompt, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDCANCEL:
        return FALSE;
    case IDYES:
        return DoFileSave();
    default:
        return TRUE;
    }
}

BOOL CDocument::CanCloseFrame(CFrameWnd* pFrame) {
    for (CView* view : m_viewList) {
        CFrameWnd* frame = view->GetParentFrame();
        if (frame != nullptr && frame != pFrame)
            return TRUE;
    }
    return SaveModified();
}

void CDocument::ReportSaveLoadException(const char*, const std::exception* e, BOOL, UINT nIDPDefault) {
    if (dynamic_cast<const CUserException*>(e) != nullptr)
        return;
    const char* fallback =
        nIDPDefault == AFX_IDP_FAILED_TO_SAVE_DOC ? "Failed to save document." : "Failed to open document.";
    CString text = AfxLoadText(nIDPDefault, fallback);
    // The reason, when the failure carries one in words (a file error names the file and the cause).
    if (e != nullptr && dynamic_cast<const CArchiveException*>(e) == nullptr) {
        const CString detail = e->what();
        if (!detail.empty())
            text += "\n" + detail;
    }
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

BOOL CDocument::DoPromptFileName(CString& fileName) {
    CString filter;
    CString extension;
    if (m_pDocTemplate != nullptr) {
        m_pDocTemplate->GetDocString(filter, CDocTemplate::filterName);
        m_pDocTemplate->GetDocString(extension, CDocTemplate::filterExt);
    }
    CString framework;
    if (!filter.empty()) {
        const CString pattern = extension.empty() ? CString("*.*") : "*" + extension;
        framework = filter + "|" + pattern + "|";
    }
    framework += "All Files (*.*)|*||";
    CFileDialog dialog(FALSE, extension.empty() ? nullptr : extension.c_str(), fileName.c_str(),
                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, framework.c_str());
    if (dialog.DoModal() != IDOK)
        return FALSE;
    fileName = dialog.GetPathName();
    return TRUE;
}

BOOL CDocument::DoSave(const char* lpszPathName, BOOL bReplace) {
    CString newName = lpszPathName != nullptr ? lpszPathName : "";
    if (newName.empty()) {
        newName = m_strPathName;
        if (bReplace && newName.empty()) {
            // Propose the title, cut before anything a file name cannot hold, with the type's extension.
            newName = m_strTitle.substr(0, m_strTitle.find_first_of(":/\\"));
            CString extension;
            if (m_pDocTemplate != nullptr && m_pDocTemplate->GetDocString(extension, CDocTemplate::filterExt))
                newName += extension;
        }
        if (!DoPromptFileName(newName))
            return FALSE;
    }
    if (!OnSaveDocument(newName.c_str()))
        return FALSE;
    if (bReplace)
        SetPathName(newName.c_str());
    return TRUE;
}

BOOL CDocument::DoFileSave() {
    if (m_strPathName.empty())
        return DoSave(nullptr);
    return DoSave(m_strPathName.c_str());
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    return OnOwnCmdMsg(nID, nCode, pCmdUI, probeOnly);
}
