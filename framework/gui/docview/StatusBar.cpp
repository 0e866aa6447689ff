#include "framework/gui/docview/StatusBar.h"

#include "framework/core/CmdUI.h"
#include "framework/core/Resource.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/gui/drawing/JoinedRepaint.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QStatusTipEvent>

namespace {

// Each pane keeps a little room on both sides of its text, as a pane's border does, so neighbours do not
// run together; an empty pane takes none.
constexpr int kPanePadding = 4;

void SizePane(QLabel* label, int textWidth) {
    label->setFixedWidth(textWidth > 0 ? textWidth + 2 * kPanePadding : 0);
    label->setVisible(textWidth > 0);
}

QString ToQString(const CString& text) {
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

// A status bar pane takes the enabled state; the frame's handlers set the text themselves.
class CStatusCmdUI : public CCmdUI {
public:
    CStatusCmdUI(UINT nID, CStatusBar* bar) : CCmdUI(nID), m_bar(bar) {}
    void Enable(BOOL bOn) override {
        CCmdUI::Enable(bOn);
        if (QLabel* label = m_bar->GetPaneLabel(static_cast<int>(m_nIndex)))
            label->setEnabled(bOn != FALSE);
    }
    void SetText(const char* lpszText) override {
        CCmdUI::SetText(lpszText);
        m_bar->SetPaneText(static_cast<int>(m_nIndex), m_strText);
    }

private:
    CStatusBar* m_bar;
};

// The prompts of menu items and buttons arrive at the main window as status tips; they go to the message
// pane instead of replacing the whole bar, as Qt would do by itself. The widgets outlive the bar object
// for a moment when the frame goes (a button the pointer leaves, a menu that closes still sends its tip),
// so the bar is looked up by its handle each time and a tip for a bar that is gone is dropped.
class StatusTipFilter : public QObject {
public:
    StatusTipFilter(QObject* parent, HWND bar) : QObject(parent), m_bar(bar) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::StatusTip)
            return false;
        if (auto* bar = dynamic_cast<CStatusBar*>(CWnd::FromHandle(m_bar))) {
            const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
            bar->ShowPrompt(tip.toLatin1().toStdString());
        }
        return true;
    }

private:
    HWND m_bar;
};

} // namespace

CStatusBar::CStatusBar() = default;

// The handle goes while the object is still whole, so nothing that looks the bar up finds it half destroyed.
CStatusBar::~CStatusBar() {
    ReleaseWindow();
}

BOOL CStatusBar::Create(CFrameWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    QMainWindow* window = pParentWnd != nullptr ? pParentWnd->GetMainWindowWidget() : nullptr;
    if (window == nullptr || GetWidget() != nullptr)
        return FALSE;
    m_statusBar = new QStatusBar(window);
    m_statusBar->setSizeGripEnabled(true);
    window->setStatusBar(m_statusBar);
    AttachWidget(m_statusBar, pParentWnd);
    window->installEventFilter(new StatusTipFilter(m_statusBar, GetSafeHwnd()));
    AttachToFrame(pParentWnd, nID, dwStyle);
    m_statusBar->setVisible((dwStyle & WS_VISIBLE) != 0);
    return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount) {
    if (m_statusBar == nullptr || lpIDArray == nullptr || nIDCount < 1)
        return FALSE;
    for (Pane& pane : m_panes)
        delete pane.label;
    m_panes.clear();
    for (int i = 0; i < nIDCount; ++i) {
        Pane pane;
        pane.id = lpIDArray[i];
        pane.style = i == 0 ? SBPS_STRETCH : SBPS_NORMAL;
        pane.label = new QLabel(m_statusBar);
        pane.label->setContentsMargins(i == 0 ? 0 : kPanePadding, 0, i == 0 ? 0 : kPanePadding, 0);
        pane.label->setIndent(0);
        const char* initial = pane.id != ID_SEPARATOR ? AfxLoadString(pane.id) : nullptr;
        const CString text = initial != nullptr ? initial : "";
        pane.label->setText(ToQString(text));
        if (i == 0) {
            m_statusBar->addWidget(pane.label, 1);
        } else {
            pane.width = GetTextWidth(text);
            SizePane(pane.label, pane.width);
            m_statusBar->addPermanentWidget(pane.label);
        }
        m_panes.push_back(pane);
    }
    return TRUE;
}

int CStatusBar::CommandToIndex(UINT nIDFind) const {
    for (size_t i = 0; i < m_panes.size(); ++i) {
        if (m_panes[i].id == nIDFind)
            return static_cast<int>(i);
    }
    return -1;
}

UINT CStatusBar::GetItemID(int nIndex) const {
    return nIndex >= 0 && nIndex < GetCount() ? m_panes[nIndex].id : 0;
}

QLabel* CStatusBar::GetPaneLabel(int nIndex) const {
    return nIndex >= 0 && nIndex < GetCount() ? m_panes[nIndex].label : nullptr;
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const {
    if (nIndex < 0 || nIndex >= GetCount()) {
        nID = 0;
        nStyle = 0;
        cxWidth = 0;
        return;
    }
    nID = m_panes[nIndex].id;
    nStyle = m_panes[nIndex].style;
    cxWidth = m_panes[nIndex].width;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth) {
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    Pane& pane = m_panes[nIndex];
    pane.id = nID;
    pane.style = nStyle;
    if (nIndex == 0 || pane.width == cxWidth)
        return;
    pane.width = cxWidth < 0 ? 0 : cxWidth;
    // An empty pane takes no room at all, not even the gap the bar keeps between its items.
    SizePane(pane.label, pane.width);
}

BOOL CStatusBar::SetPaneText(int nIndex, const CString& text, BOOL bUpdate) {
    if (nIndex < 0 || nIndex >= GetCount())
        return FALSE;
    QLabel* label = m_panes[nIndex].label;
    const QString shown = ToQString(text);
    if (label->text() != shown) {
        // Once the bar has laid the pane out, its height is held too: a label of fixed size takes a new
        // text without asking the bar to lay out all its panes again, so the clock's tick repaints the
        // clock's pane alone.
        if (label->isVisible() && label->minimumWidth() == label->maximumWidth() &&
            label->minimumHeight() != label->height())
            label->setFixedHeight(label->height());
        // An indicator's new text (the clock's tick) goes with the next paint of a view that is showing
        // data, rather than making a paint of the window of its own; the message pane shows at once.
        if (nIndex > 0) {
            JoinedRepaint::Change(label, [&] { label->setText(shown); });
        } else {
            label->setText(shown);
            if (bUpdate)
                label->update();
        }
    }
    return TRUE;
}

CString CStatusBar::GetPaneText(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount())
        return CString();
    return m_panes[nIndex].label->text().toLatin1().toStdString();
}

int CStatusBar::GetTextWidth(const CString& text) const {
    if (m_statusBar == nullptr)
        return 0;
    return QFontMetrics(m_statusBar->font()).horizontalAdvance(ToQString(text));
}

void CStatusBar::SetMessageText(const CString& text) {
    m_strIdle = text;
    ApplyMessagePane();
}

void CStatusBar::ShowPrompt(const CString& prompt) {
    m_bPromptShown = !prompt.empty();
    m_strPrompt = prompt;
    ApplyMessagePane();
}

void CStatusBar::ApplyMessagePane() {
    if (!m_panes.empty())
        SetPaneText(0, m_bPromptShown ? m_strPrompt : m_strIdle);
}

void CStatusBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) {
    for (size_t i = 1; i < m_panes.size(); ++i) {
        CStatusCmdUI state(m_panes[i].id, this);
        state.m_nIndex = static_cast<UINT>(i);
        state.DoUpdate(pTarget, bDisableIfNoHndler);
    }
}
