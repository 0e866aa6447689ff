#pragma once

#include "framework/gui/docview/ControlBar.h"

#include <vector>

class QLabel;
class QStatusBar;

// Pane styles and the id of the message pane.
constexpr UINT ID_SEPARATOR = 0;
constexpr UINT SBPS_NORMAL = 0x0000;
constexpr UINT SBPS_STRETCH = 0x0800;

// The status bar at the bottom of a frame, over a QStatusBar: the message pane first (it stretches), then
// one pane per indicator id. A pane's text starts as the string of its id. The message pane shows the
// frame's idle text, except while a prompt (a menu item or a button under the pointer) is shown over it.
class CStatusBar : public CControlBar {
public:
    CStatusBar();
    ~CStatusBar() override;

    BOOL Create(CFrameWnd* pParentWnd, DWORD dwStyle, UINT nID);
    BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);
    int GetCount() const { return static_cast<int>(m_panes.size()); }
    int CommandToIndex(UINT nIDFind) const;
    UINT GetItemID(int nIndex) const;
    void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
    void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
    BOOL SetPaneText(int nIndex, const CString& text, BOOL bUpdate = TRUE);
    CString GetPaneText(int nIndex) const;
    // The width of a text in pixels in the bar's own font.
    int GetTextWidth(const CString& text) const;

    // The message pane's idle text; a prompt being shown keeps the pane until it ends.
    void SetMessageText(const CString& text);
    // Shows a prompt over the message pane, or ends it with an empty text.
    void ShowPrompt(const CString& prompt);

    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

    QLabel* GetPaneLabel(int nIndex) const;

private:
    struct Pane {
        UINT id = 0;
        UINT style = SBPS_NORMAL;
        int width = 0;
        QLabel* label = nullptr;
    };
    void ApplyMessagePane();

    QStatusBar* m_statusBar = nullptr;
    std::vector<Pane> m_panes;
    CString m_strIdle;
    CString m_strPrompt;
    bool m_bPromptShown = false;
};
