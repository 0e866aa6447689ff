#pragma once

#include "framework/core/LogFont.h"
#include "framework/core/WinTypes.h"

class CDC;
class CWnd;

constexpr DWORD CF_SCREENFONTS = 0x00000001;
constexpr DWORD CF_EFFECTS = 0x00000100;
constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x00000040;
constexpr DWORD CF_LIMITSIZE = 0x00002000;

// The platform's font dialog over QFontDialog, started from a logical font.
class CFontDialog {
public:
    explicit CFontDialog(const LOGFONTA* lplfInitial = nullptr, DWORD dwFlags = CF_EFFECTS | CF_SCREENFONTS,
                         CDC* pdcPrinter = nullptr, CWnd* pParentWnd = nullptr);

    // IDOK with the chosen font in m_lf, or IDCANCEL.
    int DoModal();
    void GetCurrentFont(LOGFONTA* lplf) const { *lplf = m_lf; }

    LOGFONTA m_lf{};
    DWORD m_dwFlags;
    // With CF_LIMITSIZE, the largest size in points the dialog gives; a larger choice is brought down to it.
    int m_nSizeMax = 0;

private:
    void LimitSize();

    CWnd* m_pParentWnd;
};
