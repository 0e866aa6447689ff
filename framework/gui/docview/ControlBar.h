#pragma once

#include "framework/gui/windows/Wnd.h"

#include <vector>

class CFrameWnd;

// Control bar styles.
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_FLYBY = 0x0800;
constexpr DWORD CBRS_TOP = 0x2000;
constexpr DWORD CBRS_BOTTOM = 0x4000;

// A bar along an edge of a frame (tool bar, status bar). Every live bar is known to the idle pass, which asks
// it to refresh its items through the command-UI handlers of its frame.
class CControlBar : public CWnd {
public:
    CControlBar();
    ~CControlBar() override;

    // Refreshes every item of the bar through the routing that starts at pTarget.
    virtual void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) = 0;

    CFrameWnd* GetOwnerFrame() const { return m_pOwnerFrame; }
    UINT GetDlgCtrlID() const { return m_nID; }
    DWORD GetBarStyle() const { return m_dwStyle; }

    // The bar of a frame with child id nID, or null.
    static CControlBar* FindBar(const CFrameWnd* pFrame, UINT nID);
    // Every live bar, in creation order.
    static const std::vector<CControlBar*>& AllBars();

protected:
    // Records the frame and the id once the bar's widget exists.
    void AttachToFrame(CFrameWnd* pFrame, UINT nID, DWORD dwStyle);

    CFrameWnd* m_pOwnerFrame = nullptr;
    UINT m_nID = 0;
    DWORD m_dwStyle = 0;
};

// The standard tool bar and status bar toggles: shows the bar if hidden, hides it if shown. FALSE when the
// frame has no such bar.
BOOL AfxToggleControlBar(CFrameWnd* pFrame, UINT nBarID);
