#pragma once

#include "framework/core/WinTypes.h"
#include "framework/gui/drawing/Rect.h"

// Print dialog flags, with the desktop platform's values.
constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_SELECTION = 0x00000001;
constexpr DWORD PD_PAGENUMS = 0x00000002;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_NOPAGENUMS = 0x00000008;
constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x00040000;

// What the print dialog is opened with and what it hands back: the flags (which range the user chose and
// which choices are offered) and the page numbers.
struct PRINTDLG {
    DWORD Flags = PD_ALLPAGES | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION;
    WORD nFromPage = 1;
    WORD nToPage = 0xFFFF;
    WORD nMinPage = 1;
    WORD nMaxPage = 0xFFFF;
};

// The print dialog of a print job, as the job description carries it.
class CPrintDialog {
public:
    PRINTDLG m_pd;

    BOOL PrintSelection() const { return (m_pd.Flags & PD_SELECTION) != 0; }
    BOOL PrintRange() const { return (m_pd.Flags & PD_PAGENUMS) != 0; }
};

// The description of one print or preview run, handed to every printing hook of the view.
class CPrintInfo {
public:
    CPrintInfo() : m_pPD(&m_dialog) {}
    CPrintInfo(const CPrintInfo&) = delete;
    CPrintInfo& operator=(const CPrintInfo&) = delete;

    void SetMinPage(UINT nMinPage) { m_pPD->m_pd.nMinPage = static_cast<WORD>(nMinPage); }
    void SetMaxPage(UINT nMaxPage) { m_pPD->m_pd.nMaxPage = static_cast<WORD>(nMaxPage); }
    UINT GetMinPage() const { return m_pPD->m_pd.nMinPage; }
    UINT GetMaxPage() const { return m_pPD->m_pd.nMaxPage; }
    // The first and last page to print: the user's range when one was chosen, else all pages.
    UINT GetFromPage() const { return m_pPD->PrintRange() ? m_pPD->m_pd.nFromPage : GetMinPage(); }
    UINT GetToPage() const { return m_pPD->PrintRange() ? m_pPD->m_pd.nToPage : GetMaxPage(); }

    // The print dialog and its flags.
    CPrintDialog* m_pPD;
    // TRUE when printing without the dialog, and when previewing.
    BOOL m_bDirect = FALSE;
    BOOL m_bPreview = FALSE;
    // Cleared by OnPrepareDC to end the job before the current page.
    BOOL m_bContinuePrinting = TRUE;
    // The page being prepared or printed, from 1.
    UINT m_nCurPage = 1;
    // The view's own data for this run.
    void* m_lpUserData = nullptr;
    // Where the current page may be drawn, in device pixels: the whole printable area before OnPrint.
    CRect m_rectDraw;

private:
    CPrintDialog m_dialog;
};
