#include "framework/gui/docview/MDIChildWnd.h"

#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/docview/MdiLayout.h"
#include "framework/gui/docview/View.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>

#include <algorithm>

namespace {

// The least a new terminal window shows: this many columns and lines of its text.
constexpr int kMinimumColumns = 40;
constexpr int kMinimumLines = 5;

// The room an area offers its windows. Before the main window first shows, its layout has not placed the
// area yet: it is placed here, so that the first window is sized like every later one.
QSize FreeArea(QMdiArea* area) {
    if (!area->isVisible()) {
        if (QLayout* layout = area->window()->layout())
            layout->activate();
        return area->contentsRect().size();
    }
    return area->viewport()->size();
}

// The least size of a child frame: the minimum text of the view in the larger of the view's font and the
// fixed font (the view gets its own font a moment later), its frame and a scroll bar, and the child's
// border and title bar.
QSize MinimumFrameSize(QMdiSubWindow* sub) {
    QWidget* view = sub->widget();
    const QFontMetrics viewFont(view != nullptr ? view->font() : sub->font());
    const QFontMetrics fixedFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int column = std::max(viewFont.averageCharWidth(), fixedFont.averageCharWidth());
    const int line = std::max(viewFont.lineSpacing(), fixedFont.lineSpacing());
    QStyle* style = sub->style();
    const int scrollBar = style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, sub);
    const int viewFrame = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, sub);
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
    const int titleBar =
        std::max(style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub), sub->fontMetrics().height());
    return QSize(kMinimumColumns * column + scrollBar + viewFrame + 2 * border,
                 kMinimumLines * line + scrollBar + viewFrame + titleBar + border);
}

// One cascade step: the height of a title bar and its border, so each title stays readable.
int CascadeStep(QMdiSubWindow* sub) {
    QStyle* style = sub->style();
    return std::max(style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub),
                    sub->fontMetrics().height()) +
           style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
}

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
    if (auto* frame = dynamic_cast<CMDIFrameWnd*>(pParentWnd);
        frame != nullptr && frame->GetMdiArea() != nullptr)
        frame->GetMdiArea()->addSubWindow(sub);
    // Maximising and restoring change what the main window's caption says of this child.
    QObject::connect(sub, &QMdiSubWindow::windowStateChanged, sub, [sub]() {
        auto* child = dynamic_cast<CMDIChildWnd*>(CWnd::FromWidget(sub));
        CMDIFrameWnd* frame = child != nullptr ? child->GetMDIFrame() : nullptr;
        if (frame != nullptr && frame->MDIGetActive() == child)
            frame->OnUpdateFrameTitle(TRUE);
    });
    return sub;
}

BOOL CMDIChildWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd,
                             CCreateContext* pContext) {
    // A refused frame has destroyed itself.
    if (!CFrameWnd::LoadFrame(nIDResource, dwDefaultStyle, pParentWnd, pContext))
        return FALSE;
    PlaceInArea();
    return TRUE;
}

void CMDIChildWnd::PlaceInArea() {
    QMdiSubWindow* sub = GetSubWindow();
    CMDIFrameWnd* frame = GetMDIFrame();
    QMdiArea* area = frame != nullptr ? frame->GetMdiArea() : nullptr;
    if (sub == nullptr || area == nullptr)
        return;
    // The area would give a child added before its view the size of an empty one, a bare title bar.
    const int others = static_cast<int>(area->subWindowList().size()) - 1;
    sub->setGeometry(CascadeGeometry(FreeArea(area), others, CascadeStep(sub), MinimumFrameSize(sub)));
}

QMdiSubWindow* CMDIChildWnd::GetSubWindow() const {
    return qobject_cast<QMdiSubWindow*>(GetWidget());
}

CMDIFrameWnd* CMDIChildWnd::GetMDIFrame() const {
    return dynamic_cast<CMDIFrameWnd*>(m_pParent);
}

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
