#pragma once

#include "framework/gui/docview/FrameWnd.h"

class CMDIFrameWnd;
class QMdiSubWindow;

// A child frame inside the main window's MDI area, over a QMdiSubWindow whose widget is the view.
class CMDIChildWnd : public CFrameWnd {
public:
    CMDIChildWnd();
    ~CMDIChildWnd() override;

    CMDIFrameWnd* GetMDIFrame() const;
    void MDIActivate();
    void MDIMaximize();
    void MDIDestroy() { DestroyWindow(); }

    // Activation changes, as WM_MDIACTIVATE reports them: bActivate, the window being activated and the one
    // being deactivated. The default makes this frame's view the active one.
    virtual void OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd);

    // Creates the frame as every frame does, then gives it its place in the main window: cascaded after
    // the windows already open, at a size that shows the view's text.
    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr) override;
    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    BOOL DestroyWindow() override;
    QMdiSubWindow* GetSubWindow() const;

protected:
    QWidget* CreateFrameWidget(CWnd* pParentWnd) override;

private:
    void PlaceInArea();
};
