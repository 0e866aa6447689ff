#pragma once

#include "framework/core/WinTypes.h"

#include <vector>

class CMDIFrameWnd;
class QMenu;
class QMenuBar;

// A menu of the program's resources: popups with items; an item with id 0 and no text is a separator.
struct MenuItemTemplate {
    CString text;
    UINT id = 0;
    std::vector<MenuItemTemplate> popup;
};
using MenuTemplate = std::vector<MenuItemTemplate>;

// A keyboard accelerator: the key in Qt's portable notation ("Ctrl+N", "F3") and the command it sends.
struct AcceleratorEntry {
    const char* key;
    UINT id;
};

// The program registers its menus and accelerator tables under their resource ids before making windows.
void AfxRegisterMenu(UINT nIDResource, MenuTemplate menu);
const MenuTemplate* AfxFindMenu(UINT nIDResource);
void AfxRegisterAccelerators(UINT nIDResource, std::vector<AcceleratorEntry> table);
const std::vector<AcceleratorEntry>* AfxFindAccelerators(UINT nIDResource);

// The menu bar and the accelerators of a main window. It shows the menu of the active child's document
// template while a child is open, and the frame's own menu otherwise. Before a popup opens its items are
// refreshed through the command-UI handlers; an item or accelerator whose command reaches no handler does
// nothing. The popup holding the window commands also lists the open windows.
class CFrameMenuBar {
public:
    CFrameMenuBar(CMDIFrameWnd* pFrame, UINT nIDFrameMenu, UINT nIDAccelerators);
    ~CFrameMenuBar();
    CFrameMenuBar(const CFrameMenuBar&) = delete;
    CFrameMenuBar& operator=(const CFrameMenuBar&) = delete;

    // Shows the menu that fits the frame's state now (called at idle).
    void Refresh();
    UINT GetCurrentMenuId() const { return m_nCurrentMenu; }
    QMenuBar* GetMenuBarWidget() const;
    // Refreshes the items of one popup through the command-UI handlers.
    void UpdatePopup(QMenu* popup);
    // Runs an accelerator's command when its handler can be reached and enables it; TRUE when it ran.
    BOOL RunAccelerator(UINT nID);

    // The menu bar of a frame, or null.
    static CFrameMenuBar* FromFrame(const CMDIFrameWnd* pFrame);

private:
    void Build(UINT nIDMenu);
    // Adds a popup's items to its menu; an item with items of its own becomes a submenu.
    void FillPopup(QMenu* popup, const MenuItemTemplate& popupTemplate);
    void FillWindowList(QMenu* popup);

    CMDIFrameWnd* m_pFrame;
    UINT m_nFrameMenu;
    UINT m_nCurrentMenu = 0;
};
