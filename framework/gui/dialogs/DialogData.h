#pragma once

#include "framework/core/UserException.h"
#include "framework/core/WinTypes.h"

#include <exception>

class CDialog;
class CDialogItem;

// The framework's data exchange prompts, kept in the program's string table.
constexpr UINT AFX_IDP_PARSE_INT = 0xF110;       // "Please enter an integer."
constexpr UINT AFX_IDP_PARSE_INT_RANGE = 0xF112; // "Please enter an integer between %1 and %2."
constexpr UINT AFX_IDP_PARSE_UINT = 0xF117;      // "Please enter a positive integer."

// CDataExchange::Fail raises CUserException once the user has been told what is wrong; UpdateData catches it.

// One pass of data exchange between a dialog's fields and its controls: loading (fields to controls) or
// saving and validating (controls to fields).
class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // Makes control nIDC the one a failure refers to, and returns it (null when the dialog has no such
    // control). PrepareEditCtrl also marks it as an edit box, whose text is selected on failure.
    CDialogItem* PrepareCtrl(int nIDC);
    CDialogItem* PrepareEditCtrl(int nIDC);
    // Puts the focus on the last prepared control and stops the exchange (throws CUserException). The
    // message has been shown already.
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
    int m_idLastControl = 0;
    BOOL m_bEditLastControl = FALSE;
};

// Exchanges an edit box's (or label's) text with a text field.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// Exchanges an edit box's text with a number. A text that is not a number of the field's kind shows
// "Please enter a positive integer." (unsigned) or "Please enter an integer." (signed) and fails.
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
// Exchanges a check box's state (0, 1 or 2) with an int.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// Exchanges a drop-down list's selected entry with a text: loading selects the entry that the text
// begins (no selection when none does); saving gives the selected entry, or an empty text.
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
// When saving, refuses a value outside minVal..maxVal with "Please enter an integer between %1 and %2."
// and fails on the control prepared last.
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);

// Fills %1 and %2 of a prompt; other text is kept as it is.
CString AfxFormatString2(const CString& format, const CString& first, const CString& second);

// Reads a whole text as a number the way the exchange does: blanks around the number are allowed,
// nothing else. FALSE when the text is not a number of the kind; values beyond the type's range are
// clamped to it.
BOOL ParseUnsignedDialogText(const CString& text, UINT& value);
BOOL ParseSignedDialogText(const CString& text, int& value);
