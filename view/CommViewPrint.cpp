#include "view/CommView.h"

#include "app/resource.h"
#include "framework/gui/drawing/DC.h"
#include "framework/gui/printing/PrintInfo.h"
#include "framework/gui/printing/PrintSequence.h"
#include "print/printer.h"

#include <algorithm>

namespace {
// The footnote's date format in the string table.
} // namespace

void CCommView::OnFilePageSetup() {
    CRect margins = m_rectMargin;
    if (AfxRunPageSetupDialog(margins, this))
        m_rectMargin = margins;
}

BOOL CCommView::OnPreparePrinting(CPrintInfo* pInfo) {
    int start = 0;
    int end = 0;
    GetSel(start, end);
    if (start > end)
        std::swap(start, end);
    m_nNextSelCharToBePrint = start;
    m_nFirstSelChar = start;
    m_nFirstNonSelChar = end;
    if (start != end) {
        pInfo->m_pPD->m_pd.Flags &= ~PD_NOSELECTION;
        pInfo->m_pPD->m_pd.Flags |= PD_SELECTION;
    }
    const BOOL result = CEditView::OnPreparePrinting(pInfo);
    m_bPrintSelection = (pInfo->m_pPD->m_pd.Flags & PD_SELECTION) != 0;
    return result;
}

void CCommView::OnBeginPrinting(CDC* pDC, CPrintInfo* pInfo) {
    pInfo->m_lpUserData = &m_rectMargin;
    m_nNextSelCharToBePrint = m_nFirstSelChar;
    delete m_pPrinter;
    m_pPrinter = new CPrinter(pDC, pInfo);
    m_pPrinter->SetPrinterCaps();
    m_pPrinter->SetDateTimeFormat(IDS_PRINT_DATE_FORMAT);
    CEditView::OnBeginPrinting(pDC, pInfo);
}

void CCommView::OnPrepareDC(CDC* pDC, CPrintInfo* pInfo) {
    if (m_bPrintSelection) {
        if (pInfo != nullptr)
            pInfo->m_bContinuePrinting = m_nNextSelCharToBePrint < m_nFirstNonSelChar;
        return;
    }
    CEditView::OnPrepareDC(pDC, pInfo);
}

void CCommView::OnPrint(CDC* pDC, CPrintInfo* pInfo) {
    if (m_pPrinter == nullptr)
        return;
    m_pPrinter->PageHeading();

    CRect& rect = pInfo->m_rectDraw;
    rect.left += m_pPrinter->m_Margins.left;
    rect.top += m_pPrinter->m_Margins.top + m_pPrinter->headingHeight;
    rect.right -= m_pPrinter->m_Margins.right;
    rect.bottom -= m_pPrinter->m_Margins.bottom + m_pPrinter->footnoteHeight;

    if (m_bPrintSelection) {
        const int start = m_nNextSelCharToBePrint;
        const int next =
            static_cast<int>(PrintInsideRect(pDC, rect, static_cast<UINT>(std::max(start, 0)),
                                             static_cast<UINT>(std::max(m_nFirstNonSelChar, 0))));
        // When not even one line fits between the bands the selection can never be printed; ending the
        // job beats printing empty pages without end.
        m_nNextSelCharToBePrint = next > start ? next : m_nFirstNonSelChar;
    } else {
        CEditView::OnPrint(pDC, pInfo);
    }

    m_pPrinter->PageFootNote();
}

void CCommView::OnEndPrinting(CDC* pDC, CPrintInfo* pInfo) {
    CEditView::OnEndPrinting(pDC, pInfo);
    delete m_pPrinter;
    m_pPrinter = nullptr;
}
