#pragma once

#include "framework/core/CmdTarget.h"
#include "framework/core/WinTypes.h"

#include <functional>
#include <vector>

class CDocument;
class CFrameWnd;
class CView;

// Makes documents of one kind together with their frame and view. The document string of the resource id
// gives the names: "\nUntitled \nTEXT Document\nText Files (*.txt)\n.txt\n..." (window title, document
// name, file-new name, filter name, filter extension, file type id, file type name).
class CDocTemplate : public CCmdTarget {
public:
    enum DocStringIndex {
        windowTitle = 0,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName
    };
    using DocumentFactory = std::function<CDocument*()>;
    using FrameFactory = std::function<CFrameWnd*()>;
    using ViewFactory = std::function<CView*()>;

    CDocTemplate(UINT nIDResource, DocumentFactory makeDocument, FrameFactory makeFrame,
                 ViewFactory makeView);
    ~CDocTemplate() override;

    // One field of the document string; FALSE and an empty text when it is missing.
    BOOL GetDocString(CString& rString, DocStringIndex index) const;
    // A new empty document (null path) or one loaded from a file, in a new frame with its view. Null when
    // the frame refuses its creation ("failed to create" message), the new document fails or the file
    // cannot be loaded (its own message).
    virtual CDocument* OpenDocumentFile(const char* lpszPathName, BOOL bMakeVisible = TRUE) = 0;
    virtual void SetDefaultTitle(CDocument* pDocument) = 0;

    CDocument* CreateNewDocument();
    CFrameWnd* CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther);
    void InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible = TRUE);

    void AddDocument(CDocument* pDoc);
    void RemoveDocument(CDocument* pDoc);
    const std::vector<CDocument*>& GetDocuments() const { return m_docList; }

    UINT m_nIDResource;

protected:
    DocumentFactory m_makeDocument;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    std::vector<CDocument*> m_docList;
};

// The template of a program with many documents at once: new documents are titled with the document name
// and a running number ("Untitled 1", "Untitled 2", ...), counted only when a document was made.
class CMultiDocTemplate : public CDocTemplate {
public:
    using CDocTemplate::CDocTemplate;

    CDocument* OpenDocumentFile(const char* lpszPathName, BOOL bMakeVisible = TRUE) override;
    void SetDefaultTitle(CDocument* pDocument) override;

    UINT m_nUntitledCount = 0;
};
