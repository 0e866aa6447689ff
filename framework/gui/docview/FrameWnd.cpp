#include "framework/gui/docview/FrameWnd.h"

#include "framework/core/Resource.h"
#include "framework/core/WinApp.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/View.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiSubWindow>

#include <algorithm>

namespace {

// A frame's top-level window: a close request goes to the frame, which decides.
class FrameWindow : public QMainWindow {
protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromWidget(this)))
            frame->OnClose();
    }
};

} // namespace

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() = default;

QWidget* CFrameWnd::CreateFrameWidget(CWnd*) {
    return new FrameWindow;
}

QMainWindow* CFrameWnd::GetMainWindowWidget() const {
    return qobject_cast<QMainWindow*>(GetWidget());
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT&) {
    return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd,
                          CCreateContext* pContext) {
    m_nIDHelp = nIDResource;
    if (const char* text = AfxLoadString(nIDResource)) {
        const CString title = text;
        m_strTitle = title.substr(0, title.find('\n'));
    }
    CREATESTRUCT cs;
    cs.style = dwDefaultStyle;
    cs.hwndParent = pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : 0;
    cs.lpszName = m_strTitle;
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    m_dwStyle = cs.style;
    QWidget* widget = CreateFrameWidget(pParentWnd);
    AttachWidget(widget, pParentWnd);
    m_pCreateContext = pContext;
    const int created = OnCreate(&cs);
    m_pCreateContext = nullptr;
    if (created == -1) {
        DestroyWindow();
        return FALSE;
    }
    OnUpdateFrameTitle(TRUE);
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT) {
    if (m_pCreateContext != nullptr && m_pCreateContext->m_pNewView != nullptr) {
        if (CreateView(m_pCreateContext) == nullptr)
            return -1;
    }
    return 0;
}

CView* CFrameWnd::CreateView(CCreateContext* pContext) {
    CView* view = pContext->m_pNewView;
    pContext->m_pNewView = nullptr;
    if (view == nullptr)
        return nullptr;
    if (!view->Create(this, pContext)) {
        delete view;
        return nullptr;
    }
    m_views.push_back(view);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(GetWidget()))
        sub->setWidget(view->GetWidget());
    else if (QMainWindow* window = GetMainWindowWidget();
             window != nullptr && window->centralWidget() == nullptr)
        window->setCentralWidget(view->GetWidget());
    SetActiveView(view, FALSE);
    return view;
}

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL bNotify) {
    CView* old = m_pViewActive;
    if (old == pViewNew)
        return;
    m_pViewActive = pViewNew;
    if (!bNotify)
        return;
    if (old != nullptr)
        old->OnActivateView(FALSE, pViewNew, old);
    if (pViewNew != nullptr)
        pViewNew->OnActivateView(TRUE, pViewNew, old);
}

CDocument* CFrameWnd::GetActiveDocument() {
    return m_pViewActive != nullptr ? m_pViewActive->GetDocument() : nullptr;
}

void CFrameWnd::InitialUpdateFrame(CDocument*, BOOL bMakeVisible) {
    for (CView* view : m_views)
        view->OnInitialUpdate();
    if (bMakeVisible) {
        ShowWindow(SW_SHOW);
        if (m_pViewActive != nullptr)
            m_pViewActive->ShowWindow(SW_SHOW);
    }
    OnUpdateFrameTitle(TRUE);
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    CString caption = m_strTitle;
    CDocument* document = GetActiveDocument();
    if (bAddToTitle && (m_dwStyle & FWS_ADDTOTITLE) != 0 && document != nullptr)
        caption = document->GetTitle() + " - " + m_strTitle;
    CWnd::SetWindowText(caption);
}

void CFrameWnd::SetWindowText(const CString& text) {
    CWnd::SetWindowText(text);
}

void CFrameWnd::GetWindowText(CString& text) const {
    CWnd::GetWindowText(text);
}

void CFrameWnd::RecalcLayout(BOOL) {
    if (QWidget* widget = GetWidget())
        widget->updateGeometry();
}

void CFrameWnd::SetMessageText(const char*) {}

void CFrameWnd::OnClose() {
    CDocument* document = GetActiveDocument();
    if (document != nullptr && !document->CanCloseFrame(this))
        return;
    // The close request reaches the view before the window goes.
    if (m_pViewActive != nullptr)
        m_pViewActive->OnClose();
    if (document != nullptr) {
        bool otherFrame = false;
        for (CView* view : document->GetViews()) {
            if (view->GetParentFrame() != this)
                otherFrame = true;
        }
        if (!otherFrame) {
            document->OnCloseDocument();
            return;
        }
    }
    DestroyWindow();
}

BOOL CFrameWnd::RouteToViewAndSelf(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    if (m_pViewActive != nullptr && m_pViewActive->OnCmdMsg(nID, nCode, pCmdUI, probeOnly))
        return TRUE;
    return OnOwnCmdMsg(nID, nCode, pCmdUI, probeOnly);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    if (RouteToViewAndSelf(nID, nCode, pCmdUI, probeOnly))
        return TRUE;
    // A top-level frame hands what nobody took to the application.
    CWinApp* app = AfxGetApp();
    return GetParentFrame() == nullptr && app != nullptr && app->OnCmdMsg(nID, nCode, pCmdUI, probeOnly);
}

BOOL CFrameWnd::DestroyWindow() {
    m_pViewActive = nullptr;
    std::vector<CView*> views;
    views.swap(m_views);
    for (CView* view : views)
        view->DestroyWindow();
    CWinApp* app = AfxGetApp();
    const bool mainWindow = app != nullptr && app->m_pMainWnd == this;
    ReleaseWindow();
    if (mainWindow) {
        // The end of the main window is the end of the message loop.
        app->m_pMainWnd = nullptr;
        QCoreApplication::quit();
    }
    PostNcDestroy();
    return TRUE;
}

// A window's frame is found where frames are known, so the window layer below needs no frame.
CFrameWnd* CWnd::GetParentFrame() const {
    for (CWnd* parent = m_pParent; parent != nullptr; parent = parent->m_pParent) {
        if (auto* frame = dynamic_cast<CFrameWnd*>(parent))
            return frame;
    }
    return nullptr;
}
