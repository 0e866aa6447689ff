#include "app/MDICommChild.h"

#include "framework/gui/docview/MDIFrameWnd.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

void CMDICommChildWnd::OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd) {
    CMDIChildWnd::OnMDIActivate(bActivate, pActivateWnd, pDeactivateWnd);
    if (!bActivate)
        return;
    if (auto* document = dynamic_cast<CMainDoc*>(GetActiveDocument())) {
        if (CCommView* view = document->GetViewDocument())
            view->RefreshOptionMenu();
    }
}

void CMDICommChildWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    CMDIChildWnd::OnUpdateFrameTitle(bAddToTitle);
    // A lost port shows after the document's title until the device is back.
    auto* view = dynamic_cast<CCommView*>(GetActiveView());
    if (view != nullptr && !view->GetPortStateText().empty()) {
        CString caption;
        GetWindowText(caption);
        CWnd::SetWindowText(caption + " - " + view->GetPortStateText());
    }
}
