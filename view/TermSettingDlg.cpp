#include "view/TermSettingDlg.h"

#include <cstdio>

namespace {

// The clock of the timestamp rule ticks in milliseconds.
constexpr int kClocksPerSecond = 1000;

constexpr UINT kMinTimestampInterval = 100;
constexpr UINT kMaxTimestampInterval = 1000;
constexpr UINT kMaxAutoSaveDelay = 86400; // one day, in seconds

const DialogTemplate kTermSettingTemplate = {
    "Kestrune: Term Settings",
    240,
    188,
    "MS Sans Serif",
    8,
    {
        {DialogControlKind::GroupBox, IDC_STATIC, "Buffer", 5, 6, 168, 44},
        {DialogControlKind::Label, IDC_STATIC, "maxi bytes buffer loop:", 10, 20, 80, 12},
        {DialogControlKind::Edit, IDC_MAXI_BYTE, "", 85, 18, 28, 12},
        {DialogControlKind::Label, IDC_STATIC, " Ko", 115, 20, 15, 12},
        {DialogControlKind::Label, IDC_STATIC, "Autosave delay:", 10, 36, 80, 12},
        {DialogControlKind::Edit, IDC_AUTOSAVE_DELAY, "", 85, 34, 28, 12},
        {DialogControlKind::Label, IDC_STATIC, " s", 115, 36, 15, 12},
        {DialogControlKind::GroupBox, IDC_STATIC, "Data", 5, 58, 168, 126},
        {DialogControlKind::CheckBox, IDC_LF_OPTION, "Receive 'LF' -> display 'CR + LF'", 10, 72, 114, 8},
        {DialogControlKind::CheckBox, IDC_CR_OPTION, "Receive 'CR' -> display 'CR + LF'", 10, 86, 114, 8},
        {DialogControlKind::CheckBox, IDC_TIMESTAMP_OPTION, "Add a timestamp to data", 10, 100, 98, 8},
        {DialogControlKind::CheckBox, IDC_TIMESTAMP_EACH_LINE, "On every line", 110, 100, 60, 8},
        {DialogControlKind::Edit, IDC_TIMESTAMP_FORMAT, "", 22, 114, 144, 12},
        {DialogControlKind::Label, IDC_STATIC, "Minimum interval between data received:", 22, 130, 80, 18},
        {DialogControlKind::Edit, IDC_TIMESTAMP_INTERVAL, "", 100, 136, 30, 12},
        {DialogControlKind::Label, IDC_CLOCKS_PER_SEC, "", 133, 138, 34, 12},
        {DialogControlKind::CheckBox, IDC_FILTERED_BYTE_OPTION, "Filtered list of bytes", 10, 152, 114, 8},
        {DialogControlKind::Edit, IDC_FILTERED_BYTES_LIST, "", 22, 166, 144, 12},
        {DialogControlKind::PushButton, IDOK, "OK", 182, 6, 50, 14, DS_DEFAULT_BUTTON},
        {DialogControlKind::PushButton, IDCANCEL, "Cancel", 182, 23, 50, 14},
    },
};

} // namespace

CTermSettingDlg::CTermSettingDlg(CWnd* pParent, const TermSettingRec* pTermSetting)
    : CDialog(IDD_TERM_SETTING, kTermSettingTemplate, pParent), m_pTermSetting(pTermSetting) {
    char unit[32];
    std::snprintf(unit, sizeof unit, "1/%d s", kClocksPerSecond);
    m_iClocksPerSec = unit;
    SetDataExchange();
    AddCommandHandler(IDC_TIMESTAMP_OPTION, [this] { OnTimestampOptionClicked(); });
    AddCommandHandler(IDC_FILTERED_BYTE_OPTION, [this] { OnFilteredByteOptionClicked(); });
    AddCommandHandler(IDC_TIMESTAMP_EACH_LINE, [this] { OnTimestampEachLineClicked(); });
}

void CTermSettingDlg::SetDataExchange() {
    if (m_pTermSetting == nullptr)
        return;
    const TermSettingRec& setting = *m_pTermSetting;
    m_iMaxiByte = setting.nbMaxiByte;
    m_iLFoption = setting.bLF != 0 ? 1 : 0;
    m_iCRoption = setting.bCR != 0 ? 1 : 0;
    m_iTimestampOption = setting.bTimestamp != 0 ? 1 : 0;
    m_iTimestampEachLine = setting.bTimestampEachLine != 0 ? 1 : 0;
    m_iTimestampFormat = setting.timestampFormat;
    m_iTimestampInterval = static_cast<int>(setting.timestampInterval);
    m_iFilteredByteOption = setting.bFilteredByte != 0 ? 1 : 0;
    m_iFilteredBytesList = setting.FilteredBytesList;
    m_iAutoSaveDelay = setting.autoSaveDelay;
}

BOOL CTermSettingDlg::OnInitDialog() {
    return CDialog::OnInitDialog();
}

void CTermSettingDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_MAXI_BYTE, m_iMaxiByte);
    DDV_MinMaxUInt(pDX, m_iMaxiByte, 1, kLargestBufferLoop);
    DDX_Check(pDX, IDC_LF_OPTION, m_iLFoption);
    DDX_Check(pDX, IDC_CR_OPTION, m_iCRoption);
    DDX_Check(pDX, IDC_TIMESTAMP_OPTION, m_iTimestampOption);
    DDX_Check(pDX, IDC_TIMESTAMP_EACH_LINE, m_iTimestampEachLine);
    DDX_Text(pDX, IDC_TIMESTAMP_FORMAT, m_iTimestampFormat);
    DDX_Text(pDX, IDC_TIMESTAMP_INTERVAL, m_iTimestampInterval);
    // The interval is signed in the box but compared as unsigned, so a negative one is out of range.
    DDV_MinMaxUInt(pDX, static_cast<UINT>(m_iTimestampInterval), kMinTimestampInterval,
                   kMaxTimestampInterval);
    DDX_Text(pDX, IDC_CLOCKS_PER_SEC, m_iClocksPerSec);
    DDX_Text(pDX, IDC_AUTOSAVE_DELAY, m_iAutoSaveDelay);
    DDV_MinMaxUInt(pDX, m_iAutoSaveDelay, 0, kMaxAutoSaveDelay);
    DDX_Check(pDX, IDC_FILTERED_BYTE_OPTION, m_iFilteredByteOption);
    DDX_Text(pDX, IDC_FILTERED_BYTES_LIST, m_iFilteredBytesList);
    EnableDependentBoxes(m_iTimestampOption != 0, m_iTimestampEachLine != 0, m_iFilteredByteOption != 0);
}

void CTermSettingDlg::EnableDependentBoxes(BOOL bTimestamp, BOOL bEachLine, BOOL bFilteredByte) {
    EnableTimestampBoxes(bTimestamp, bEachLine);
    if (CDialogItem* list = GetDlgItem(IDC_FILTERED_BYTES_LIST))
        list->EnableWindow(bFilteredByte);
}

void CTermSettingDlg::EnableTimestampBoxes(BOOL bTimestamp, BOOL bEachLine) {
    for (int nID : {IDC_TIMESTAMP_EACH_LINE, IDC_TIMESTAMP_FORMAT}) {
        if (CDialogItem* item = GetDlgItem(nID))
            item->EnableWindow(bTimestamp);
    }
    if (CDialogItem* interval = GetDlgItem(IDC_TIMESTAMP_INTERVAL))
        interval->EnableWindow(bTimestamp && !bEachLine);
}

BOOL CTermSettingDlg::IsChecked(int nID) {
    auto* box = GetDlgItemAs<CButton>(nID);
    return box != nullptr && box->GetCheck() == BST_CHECKED;
}

void CTermSettingDlg::OnTimestampOptionClicked() {
    UpdateData(TRUE);
    EnableTimestampBoxes(IsChecked(IDC_TIMESTAMP_OPTION), IsChecked(IDC_TIMESTAMP_EACH_LINE));
    UpdateData(FALSE);
}

void CTermSettingDlg::OnTimestampEachLineClicked() {
    EnableTimestampBoxes(IsChecked(IDC_TIMESTAMP_OPTION), IsChecked(IDC_TIMESTAMP_EACH_LINE));
}

void CTermSettingDlg::OnFilteredByteOptionClicked() {
    UpdateData(TRUE);
    auto* box = GetDlgItemAs<CButton>(IDC_FILTERED_BYTE_OPTION);
    const BOOL checked = box != nullptr && box->GetCheck() == BST_CHECKED;
    if (CDialogItem* list = GetDlgItem(IDC_FILTERED_BYTES_LIST))
        list->EnableWindow(checked);
    UpdateData(FALSE);
}
