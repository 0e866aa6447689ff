#pragma once

#include "framework/gui/windows/Wnd.h"

#include <vector>

class CDocTemplate;
class CDocument;
class CView;
class QMainWindow;

// Frame styles.
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;

// Standard command ids that frames serve.
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_VIEW_TOOLBAR = 59392;
constexpr UINT ID_VIEW_STATUS_BAR = 59393;

// What the template hands to a new frame: the document and the view to make inside it.
struct CCreateContext {
    CDocument* m_pCurrentDoc = nullptr;
    CDocTemplate* m_pNewDocTemplate = nullptr;
    CView* m_pNewView = nullptr; // made by the template, created by the frame
};

// A frame window: it holds views, keeps the active one and routes commands (active view, its document, the
// frame itself, and for the main window the application).
class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the frame: title from string nIDResource (the part before the first "\n"), widget, handle,
    // OnCreate, and the view of the creation context. When any step refuses, the frame destroys itself (the
    // C++ object included, as the framework's frames do) and FALSE comes back: drop the pointer then.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // 0 to go on, -1 to refuse the frame. The default creates the context's view.
    virtual int OnCreate(LPCREATESTRUCT lpCreateStruct);
    // A close request: asks the document to let go (save prompt), then destroys the frame.
    virtual void OnClose();

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* pViewNew, BOOL bNotify = TRUE);
    // The document of the active view; for an MDI frame, of the active child.
    virtual CDocument* GetActiveDocument();
    // The frame whose view has the focus: this one, or for an MDI frame the active child.
    virtual CFrameWnd* GetActiveFrame() { return this; }

    // Makes the view of the context inside this frame. Null when the view refuses its creation.
    CView* CreateView(CCreateContext* pContext);
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
    // Recomputes the caption from the title and the active document.
    virtual void OnUpdateFrameTitle(BOOL bAddToTitle);
    void SetTitle(const char* lpszTitle) { m_strTitle = lpszTitle; }
    const CString& GetTitle() const { return m_strTitle; }
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    // Status bar's message pane; frames with a status bar override it.
    virtual void SetMessageText(const char* lpszText);

    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) override;
    BOOL DestroyWindow() override;
    void SetWindowText(const CString& text) override;
    void GetWindowText(CString& text) const override;

    QMainWindow* GetMainWindowWidget() const;

    DWORD m_dwStyle = 0;
    UINT m_nIDHelp = 0;

protected:
    // Makes the frame's widget; the default is a QMainWindow.
    virtual QWidget* CreateFrameWidget(CWnd* pParentWnd);
    // Offers a command to the active view (and through it to its document), then to the frame's table.
    BOOL RouteToViewAndSelf(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly);
    void PostNcDestroy() override { delete this; }

    CView* m_pViewActive = nullptr;
    CString m_strTitle;
    CCreateContext* m_pCreateContext = nullptr; // valid only during LoadFrame
    std::vector<CView*> m_views;                // the views this frame made, destroyed with it
};
