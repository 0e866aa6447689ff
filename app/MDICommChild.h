#pragma once

#include "framework/gui/docview/MDIChildWnd.h"

// The child frame of a terminal window. When it becomes the active window it refreshes its view's menu
// state (the check mark of "Freeze &screen"); its caption tells when the window's port is lost.
class CMDICommChildWnd : public CMDIChildWnd {
public:
    CMDICommChildWnd() = default;
    ~CMDICommChildWnd() override = default;

    void OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd) override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
};
