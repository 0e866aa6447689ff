#include "framework/gui/MDIChildWnd.h"

#include "framework/gui/MDIFrameWnd.h"
#include "framework/gui/View.h"
#include "framework/gui/Document.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

class ChildWindow : public QMdiSubWindow {
protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromWidget(this)))
            frame->OnClose();
    }
};

} // namespace

CMDIChildWnd::CMDIChildWnd() = default;

CMDIChildWnd::~CMDIChildWnd() = default;

QWidget* CMDIChildWnd::CreateFrameWidget(CWnd* pParentWnd) {
    auto* sub = new ChildWindow;
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    if (auto* frame = dynamic_cast<CMDIFrameWnd*>(pParentWnd); frame != nullptr && frame->GetMdiArea() != nullptr)
        frame->GetMdiArea()->addSubWindow(sub);
    return sub;
}

QMdiSubWindow* CMDIChildWnd::GetSubWindow() const { return qobject_cast<QMdiSubWindow*>(GetWidget()); }

CMDIFrameWnd* CMDIChildWnd::GetMDIFrame() const { return dynamic_cast<CMDIFrameWnd*>(m_pParent); }

void CMDIChildWnd::MDIActivate() {
    if (CMDIFrameWnd* frame = GetMDIFrame())
        frame->MDIActivate(this);
}

void CMDIChildWnd::MDIMaximize() {
    if (QMdiSubWindow* sub = GetSubWindow())
        sub->showMaximized();
}

void CMDIChildWnd::OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd*) {
    if (bActivate && pActivateWnd == this && m_pViewActive != nullptr)
        m_pViewActive->OnActivateView(TRUE, m_pViewActive, nullptr);
}

BOOL CMDIChildWnd::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    // The main frame and the application come after the child; the main frame routes to them.
    return RouteToViewAndSelf(nID, nCode, pCmdUI, probeOnly);
}

void CMDIChildWnd::OnUpdateFrameTitle(BOOL) {
    CDocument* document = GetActiveDocument();
    CWnd::SetWindowText(document != nullptr ? document->GetTitle() : m_strTitle);
    if (CMDIFrameWnd* frame = GetMDIFrame(); frame != nullptr && frame->MDIGetActive() == this)
        frame->OnUpdateFrameTitle(TRUE);
}

BOOL CMDIChildWnd::DestroyWindow() {
    CMDIFrameWnd* frame = GetMDIFrame();
    QMdiSubWindow* sub = GetSubWindow();
    const bool wasActive = frame != nullptr && frame->MDIGetActive() == this;
    if (frame != nullptr && sub != nullptr && frame->GetMdiArea() != nullptr)
        frame->GetMdiArea()->removeSubWindow(sub);
    if (wasActive) {
        // The next child (if any) becomes the active one, as the platform's MDI area does.
        std::vector<CMDIChildWnd*> others = frame->GetChildFrames();
        frame->OnChildActivated(nullptr);
        if (!others.empty())
            frame->MDIActivate(others.back());
    }
    return CFrameWnd::DestroyWindow();
}
