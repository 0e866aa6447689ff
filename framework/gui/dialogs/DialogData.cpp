#include "framework/gui/dialogs/DialogData.h"

#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/gui/dialogs/Dialog.h"
#include "framework/gui/dialogs/DialogItem.h"

#include <climits>
#include <string>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads [blanks][sign]digits[blanks] into a magnitude that saturates at a bound; false when the text has
// no digits or holds anything else.
bool ParseDecimal(const CString& text, bool allowMinus, bool& negative, unsigned long long& magnitude) {
    const unsigned long long limit = 1ULL << 40; // far beyond every 32-bit bound, so clamping stays exact
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        if (negative && !allowMinus)
            return false;
        ++i;
    }
    const size_t firstDigit = i;
    magnitude = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (magnitude < limit)
            magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - '0');
        ++i;
    }
    if (i == firstDigit)
        return false;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return i == text.size();
}

} // namespace

BOOL ParseUnsignedDialogText(const CString& text, UINT& value) {
    bool negative = false;
    unsigned long long magnitude = 0;
    if (!ParseDecimal(text, false, negative, magnitude))
        return FALSE;
    value = magnitude > UINT_MAX ? UINT_MAX : static_cast<UINT>(magnitude);
    return TRUE;
}

BOOL ParseSignedDialogText(const CString& text, int& value) {
    bool negative = false;
    unsigned long long magnitude = 0;
    if (!ParseDecimal(text, true, negative, magnitude))
        return FALSE;
    if (negative)
        value = magnitude > static_cast<unsigned long long>(INT_MAX) + 1
                    ? INT_MIN
                    : static_cast<int>(-static_cast<long long>(magnitude));
    else
        value = magnitude > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<int>(magnitude);
    return TRUE;
}

CString AfxFormatString2(const CString& format, const CString& first, const CString& second) {
    CString result;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == '1' || format[i + 1] == '2')) {
            result += format[i + 1] == '1' ? first : second;
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

CDialogItem* CDataExchange::PrepareCtrl(int nIDC) {
    m_idLastControl = nIDC;
    m_bEditLastControl = FALSE;
    return m_pDlgWnd != nullptr ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
}

CDialogItem* CDataExchange::PrepareEditCtrl(int nIDC) {
    CDialogItem* item = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return item;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_pDlgWnd != nullptr) {
        if (CDialogItem* item = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
            item->SetFocus();
            // The user sees the offending text selected, ready to be typed over.
            if (m_bEditLastControl) {
                if (auto* edit = dynamic_cast<CEdit*>(item))
                    edit->SetSel(0, -1);
            }
        }
    }
    throw CUserException();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    CDialogItem* item = pDX->PrepareEditCtrl(nIDC);
    if (item == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        item->GetWindowText(value);
    else
        item->SetWindowText(value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    CDialogItem* item = pDX->PrepareEditCtrl(nIDC);
    if (item == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        CString text;
        item->GetWindowText(text);
        UINT parsed = 0;
        if (!ParseUnsignedDialogText(text, parsed)) {
            AfxMessageBox(AfxLoadText(AFX_IDP_PARSE_UINT));
            pDX->Fail();
        }
        value = parsed;
    } else {
        item->SetWindowText(std::to_string(value));
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    CDialogItem* item = pDX->PrepareEditCtrl(nIDC);
    if (item == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        CString text;
        item->GetWindowText(text);
        int parsed = 0;
        if (!ParseSignedDialogText(text, parsed)) {
            AfxMessageBox(AfxLoadText(AFX_IDP_PARSE_INT));
            pDX->Fail();
        }
        value = parsed;
    } else {
        item->SetWindowText(std::to_string(value));
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    auto* button = dynamic_cast<CButton*>(pDX->PrepareCtrl(nIDC));
    if (button == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = button->GetCheck();
    else
        button->SetCheck(value);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value) {
    auto* combo = dynamic_cast<CComboBox*>(pDX->PrepareCtrl(nIDC));
    if (combo == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        combo->GetWindowText(value);
    else
        combo->SetWindowText(value);
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal) {
    // Values coming from the program are shown as they are; only what the user confirms is checked.
    if (!pDX->m_bSaveAndValidate)
        return;
    if (value >= minVal && value <= maxVal)
        return;
    const CString prompt = AfxFormatString2(AfxLoadText(AFX_IDP_PARSE_INT_RANGE), std::to_string(minVal),
                                            std::to_string(maxVal));
    AfxMessageBox(prompt, MB_ICONEXCLAMATION);
    pDX->Fail();
}
