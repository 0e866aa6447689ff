#include "framework/gui/docview/View.h"

#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/FrameWnd.h"

#include <QWidget>

CView::CView() = default;

CView::~CView() {
    if (m_pDocument != nullptr)
        m_pDocument->RemoveView(this);
}

BOOL CView::Create(CWnd* pParentWnd, CCreateContext* pContext) {
    if (pContext != nullptr && pContext->m_pCurrentDoc != nullptr)
        pContext->m_pCurrentDoc->AddView(this);
    CREATESTRUCT cs;
    cs.style = WS_CHILD | WS_VISIBLE;
    cs.hwndParent = pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : 0;
    if (!PreCreateWindow(cs)) {
        if (m_pDocument != nullptr)
            m_pDocument->RemoveView(this);
        return FALSE;
    }
    QWidget* parentWidget = pParentWnd != nullptr ? pParentWnd->GetWidget() : nullptr;
    AttachWidget(CreateViewWidget(parentWidget), pParentWnd);
    if (OnCreate(&cs) == -1) {
        // Nothing of a refused window remains but the C++ object, which the caller deletes.
        if (m_pDocument != nullptr)
            m_pDocument->RemoveView(this);
        ReleaseWindow();
        return FALSE;
    }
    return TRUE;
}

BOOL CView::PreCreateWindow(CREATESTRUCT&) {
    return TRUE;
}

int CView::OnCreate(LPCREATESTRUCT) {
    return 0;
}

void CView::OnClose() {}

void CView::OnActivateView(BOOL bActivate, CView* pActivateView, CView*) {
    if (bActivate && pActivateView == this)
        SetFocus();
}

BOOL CView::OnPreparePrinting(CPrintInfo*) {
    return FALSE;
}
void CView::OnBeginPrinting(CDC*, CPrintInfo*) {}
void CView::OnPrepareDC(CDC*, CPrintInfo*) {}
void CView::OnPrint(CDC*, CPrintInfo*) {}
void CView::OnEndPrinting(CDC*, CPrintInfo*) {}

BOOL CView::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    if (OnOwnCmdMsg(nID, nCode, pCmdUI, probeOnly))
        return TRUE;
    return m_pDocument != nullptr && m_pDocument->OnCmdMsg(nID, nCode, pCmdUI, probeOnly);
}

BOOL CView::DestroyWindow() {
    if (CFrameWnd* frame = GetParentFrame(); frame != nullptr && frame->GetActiveView() == this)
        frame->SetActiveView(nullptr, FALSE);
    if (m_pDocument != nullptr)
        m_pDocument->RemoveView(this);
    ReleaseWindow();
    PostNcDestroy();
    return TRUE;
}

QWidget* CView::CreateViewWidget(QWidget* parent) {
    return new QWidget(parent);
}
