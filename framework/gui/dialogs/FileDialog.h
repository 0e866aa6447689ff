#pragma once

#include "framework/core/WinTypes.h"

class CWnd;

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

// The platform's open and save dialogs over QFileDialog. The filter is written the framework's way:
// "Text Files (*.txt)|*.txt||", name and pattern separated by bars.
class CFileDialog {
public:
    CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt = nullptr, const char* lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr);

    // IDOK with the chosen path, or IDCANCEL. A name without an extension gets the default extension.
    int DoModal();
    CString GetPathName() const { return m_strPathName; }

    // The Qt filter text of a framework filter ("Text Files (*.txt)|*.txt||" -> "Text Files (*.txt)").
    static CString QtFilterFromFilter(const CString& filter);
    // Adds the default extension (with or without its dot) to a path whose file name has none.
    static CString WithDefaultExtension(const CString& path, const CString& defExt);

private:
    BOOL m_bOpenFileDialog;
    CString m_strDefExt;
    CString m_strFileName;
    CString m_strFilter;
    DWORD m_dwFlags;
    CWnd* m_pParentWnd;
    CString m_strPathName;
};
