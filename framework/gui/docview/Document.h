#pragma once

#include "framework/core/CmdTarget.h"
#include "framework/core/WinTypes.h"

#include <vector>

class CArchive;
class CDocTemplate;
class CFrameWnd;
class CView;

// The framework's string ids for document messages; the program's string table may word them its own way.
constexpr UINT AFX_IDP_FAILED_TO_OPEN_DOC = 61697;
constexpr UINT AFX_IDP_FAILED_TO_SAVE_DOC = 61698;
constexpr UINT AFX_IDP_ASK_TO_SAVE = 61699;
constexpr UINT AFX_IDP_FAILED_TO_CREATE_DOC = 61700;
constexpr UINT AFX_IDP_FILE_TOO_LARGE = 61701;

// Standard command ids that documents serve.
constexpr UINT ID_FILE_SAVE = 57603;
constexpr UINT ID_FILE_SAVE_AS = 57604;

// A document: its title, the file it belongs to, whether it changed since it was last saved or loaded, and
// the views that show it. Saving writes a new file beside the old one and renames it into place, so a
// failure or crash in the middle of a save leaves the previous file whole; where the folder takes no new
// file but the file itself may be written, it is written over in place (see CSafeSave).
class CDocument : public CCmdTarget {
public:
    CDocument();
    ~CDocument() override;

    const CString& GetTitle() const { return m_strTitle; }
    // Sets the title and shows it in the captions of the document's frames.
    virtual void SetTitle(const char* lpszTitle);
    const CString& GetPathName() const { return m_strPathName; }
    // Sets the file; the title becomes the file's name.
    virtual void SetPathName(const char* lpszPathName, BOOL bAddToMRU = TRUE);

    virtual BOOL IsModified() { return m_bModified; }
    virtual void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

    // Views, in the order they were added.
    void AddView(CView* pView);
    void RemoveView(CView* pView);
    const std::vector<CView*>& GetViews() const { return m_viewList; }
    CView* GetFirstView() const { return m_viewList.empty() ? nullptr : m_viewList.front(); }

    // The framework's document operations.
    virtual BOOL OnNewDocument();
    virtual BOOL OnOpenDocument(const char* lpszPathName);
    virtual BOOL OnSaveDocument(const char* lpszPathName);
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    virtual void Serialize(CArchive& ar);
    // Asks "Save changes to ...?" for a modified document; FALSE when the user cancels or the save fails.
    virtual BOOL SaveModified();
    // TRUE when the frame may close: not the last frame of the document, or the document let go.
    virtual BOOL CanCloseFrame(CFrameWnd* pFrame);
    // Shows the framework's message for a failed save or load. A user exception has been reported already.
    virtual void ReportSaveLoadException(const char* lpszPathName, const std::exception* e, BOOL bSaving,
                                         UINT nIDPDefault);

    // Saves to lpszPathName; an empty or null name asks for one, proposing the title with the document
    // type's extension. With bReplace the document takes the new file as its path and title.
    BOOL DoSave(const char* lpszPathName, BOOL bReplace = TRUE);
    BOOL DoFileSave();
    // Asks for a file name to save to; FALSE when the user cancels.
    virtual BOOL DoPromptFileName(CString& fileName);

    // Command handlers of the standard document commands.
    void OnFileSave() { DoFileSave(); }
    void OnFileSaveAs() { DoSave(nullptr); }

    // Offers a command to the document's own table, then to nothing else.
    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) override;

    // Set by the template that made the document.
    CDocTemplate* m_pDocTemplate = nullptr;

protected:
    // Recomputes the captions of every frame that shows this document.
    void UpdateFrameTitles();

    CString m_strTitle;
    CString m_strPathName;
    BOOL m_bModified = FALSE;
    std::vector<CView*> m_viewList;
};
