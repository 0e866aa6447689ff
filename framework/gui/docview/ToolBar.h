#pragma once

#include "framework/gui/docview/ControlBar.h"

#include <QPixmap>

#include <vector>

class QAction;
class QToolBar;

// Tool bar button styles.
constexpr UINT TBBS_BUTTON = 0x0000;
constexpr UINT TBBS_SEPARATOR = 0x0001;

// A row of buttons over a QToolBar at the top of a frame. Each slot is a button (command id, image index in
// the bar's bitmap) or a separator (its width in pixels). A button's status bar prompt and tool tip come from
// the string with its command id ("prompt\ntool tip"); a click sends the command to the frame.
class CToolBar : public CControlBar {
public:
    CToolBar();
    ~CToolBar() override;

    BOOL Create(CFrameWnd* pParentWnd, DWORD dwStyle, UINT nID);
    // Loads bitmap nIDResource of the program's resources: images of 16 x 15 pixels side by side.
    BOOL LoadBitmap(UINT nIDResource);
    // Replaces every slot: with ids, one button per id (separators for id 0) using images 0, 1, 2...;
    // without, nIDCount empty separators to fill with SetButtonInfo.
    BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
    void SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage);
    void GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const;
    UINT GetItemID(int nIndex) const;
    int GetCount() const { return static_cast<int>(m_slots.size()); }
    int GetImageCount() const;

    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

    // The action of a slot (null for a separator or an index out of range), for the window and for tests.
    QAction* GetButtonAction(int nIndex) const;
    // The image a slot shows, as loaded from the bitmap.
    QPixmap GetImage(int iImage) const;
    QToolBar* GetToolBarWidget() const { return m_toolBar; }

private:
    struct Slot {
        UINT id = 0;
        UINT style = TBBS_SEPARATOR;
        int image = 0;
        QAction* action = nullptr;
    };
    void Rebuild();
    void ApplyButton(Slot& slot);

    QToolBar* m_toolBar = nullptr;
    QPixmap m_bitmap;
    std::vector<Slot> m_slots;
};
