#include "view/MainDoc.h"

#include "app/main.h"
#include "app/resource.h"
#include "framework/core/Resource.h"
#include "view/CommView.h"

namespace {

CString LoadText(UINT id) {
    const char* text = AfxLoadString(id);
    return text != nullptr ? CString(text) : CString();
}

} // namespace

BOOL CMainDoc::OnNewDocument() {
    gMainApp.WriteToLog(LoadText(IDS_LOG_NEW_DOCUMENT), "OnNewDocument", LEVELTHREE);
    return CDocument::OnNewDocument();
}

void CMainDoc::Serialize(CArchive& ar) {
    gMainApp.WriteToLog(LoadText(IDS_LOG_SERIALIZE_DOCUMENT), "Serialize", LEVELTHREE);
    if (CCommView* view = GetViewDocument())
        view->SerializeRaw(ar);
}

CCommView* CMainDoc::GetViewDocument() const { return dynamic_cast<CCommView*>(GetFirstView()); }
