#pragma once

#include "framework/gui/dialogs/Dialog.h"

// Control ids of the capture dialog.
constexpr int IDD_CAPTURE = 104;
constexpr int IDC_CAPTURE_FILE = 1040;
constexpr int IDC_CAPTURE_BROWSE = 1041;
constexpr int IDC_CAPTURE_CONTENT = 1042;
constexpr int IDC_CAPTURE_EXISTING = 1043;

// Asks where a window's capture goes and what it records: the file (a proposed name, or one picked with
// the file dialog), text as the window shows it or the bytes as received, and whether an existing file is
// added to or replaced.
class CCaptureDlg : public CDialog {
public:
    CCaptureDlg(CWnd* pParent, const CString& proposedPath);

    CString GetPath() const { return m_sFile; }
    bool IsRaw() const { return m_sContent == kRawChoice; }
    bool IsAppend() const { return m_sExisting == kAppendChoice; }

    // The choices as the lists show them.
    static constexpr const char* kTextChoice = "Text, as the window shows it";
    static constexpr const char* kRawChoice = "Raw, the bytes as received";
    static constexpr const char* kAppendChoice = "Append";
    static constexpr const char* kReplaceChoice = "Replace";

    CString m_sFile;
    CString m_sContent = kTextChoice;
    CString m_sExisting = kAppendChoice;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

private:
    void OnBrowse();
};
