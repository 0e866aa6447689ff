#pragma once

#include "framework/gui/dialogs/Dialog.h"
#include "settings/SettingRec.h"

// Control ids of the terminal settings dialog.
constexpr int IDD_TERM_SETTING = 102;
constexpr int IDC_MAXI_BYTE = 1006;
constexpr int IDC_LF_OPTION = 1007;
constexpr int IDC_CR_OPTION = 1008;
constexpr int IDC_AUTOSAVE_DELAY = 1009;
constexpr int IDC_TIMESTAMP_OPTION = 1012;
constexpr int IDC_TIMESTAMP_FORMAT = 1013;
constexpr int IDC_TIMESTAMP_INTERVAL = 1014;
constexpr int IDC_CLOCKS_PER_SEC = 1015;
constexpr int IDC_FILTERED_BYTE_OPTION = 1016;
constexpr int IDC_FILTERED_BYTES_LIST = 1017;
constexpr int IDC_TIMESTAMP_EACH_LINE = 1018;

// The dialog in which the user edits one window's terminal settings. It reads the record it is opened on
// when it is constructed and never writes it: after OK the caller copies the accessors' values back.
class CTermSettingDlg : public CDialog {
public:
    CTermSettingDlg(CWnd* pParent, const TermSettingRec* pTermSetting);

    DWORD GetMaxiByte() const { return m_iMaxiByte; }
    int GetLFOption() const { return m_iLFoption == 1 ? 1 : 0; }
    int GetCROption() const { return m_iCRoption == 1 ? 1 : 0; }
    int GetTimestampOption() const { return m_iTimestampOption == 1 ? 1 : 0; }
    int GetTimestampEachLineOption() const { return m_iTimestampEachLine == 1 ? 1 : 0; }
    CString GetTimestampFormat() const { return m_iTimestampFormat; }
    DWORD GetTimestampInterval() const { return static_cast<DWORD>(m_iTimestampInterval); }
    int GetFilteredByteOption() const { return m_iFilteredByteOption == 1 ? 1 : 0; }
    CString GetFilteredBytesList() const { return m_iFilteredBytesList; }
    DWORD GetAutoSaveDelay() const { return m_iAutoSaveDelay; }

    // The click handlers of the timestamp and filter check boxes: save and validate every field, enable
    // the boxes that depend on the clicked one from its state, and write every field back.
    void OnTimestampOptionClicked();
    void OnFilteredByteOptionClicked();
    // The "On every line" box: only the interval depends on it, so nothing is saved or validated.
    void OnTimestampEachLineClicked();

    DWORD m_iMaxiByte = 0;
    int m_iLFoption = 0;
    int m_iCRoption = 0;
    DWORD m_iAutoSaveDelay = 0;
    int m_iTimestampOption = 0;
    int m_iTimestampEachLine = 0;
    CString m_iTimestampFormat;
    int m_iTimestampInterval = 100;
    CString m_iClocksPerSec;
    int m_iFilteredByteOption = 0;
    CString m_iFilteredBytesList;
    const TermSettingRec* m_pTermSetting;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void SetDataExchange();
    void EnableDependentBoxes(BOOL bTimestamp, BOOL bEachLine, BOOL bFilteredByte);
    // The boxes that only mean something with timestamps on: every line, format and interval; the
    // interval also means nothing when every line is stamped.
    void EnableTimestampBoxes(BOOL bTimestamp, BOOL bEachLine);
    BOOL IsChecked(int nID);
};
