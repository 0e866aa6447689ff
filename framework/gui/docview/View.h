#pragma once

#include "framework/gui/windows/Wnd.h"

class CDC;
class CDocument;
class CFrameWnd;
class CPrintInfo;
struct CCreateContext;

// Standard command ids that views serve.
constexpr UINT ID_FILE_PRINT = 57607;
constexpr UINT ID_FILE_PRINT_DIRECT = 57608;
constexpr UINT ID_FILE_PRINT_PREVIEW = 57609;

// A view shows its document inside a frame. It is created by the document template with the frame as its
// parent, and destroyed (and deleted) with the frame.
class CView : public CWnd {
public:
    CView();
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }

    // Creates the view's widget inside the parent frame: PreCreateWindow, the widget, the handle, OnCreate.
    // FALSE, with nothing of the window left, when PreCreateWindow or OnCreate refuses.
    BOOL Create(CWnd* pParentWnd, CCreateContext* pContext);

    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // 0 to go on, -1 to refuse the window.
    virtual int OnCreate(LPCREATESTRUCT lpCreateStruct);
    // A request to close reaching the view; the default closes the frame that holds it.
    virtual void OnClose();
    virtual void OnInitialUpdate() {}
    virtual void OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView);

    // The printing sequence's hooks, in the order the framework calls them. The defaults print nothing.
    virtual BOOL OnPreparePrinting(CPrintInfo* pInfo);
    virtual void OnBeginPrinting(CDC* pDC, CPrintInfo* pInfo);
    virtual void OnPrepareDC(CDC* pDC, CPrintInfo* pInfo);
    virtual void OnPrint(CDC* pDC, CPrintInfo* pInfo);
    virtual void OnEndPrinting(CDC* pDC, CPrintInfo* pInfo);
    // Shows the print dialog (not for a preview or a direct job); FALSE when the user cancels.
    BOOL DoPreparePrinting(CPrintInfo* pInfo);
    // The standard print commands. The direct one prints on the application's printer without the print
    // dialog.
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();

    // Offers a command to the view's own table, then to its document.
    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) override;
    BOOL DestroyWindow() override;

    // Set by the template (through the creation context) before the window is created.
    CDocument* m_pDocument = nullptr;

protected:
    // Makes the widget of this kind of view, as a child of parent.
    virtual QWidget* CreateViewWidget(QWidget* parent);
    void PostNcDestroy() override { delete this; }
};
