#include "view/MainDoc.h"

#include "app/main.h"
#include "app/resource.h"
#include "framework/core/Resource.h"
#include "view/CommView.h"

BOOL CMainDoc::OnNewDocument() {
    gMainApp.WriteToLog(AfxLoadText(IDS_LOG_NEW_DOCUMENT), "OnNewDocument", LEVELTHREE);
    return CDocument::OnNewDocument();
}

void CMainDoc::Serialize(CArchive& ar) {
    gMainApp.WriteToLog(AfxLoadText(IDS_LOG_SERIALIZE_DOCUMENT), "Serialize", LEVELTHREE);
    if (CCommView* view = GetViewDocument())
        view->SerializeRaw(ar);
}

CCommView* CMainDoc::GetViewDocument() const {
    return dynamic_cast<CCommView*>(GetFirstView());
}
