#pragma once

#include "framework/gui/docview/FrameWnd.h"

class CMDIChildWnd;
class QMdiArea;

// Standard command ids of the window menu.
constexpr UINT ID_WINDOW_ARRANGE = 57649;
constexpr UINT ID_WINDOW_CASCADE = 57650;
constexpr UINT ID_WINDOW_TILE_HORZ = 57651;
constexpr UINT ID_WINDOW_TILE_VERT = 57652;

// The main window of a multiple-document program: a QMainWindow whose centre is a QMdiArea holding the
// child frames. Commands go to the active child (its view, its document, the child) first, then to this
// frame, then to the application. The caption is the title, followed by " - " and the active document's
// title when the frame has FWS_ADDTOTITLE.
class CMDIFrameWnd : public CFrameWnd {
public:
    CMDIFrameWnd();
    ~CMDIFrameWnd() override;

    CMDIChildWnd* MDIGetActive(BOOL* pbMaximized = nullptr) const;
    void MDIActivate(CWnd* pWndActivate);
    void MDICascade();
    void MDITile(BOOL bHorizontal);
    void MDIIconArrange();
    // Every child frame, in creation order.
    std::vector<CMDIChildWnd*> GetChildFrames() const;
    QMdiArea* GetMdiArea() const { return m_mdiArea; }

    CDocument* GetActiveDocument() override;
    CFrameWnd* GetActiveFrame() override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) override;
    // Closing the main window asks every document in turn and closes them all, or nothing when the user
    // cancels one.
    void OnClose() override;
    // Asks every modified document whether to save it; FALSE when the user cancels.
    BOOL SaveAllModified();
    void CloseAllDocuments();

    // Called by a child when it is activated or closed, so the caption and menus follow.
    virtual void OnChildActivated(CMDIChildWnd* pChild);

protected:
    QWidget* CreateFrameWidget(CWnd* pParentWnd) override;

private:
    QMdiArea* m_mdiArea = nullptr;
    CMDIChildWnd* m_pLastActive = nullptr;
};
