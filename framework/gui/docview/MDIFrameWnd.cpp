#include "framework/gui/docview/MDIFrameWnd.h"

#include "framework/core/CmdUI.h"
#include "framework/core/WinApp.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/MdiLayout.h"
#include "framework/gui/docview/View.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

class MdiFrameWindow : public QMainWindow {
protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromWidget(this)))
            frame->OnClose();
    }
};

CMDIChildWnd* ChildOf(QMdiSubWindow* sub) {
    return dynamic_cast<CMDIChildWnd*>(CWnd::FromWidget(sub));
}

} // namespace

CMDIFrameWnd::CMDIFrameWnd() {
    AddCommandHandler(ID_WINDOW_ARRANGE, [this]() { MDIIconArrange(); });
    AddCommandHandler(ID_WINDOW_CASCADE, [this]() { MDICascade(); });
    AddCommandHandler(ID_WINDOW_TILE_HORZ, [this]() { MDITile(TRUE); });
    AddCommandHandler(ID_WINDOW_TILE_VERT, [this]() { MDITile(FALSE); });
    for (UINT id : {ID_WINDOW_ARRANGE, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_TILE_VERT})
        AddUpdateHandler(id, [this](CCmdUI* ui) { ui->Enable(!GetChildFrames().empty()); });
}

CMDIFrameWnd::~CMDIFrameWnd() = default;

QWidget* CMDIFrameWnd::CreateFrameWidget(CWnd*) {
    auto* window = new MdiFrameWindow;
    m_mdiArea = new QMdiArea(window);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    window->setCentralWidget(m_mdiArea);
    // The area outlives the frame object for a moment (until the event loop deletes the window) and reports
    // activations while its children go: the frame is looked up from its window each time.
    QMdiArea* area = m_mdiArea;
    QObject::connect(m_mdiArea, &QMdiArea::subWindowActivated, window, [window, area](QMdiSubWindow* sub) {
        auto* frame = dynamic_cast<CMDIFrameWnd*>(CWnd::FromWidget(window));
        if (frame == nullptr)
            return;
        // A null activation also comes when the main window merely loses the focus: only a child that
        // really changes (or the last one going) counts.
        if (sub != nullptr) {
            if (CMDIChildWnd* child = ChildOf(sub))
                frame->OnChildActivated(child);
        } else if (area->subWindowList().isEmpty()) {
            frame->OnChildActivated(nullptr);
        }
    });
    return window;
}

std::vector<CMDIChildWnd*> CMDIFrameWnd::GetChildFrames() const {
    std::vector<CMDIChildWnd*> children;
    if (m_mdiArea == nullptr)
        return children;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (CMDIChildWnd* child = ChildOf(sub))
            children.push_back(child);
    }
    return children;
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive(BOOL* pbMaximized) const {
    CMDIChildWnd* active = nullptr;
    if (m_pLastActive != nullptr) {
        for (CMDIChildWnd* child : GetChildFrames()) {
            if (child == m_pLastActive)
                active = child;
        }
    }
    if (pbMaximized != nullptr)
        *pbMaximized =
            active != nullptr && active->GetWidget() != nullptr && active->GetWidget()->isMaximized();
    return active;
}

void CMDIFrameWnd::MDIActivate(CWnd* pWndActivate) {
    auto* child = dynamic_cast<CMDIChildWnd*>(pWndActivate);
    if (child == nullptr || m_mdiArea == nullptr)
        return;
    if (QMdiSubWindow* sub = child->GetSubWindow())
        m_mdiArea->setActiveSubWindow(sub);
    // Without a window system focus (offscreen, or the program in the background) Qt may not report the
    // activation, so it is applied here as well; a second report of the same child changes nothing.
    OnChildActivated(child);
}

void CMDIFrameWnd::OnChildActivated(CMDIChildWnd* pChild) {
    CMDIChildWnd* previous = m_pLastActive;
    if (previous == pChild) {
        OnUpdateFrameTitle(TRUE);
        return;
    }
    m_pLastActive = pChild;
    if (previous != nullptr)
        previous->OnMDIActivate(FALSE, pChild, previous);
    if (pChild != nullptr)
        pChild->OnMDIActivate(TRUE, pChild, previous);
    OnUpdateFrameTitle(TRUE);
}

void CMDIFrameWnd::MDICascade() {
    if (m_mdiArea != nullptr)
        m_mdiArea->cascadeSubWindows();
}

void CMDIFrameWnd::MDITile(BOOL bHorizontal) {
    if (m_mdiArea == nullptr)
        return;
    // Minimised windows keep their place; a maximised one is restored first, as the tiles replace it.
    std::vector<QMdiSubWindow*> tiled;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isHidden() || sub->isMinimized())
            continue;
        if (sub->isMaximized())
            sub->showNormal();
        tiled.push_back(sub);
    }
    // Tiled horizontally, the windows lie one above the other, each as wide as the area.
    const std::vector<QRect> places =
        TileGeometries(m_mdiArea->viewport()->size(), static_cast<int>(tiled.size()),
                       bHorizontal ? MdiTiling::Stacked : MdiTiling::SideBySide);
    for (size_t i = 0; i < tiled.size(); ++i)
        tiled[i]->setGeometry(places[i]);
}

void CMDIFrameWnd::MDIIconArrange() {
    if (m_mdiArea == nullptr)
        return;
    // Minimised children line up along the bottom of the area.
    int x = 0;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized())
            continue;
        sub->move(x, m_mdiArea->viewport()->height() - sub->height());
        x += sub->width();
    }
}

CDocument* CMDIFrameWnd::GetActiveDocument() {
    CMDIChildWnd* child = MDIGetActive();
    return child != nullptr ? child->GetActiveDocument() : nullptr;
}

CFrameWnd* CMDIFrameWnd::GetActiveFrame() {
    CMDIChildWnd* child = MDIGetActive();
    return child != nullptr ? static_cast<CFrameWnd*>(child) : this;
}

void CMDIFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    CString caption = m_strTitle;
    BOOL maximized = FALSE;
    CMDIChildWnd* active = MDIGetActive(&maximized);
    CDocument* document = GetActiveDocument();
    if (maximized) {
        // A maximised child shows no caption of its own: its caption follows the frame's title in brackets,
        // once (Qt adds it to a caption that lacks it, after whatever the caption already says).
        CString child;
        active->GetWindowText(child);
        if (!child.empty())
            caption += " - [" + child + "]";
    } else if (bAddToTitle && (m_dwStyle & FWS_ADDTOTITLE) != 0 && document != nullptr) {
        caption += " - " + document->GetTitle();
    }
    CWnd::SetWindowText(caption);
}

BOOL CMDIFrameWnd::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    // The active child first (its view, the view's document, the child), then this frame, then the
    // application.
    if (CMDIChildWnd* child = MDIGetActive();
        child != nullptr && child->OnCmdMsg(nID, nCode, pCmdUI, probeOnly))
        return TRUE;
    return CFrameWnd::OnCmdMsg(nID, nCode, pCmdUI, probeOnly);
}

BOOL CMDIFrameWnd::SaveAllModified() {
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return TRUE;
    for (const auto& docTemplate : app->GetDocTemplates()) {
        // Copy: a failed save may not change the list, but a document is asked exactly once.
        const std::vector<CDocument*> documents = docTemplate->GetDocuments();
        for (CDocument* document : documents) {
            if (!document->SaveModified())
                return FALSE;
        }
    }
    return TRUE;
}

void CMDIFrameWnd::CloseAllDocuments() {
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return;
    for (const auto& docTemplate : app->GetDocTemplates()) {
        while (!docTemplate->GetDocuments().empty())
            docTemplate->GetDocuments().front()->OnCloseDocument();
    }
}

void CMDIFrameWnd::OnClose() {
    if (!SaveAllModified())
        return;
    // Each window's close request reaches its view before the documents go.
    for (CMDIChildWnd* child : GetChildFrames()) {
        if (CView* view = child->GetActiveView())
            view->OnClose();
    }
    CloseAllDocuments();
    DestroyWindow();
}
