#include "framework/gui/docview/ControlBar.h"

#include "framework/gui/docview/FrameWnd.h"

#include <QWidget>

#include <algorithm>

namespace {

std::vector<CControlBar*>& Registry() {
    static std::vector<CControlBar*> bars;
    return bars;
}

} // namespace

CControlBar::CControlBar() {
    Registry().push_back(this);
}

CControlBar::~CControlBar() {
    auto& bars = Registry();
    bars.erase(std::remove(bars.begin(), bars.end(), this), bars.end());
}

void CControlBar::AttachToFrame(CFrameWnd* pFrame, UINT nID, DWORD dwStyle) {
    m_pOwnerFrame = pFrame;
    m_nID = nID;
    m_dwStyle = dwStyle;
}

CControlBar* CControlBar::FindBar(const CFrameWnd* pFrame, UINT nID) {
    for (CControlBar* bar : Registry()) {
        if (bar->m_pOwnerFrame == pFrame && bar->m_nID == nID && bar->GetWidget() != nullptr)
            return bar;
    }
    return nullptr;
}

const std::vector<CControlBar*>& CControlBar::AllBars() {
    return Registry();
}

BOOL AfxToggleControlBar(CFrameWnd* pFrame, UINT nBarID) {
    CControlBar* bar = CControlBar::FindBar(pFrame, nBarID);
    if (bar == nullptr)
        return FALSE;
    // The widget's own flag, not its visibility on screen: a bar of a hidden frame still counts as shown.
    bar->GetWidget()->setVisible(bar->GetWidget()->isHidden());
    pFrame->RecalcLayout();
    return TRUE;
}
