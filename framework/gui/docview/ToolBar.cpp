#include "framework/gui/docview/ToolBar.h"

#include "framework/core/CmdUI.h"
#include "framework/core/Resource.h"
#include "framework/gui/docview/FrameWnd.h"

#include <QAction>
#include <QMainWindow>
#include <QToolBar>
#include <QWidget>

namespace {

constexpr int kImageWidth = 16;
constexpr int kImageHeight = 15;

// The state the update handlers ask of a button goes straight to its action.
class CToolCmdUI : public CCmdUI {
public:
    CToolCmdUI(UINT nID, QAction* action) : CCmdUI(nID), m_action(action) {}
    void Enable(BOOL bOn) override {
        CCmdUI::Enable(bOn);
        if (m_action->isEnabled() != (bOn != FALSE))
            m_action->setEnabled(bOn != FALSE);
    }
    void SetCheck(int nCheck) override {
        CCmdUI::SetCheck(nCheck);
        m_action->setCheckable(true);
        if (m_action->isChecked() != (nCheck != 0))
            m_action->setChecked(nCheck != 0);
    }

private:
    QAction* m_action;
};

// "prompt\ntool tip": the part before and the part after the line break.
void SplitPrompt(UINT nID, QString& prompt, QString& tip) {
    const char* text = AfxLoadString(nID);
    const QString whole = QString::fromLatin1(text != nullptr ? text : "");
    const int cut = whole.indexOf('\n');
    prompt = cut < 0 ? whole : whole.left(cut);
    tip = cut < 0 ? QString() : whole.mid(cut + 1);
}

} // namespace

CToolBar::CToolBar() = default;

// The handle goes while the object is still whole, so nothing that looks the bar up finds it half destroyed.
CToolBar::~CToolBar() {
    ReleaseWindow();
}

BOOL CToolBar::Create(CFrameWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    QMainWindow* window = pParentWnd != nullptr ? pParentWnd->GetMainWindowWidget() : nullptr;
    if (window == nullptr || GetWidget() != nullptr)
        return FALSE;
    m_toolBar = new QToolBar(window);
    m_toolBar->setObjectName(QStringLiteral("toolbar%1").arg(nID));
    // The bar stays where the frame put it: it is not dockable.
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->toggleViewAction()->setVisible(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolBar->setIconSize(QSize(kImageWidth, kImageHeight));
    window->addToolBar((dwStyle & CBRS_BOTTOM) != 0 ? Qt::BottomToolBarArea : Qt::TopToolBarArea, m_toolBar);
    AttachWidget(m_toolBar, pParentWnd);
    AttachToFrame(pParentWnd, nID, dwStyle);
    m_toolBar->setVisible((dwStyle & WS_VISIBLE) != 0);
    return TRUE;
}

BOOL CToolBar::LoadBitmap(UINT nIDResource) {
    QPixmap bitmap(QStringLiteral(":/bitmaps/%1.png").arg(nIDResource));
    if (bitmap.isNull() || bitmap.height() < kImageHeight || bitmap.width() < kImageWidth)
        return FALSE;
    m_bitmap = bitmap;
    for (Slot& slot : m_slots)
        ApplyButton(slot);
    return TRUE;
}

int CToolBar::GetImageCount() const {
    return m_bitmap.isNull() ? 0 : m_bitmap.width() / kImageWidth;
}

QPixmap CToolBar::GetImage(int iImage) const {
    if (iImage < 0 || iImage >= GetImageCount())
        return QPixmap();
    return m_bitmap.copy(iImage * kImageWidth, 0, kImageWidth, kImageHeight);
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount) {
    if (nIDCount < 0)
        return FALSE;
    m_slots.assign(static_cast<size_t>(nIDCount), Slot{});
    if (lpIDArray != nullptr) {
        int image = 0;
        for (int i = 0; i < nIDCount; ++i) {
            if (lpIDArray[i] == 0)
                continue;
            m_slots[i] = Slot{lpIDArray[i], TBBS_BUTTON, image++, nullptr};
        }
    }
    Rebuild();
    return TRUE;
}

void CToolBar::SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage) {
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    Slot& slot = m_slots[nIndex];
    const bool kindChanged = ((slot.style & TBBS_SEPARATOR) != 0) != ((nStyle & TBBS_SEPARATOR) != 0);
    const bool changed = kindChanged || slot.id != nID || slot.image != iImage;
    slot.id = nID;
    slot.style = nStyle;
    slot.image = iImage;
    // The idle pass sets the same button every time: only a real change touches the widget.
    if (kindChanged)
        Rebuild();
    else if (changed)
        ApplyButton(slot);
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const {
    if (nIndex < 0 || nIndex >= GetCount()) {
        nID = 0;
        nStyle = TBBS_SEPARATOR;
        iImage = 0;
        return;
    }
    const Slot& slot = m_slots[nIndex];
    nID = slot.id;
    nStyle = slot.style;
    iImage = slot.image;
}

UINT CToolBar::GetItemID(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount() || (m_slots[nIndex].style & TBBS_SEPARATOR) != 0)
        return 0;
    return m_slots[nIndex].id;
}

QAction* CToolBar::GetButtonAction(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount() || (m_slots[nIndex].style & TBBS_SEPARATOR) != 0)
        return nullptr;
    return m_slots[nIndex].action;
}

void CToolBar::Rebuild() {
    if (m_toolBar == nullptr)
        return;
    m_toolBar->clear();
    for (Slot& slot : m_slots) {
        if ((slot.style & TBBS_SEPARATOR) != 0) {
            slot.action = m_toolBar->addSeparator();
            continue;
        }
        auto* action = m_toolBar->addAction(QString());
        slot.action = action;
        // The button outlives the bar object for a moment when the frame goes: the bar is looked up by
        // its handle, and a click that arrives after it is gone does nothing.
        const HWND handle = GetSafeHwnd();
        QObject::connect(action, &QAction::triggered, m_toolBar, [handle, action]() {
            auto* bar = dynamic_cast<CToolBar*>(CWnd::FromHandle(handle));
            if (bar == nullptr || bar->m_pOwnerFrame == nullptr)
                return;
            for (const Slot& each : bar->m_slots) {
                if (each.action == action) {
                    bar->m_pOwnerFrame->OnCmdMsg(each.id, CN_COMMAND, nullptr, FALSE);
                    return;
                }
            }
        });
        ApplyButton(slot);
    }
}

void CToolBar::ApplyButton(Slot& slot) {
    if (slot.action == nullptr || (slot.style & TBBS_SEPARATOR) != 0)
        return;
    QString prompt;
    QString tip;
    SplitPrompt(slot.id, prompt, tip);
    slot.action->setIcon(QIcon(GetImage(slot.image)));
    slot.action->setText(tip.isEmpty() ? prompt : tip);
    slot.action->setToolTip((m_dwStyle & CBRS_TOOLTIPS) != 0 ? tip : QString());
    // The fly-by prompt reaches the frame's status bar as a status tip.
    slot.action->setStatusTip((m_dwStyle & CBRS_FLYBY) != 0 ? prompt : QString());
}

void CToolBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) {
    for (size_t i = 0; i < m_slots.size(); ++i) {
        // A handler may change the slots (the freeze button does): look the slot up again each time.
        if ((m_slots[i].style & TBBS_SEPARATOR) != 0 || m_slots[i].action == nullptr)
            continue;
        CToolCmdUI state(m_slots[i].id, m_slots[i].action);
        state.m_nIndex = static_cast<UINT>(i);
        state.DoUpdate(pTarget, bDisableIfNoHndler);
    }
}
