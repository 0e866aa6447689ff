#pragma once

#include "framework/core/WinTypes.h"

class CCmdTarget;

// The user-interface state of one command item (a menu item, a tool bar button, a status bar pane) while its
// update handler runs. The base records what the handler asked for; the classes of the main window derive
// from it to apply the state to their items.
class CCmdUI {
public:
    CCmdUI() = default;
    explicit CCmdUI(UINT nID) : m_nID(nID) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1);
    virtual void SetRadio(BOOL bOn = TRUE);
    virtual void SetText(const char* lpszText);

    // Runs the update through the routing that starts at pTarget. When no update handler decides the enabled
    // state and bDisableIfNoHandler is set, the item is enabled exactly when a command handler can be
    // reached.
    void DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHandler);

    UINT m_nID = 0;
    UINT m_nIndex = 0; // position of the item in its menu, bar or pane list
    BOOL m_bEnableChanged = FALSE;

    // The state the handlers asked for, for items that read it back (and for tests).
    BOOL m_bEnabled = TRUE;
    int m_nCheck = 0;
    BOOL m_bTextSet = FALSE;
    CString m_strText;
};
