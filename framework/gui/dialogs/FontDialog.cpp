#include "framework/gui/dialogs/FontDialog.h"

#include "framework/core/MessageBox.h"
#include "framework/gui/drawing/Font.h"
#include "framework/gui/windows/TestHook.h"
#include "framework/gui/windows/Wnd.h"

#include <QFont>
#include <QFontDialog>

CFontDialog::CFontDialog(const LOGFONTA* lplfInitial, DWORD dwFlags, CDC*, CWnd* pParentWnd)
    : m_dwFlags(dwFlags), m_pParentWnd(pParentWnd) {
    if (lplfInitial != nullptr)
        m_lf = *lplfInitial;
}

int CFontDialog::DoModal() {
    if (GuiTestHook* hook = AfxGetGuiTestHook(); hook != nullptr && hook->fontDialog) {
        LOGFONTA chosen = m_lf;
        if (!hook->fontDialog(chosen))
            return IDCANCEL;
        m_lf = chosen;
        LimitSize();
        return IDOK;
    }
    QFontDialog dialog(QFontFromLogFont(m_lf), m_pParentWnd != nullptr ? m_pParentWnd->GetWidget() : nullptr);
    // Without effects the dialog offers no underline or strike-out.
    if ((m_dwFlags & CF_EFFECTS) == 0)
        dialog.setOption(QFontDialog::NoButtons, false);
    if (AfxRunModalDialog(dialog) != IDOK)
        return IDCANCEL;
    QFont chosen = dialog.selectedFont();
    if ((m_dwFlags & CF_EFFECTS) == 0) {
        chosen.setUnderline(false);
        chosen.setStrikeOut(false);
    }
    LogFontFromQFont(chosen, m_lf);
    LimitSize();
    return IDOK;
}

void CFontDialog::LimitSize() {
    if ((m_dwFlags & CF_LIMITSIZE) == 0 || m_nSizeMax <= 0)
        return;
    // The height is in pixels of the screen, negative for the character height; the sign is kept.
    const LONG largest = ScreenPixelsOfPoints(m_nSizeMax);
    if (m_lf.lfHeight > largest)
        m_lf.lfHeight = largest;
    else if (m_lf.lfHeight < -largest)
        m_lf.lfHeight = -largest;
}
