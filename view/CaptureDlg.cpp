#include "view/CaptureDlg.h"

#include "framework/core/MessageBox.h"
#include "framework/gui/dialogs/DialogData.h"
#include "framework/gui/dialogs/DialogItem.h"
#include "framework/gui/dialogs/FileDialog.h"

namespace {

const DialogTemplate kCaptureTemplate = {
    "Kestrune: Capture to File",
    372,
    92,
    "MS Sans Serif",
    8,
    {
        // The file box is wide: typing stops where a box's width ends, and paths are long.
        {DialogControlKind::Label, IDC_STATIC, "File:", 6, 10, 60, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::Edit, IDC_CAPTURE_FILE, "", 70, 8, 240, 12},
        {DialogControlKind::PushButton, IDC_CAPTURE_BROWSE, "Browse...", 314, 7, 50, 14},
        {DialogControlKind::Label, IDC_STATIC, "Record:", 6, 30, 60, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::DropList, IDC_CAPTURE_CONTENT, "", 70, 28, 144, 40},
        {DialogControlKind::Label, IDC_STATIC, "If the file exists:", 6, 50, 60, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::DropList, IDC_CAPTURE_EXISTING, "", 70, 48, 144, 40},
        {DialogControlKind::PushButton, IDOK, "OK", 256, 72, 50, 14, DS_DEFAULT_BUTTON},
        {DialogControlKind::PushButton, IDCANCEL, "Cancel", 314, 72, 50, 14},
    },
};

} // namespace

CCaptureDlg::CCaptureDlg(CWnd* pParent, const CString& proposedPath)
    : CDialog(IDD_CAPTURE, kCaptureTemplate, pParent), m_sFile(proposedPath) {
    AddCommandHandler(IDC_CAPTURE_BROWSE, [this] { OnBrowse(); });
}

BOOL CCaptureDlg::OnInitDialog() {
    if (auto* content = GetDlgItemAs<CComboBox>(IDC_CAPTURE_CONTENT)) {
        content->AddString(kTextChoice);
        content->AddString(kRawChoice);
    }
    if (auto* existing = GetDlgItemAs<CComboBox>(IDC_CAPTURE_EXISTING)) {
        existing->AddString(kAppendChoice);
        existing->AddString(kReplaceChoice);
    }
    return CDialog::OnInitDialog();
}

void CCaptureDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_CAPTURE_FILE, m_sFile);
    DDX_CBString(pDX, IDC_CAPTURE_CONTENT, m_sContent);
    DDX_CBString(pDX, IDC_CAPTURE_EXISTING, m_sExisting);
}

void CCaptureDlg::OnOK() {
    if (!UpdateData(TRUE))
        return;
    // The user is asked again rather than the capture refused later for a name that names nothing.
    if (m_sFile.empty()) {
        AfxMessageBox("Please enter the name of the file to capture to.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CDialog::OnOK();
}

void CCaptureDlg::OnBrowse() {
    UpdateData(TRUE);
    // Whether an existing file is added to or replaced is the dialog's choice, so the file dialog asks no
    // question of its own about it.
    CFileDialog dialog(FALSE, "log", m_sFile.c_str(), OFN_HIDEREADONLY,
                       "Log Files (*.log)|*.log|All Files (*)|*||", this);
    if (dialog.DoModal() != IDOK)
        return;
    m_sFile = dialog.GetPathName();
    UpdateData(FALSE);
}
